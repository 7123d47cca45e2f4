// What a user does at the CAD's screen: pick a point, an entity, a selection or an angle, place
// an inserted block, press Enter or Escape. The embedded drawing host asks an Interaction
// provider whenever a command or a prompt waits for the user.
#pragma once

#include <deque>
#include <string>
#include <variant>
#include <vector>

#include "geom/records.h"

namespace zuka {

enum class AnswerKind { Point, Entity, Selection, Angle, Enter, Escape };

// One answer. Entity answers name the entity by its handle; a selection answer is a predicate
// expression over entities (see the drawing host's selection syntax) or a list of handles.
struct TAnswer {
    AnswerKind kind = AnswerKind::Escape;
    TAcadPoint point;          // Point; the pick point of Entity
    std::string handle;        // Entity
    std::string selection;     // Selection
    double angle = 0;          // Angle, radians
};

class Interaction {
public:
    virtual ~Interaction() = default;
    // The user's answer to a prompt that expects `want`. Any other kind cancels the prompt as
    // Escape would.
    virtual TAnswer Ask(AnswerKind want, const std::string& prompt) = 0;
};

// A queue of answers for the command line and the tests. An empty queue, or an answer of
// another kind than the prompt wants, is Escape (the mismatched answer is consumed).
class ScriptedInteraction : public Interaction {
public:
    void Push(TAnswer a) { answers_.push_back(std::move(a)); }
    void PushPoint(TAcadPoint p) { Push({AnswerKind::Point, p, {}, {}, 0}); }
    void PushSelection(std::string expr) { Push({AnswerKind::Selection, {}, {}, std::move(expr), 0}); }
    void PushAngle(double radians) { Push({AnswerKind::Angle, {}, {}, {}, radians}); }
    void PushEscape() { Push({AnswerKind::Escape, {}, {}, {}, 0}); }
    void PushEnter() { Push({AnswerKind::Enter, {}, {}, {}, 0}); }

    TAnswer Ask(AnswerKind want, const std::string& prompt) override {
        prompts_.push_back(prompt);
        if (answers_.empty()) return {};
        TAnswer a = answers_.front();
        answers_.pop_front();
        if (a.kind != want) return {};
        return a;
    }

    const std::vector<std::string>& Prompts() const { return prompts_; }
    std::size_t Pending() const { return answers_.size(); }

private:
    std::deque<TAnswer> answers_;
    std::vector<std::string> prompts_;
};

}  // namespace zuka

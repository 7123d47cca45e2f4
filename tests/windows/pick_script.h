// The user's answers at the CAD's prompts as text, one answer a line, for the test server that
// plays the CAD and for the tests that run the same command on the drawing host directly:
//   point X,Y[,Z]        a picked point
//   entity HANDLE X,Y    a picked entity and the pick point
//   selection EXPR       a selection (the drawing host's selection expression)
//   angle RADIANS
//   enter | escape
// Blank lines are skipped. False (and the line) for a line of another shape.
#pragma once

#include <sstream>
#include <string>

#include "base/number.h"
#include "cad/interaction.h"

namespace zuka::testing {

inline bool ParsePoint(const std::string& text, TAcadPoint& p) {
    std::stringstream in(text);
    std::string x, y, z;
    if (!std::getline(in, x, ',') || !std::getline(in, y, ',')) return false;
    std::getline(in, z, ',');
    const auto px = ParseDouble(x), py = ParseDouble(y);
    const auto pz = z.empty() ? std::optional<double>(0) : ParseDouble(z);
    if (!px || !py || !pz) return false;
    p = TAcadPoint{*px, *py, *pz};
    return true;
}

inline bool ParsePickScript(const std::string& script, ScriptedInteraction& into,
                            std::string& badLine) {
    std::stringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        const std::size_t blank = line.find(' ');
        const std::string word = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
        TAnswer a;
        bool ok = true;
        if (word == "point") {
            a.kind = AnswerKind::Point;
            ok = ParsePoint(rest, a.point);
        } else if (word == "entity") {
            a.kind = AnswerKind::Entity;
            const std::size_t sp = rest.find(' ');
            a.handle = rest.substr(0, sp);
            ok = sp != std::string::npos && ParsePoint(rest.substr(sp + 1), a.point);
        } else if (word == "selection") {
            a.kind = AnswerKind::Selection;
            a.selection = rest;
        } else if (word == "angle") {
            a.kind = AnswerKind::Angle;
            const auto v = ParseDouble(rest);
            ok = v.has_value();
            if (ok) a.angle = *v;
        } else if (word == "enter") {
            a.kind = AnswerKind::Enter;
        } else if (word == "escape") {
            a.kind = AnswerKind::Escape;
        } else {
            ok = false;
        }
        if (!ok) {
            badLine = line;
            return false;
        }
        into.Push(a);
    }
    return true;
}

}  // namespace zuka::testing

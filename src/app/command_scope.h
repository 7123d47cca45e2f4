// The hold one command keeps on the CAD and on the window's run state, from its first call to
// the CAD to its end, on every way out (finished, 中止, an error thrown):
//   - the CAD is activated and, for a command that draws, the document's undo group is begun
//     and always ended again, so that everything the command adds is one step to undo;
//   - the drawing is regenerated at the end;
//   - for a long run, RunFlag is set and the buttons that would start another run are disabled,
//     its 中止 enabled (and a caption shown, such as 再計算 reading 中止), and all of them are
//     restored as they were found when the scope ends.
// Controller::RunScoped runs a command's body in one and reports a failure of the CAD once.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "app/form.h"
#include "cad/automation.h"

namespace zuka {

class Controller;

// What a command's scope holds besides the CAD's activation.
struct TScopeOptions {
    bool undo = false;   // the command changes the drawing: one undo group round it
    bool regen = false;  // regenerate the drawing at the end
    bool run = false;    // a long run: RunFlag, the starters off, `stop` on
    TButton* stop = nullptr;
    // A button whose caption reads `runCaption` while the run goes on (再計算 -> 中止).
    TButton* captioned = nullptr;
    std::string runCaption;
    // Said in a message box when no CAD runs; nothing is said when empty.
    std::string noCad;

    // Built up by name: TScopeOptions().Undo().Regen().Run(&form.Button7).
    TScopeOptions& Undo() {
        undo = true;
        return *this;
    }
    TScopeOptions& Regen() {
        regen = true;
        return *this;
    }
    TScopeOptions& Run(TButton* stopButton = nullptr) {
        run = true;
        stop = stopButton;
        return *this;
    }
    TScopeOptions& Caption(TButton* button, std::string caption) {
        captioned = button;
        runCaption = std::move(caption);
        return *this;
    }
};

// The buttons that would start another run or change the point grids under a run.
std::vector<TButton*> StarterButtons(Form& form);

class CommandScope {
public:
    // Activates `app` (when given), begins the undo group, sets the run state. Throws
    // AutomationError when the CAD fails to answer; nothing is then changed.
    CommandScope(Controller& c, Application* app, const TScopeOptions& o);
    // Ends the undo group and regenerates when End was not reached (an exception is under way:
    // a failure of the CAD then is not reported again), and restores the run state.
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

    // The normal end: the undo group ended and the drawing regenerated; a CAD failure throws.
    void End();

    Application& App() { return *app_; }
    Document& Doc() { return *doc_; }

private:
    void CloseDocument();
    void RestoreRunState();

    Controller& c_;
    Application* app_ = nullptr;
    Document* doc_ = nullptr;
    TScopeOptions o_;
    bool undoOpen_ = false;
    bool ended_ = false;
    // The run state as found.
    bool runFlag_ = false;
    std::vector<std::pair<TButton*, bool>> enabled_;
    std::string caption_;
};

}  // namespace zuka

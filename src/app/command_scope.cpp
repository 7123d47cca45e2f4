#include "app/command_scope.h"

#include "app/controller.h"
#include "cad/bridge.h"

namespace zuka {

std::vector<TButton*> StarterButtons(Form& f) {
    return {&f.Button2,  &f.Button3,  &f.Button17, &f.Button5,  &f.Button6,  &f.Button15,
            &f.Button8,  &f.Button11, &f.Button9,  &f.Button21, &f.Button22, &f.Button12,
            &f.Button16, &f.Button13, &f.Button14, &f.Button18, &f.Button24, &f.Button20};
}

CommandScope::CommandScope(Controller& c, Application* app, const TScopeOptions& o)
    : c_(c), app_(app), o_(o) {
    if (app_) {
        ActivateCad(*c_.cad_, *app_);
        doc_ = &app_->ActiveDocument();
        if (o_.undo) {
            doc_->StartUndoMark();
            undoOpen_ = true;
        }
    }
    if (!o_.run) return;
    Form& f = c_.form;
    runFlag_ = f.RunFlag;
    for (TButton* b : StarterButtons(f)) {
        enabled_.emplace_back(b, b->Enabled);
        b->Enabled = false;
    }
    if (o_.stop) {
        enabled_.emplace_back(o_.stop, o_.stop->Enabled);
        o_.stop->Enabled = true;
    }
    if (o_.captioned) {
        caption_ = o_.captioned->Caption;
        o_.captioned->Caption = o_.runCaption;
    }
    f.RunFlag = true;
}

void CommandScope::CloseDocument() {
    if (!doc_) return;
    if (undoOpen_) {
        undoOpen_ = false;
        doc_->EndUndoMark();
    }
    if (o_.regen) doc_->Regen(0);
}

void CommandScope::End() {
    ended_ = true;
    CloseDocument();
}

void CommandScope::RestoreRunState() {
    if (!o_.run) return;
    // Restored in reverse, so that a button named twice ends as it was found first.
    for (auto it = enabled_.rbegin(); it != enabled_.rend(); ++it) it->first->Enabled = it->second;
    if (o_.captioned) o_.captioned->Caption = caption_;
    c_.form.RunFlag = runFlag_;
}

CommandScope::~CommandScope() {
    if (!ended_) {
        try {
            CloseDocument();
        } catch (const AutomationError&) {
            // The error under way is the one reported.
        }
    }
    RestoreRunState();
}

bool Controller::RunScoped(const TScopeOptions& o, const std::function<void(CommandScope&)>& body,
                           bool needCad) {
    Application* app = nullptr;
    if (needCad) {
        app = RunningCad();
        if (!app) {
            if (!o.noCad.empty()) ui_.MessageBox(kApplicationTitle, o.noCad);
            return false;
        }
    }
    try {
        CommandScope scope(*this, app, o);
        body(scope);
        scope.End();
    } catch (const AutomationError& e) {
        ui_.RestoreMainWindow();
        ReportCadError(e);
    }
    return true;
}

}  // namespace zuka

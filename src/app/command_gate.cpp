#include "app/command_gate.h"

#include "base/number.h"
#include "cad/automation.h"

namespace zuka {
namespace {

constexpr char kStopCaption[] = "中止";

}  // namespace

void ReportingErrors(UiHost& ui, const std::function<void()>& handler) {
    try {
        handler();
    } catch (const ConvertError& e) {
        ui.MessageBox(kApplicationTitle, e.what());
    } catch (const AutomationError& e) {
        ui.MessageBox(kApplicationTitle, e.what());
    }
}

bool RunCommand(Form& form, const std::function<void()>& handler) {
    if (form.CommandRunning) return false;
    struct Running {
        Form& f;
        explicit Running(Form& form) : f(form) { f.CommandRunning = true; }
        ~Running() { f.CommandRunning = false; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running(form);
    handler();
    return true;
}

bool IsStopButton(std::string_view name, const TButton& button) {
    if (name == "Button7" || name == "Button10") return true;
    return name == "Button23" && button.Caption == kStopCaption;
}

bool ButtonUsable(const Form& form, std::string_view name, const TButton& button) {
    if (!button.Enabled) return false;
    return !form.CommandRunning || IsStopButton(name, button);
}

}  // namespace zuka

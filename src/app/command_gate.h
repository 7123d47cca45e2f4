// One command at a time, for every front end. While a command's handler runs (it loops with
// the window's messages processed, or waits for the user to pick in the CAD), no other command
// may start: a second run would overwrite the lists and the counter grid under the first.
// Every command button is then shown disabled, whatever its own Enabled state says, and a start
// is refused; only the stop controls stay live: 中止 (Button7, Button10) and 再計算 (Button23)
// while its caption reads 中止.
#pragma once

#include <functional>
#include <string_view>

#include "app/form.h"
#include "app/ui_host.h"

namespace zuka {

// Runs `handler` as the one running command: form.CommandRunning is set meanwhile (and cleared
// afterwards, also when the handler throws). False, and nothing run, while another command
// runs.
bool RunCommand(Form& form, const std::function<void()>& handler);

// Runs `handler` for a window: a text that is no number (ConvertError) or a CAD failure
// (AutomationError) is shown in a message box titled with the application title instead of
// passing on, so that the window goes on.
void ReportingErrors(UiHost& ui, const std::function<void()>& handler);

// A control that stops the running command rather than starting one.
bool IsStopButton(std::string_view name, const TButton& button);

// Whether the button `name` can be pressed now: its own Enabled state, and no command running
// unless it is a stop control.
bool ButtonUsable(const Form& form, std::string_view name, const TButton& button);

// Whether the inputs that start a computation of their own when changed (the hour list and
// evaluation steps of the equal-time page, the preview's turn, tilt and 直下, the season, the
// grids' popup menus) can be used now: not while a command runs.
inline bool CommandInputsUsable(const Form& form) { return !form.CommandRunning; }

}  // namespace zuka

// The Windows window's side of what the handlers ask: message boxes above the CAD, minimising
// and restoring the main window while the user picks in the CAD, and, during long runs, the
// progress bar and the window's pending messages (so that 中止 is seen and the window stays
// responsive while a command runs on the window's thread).
#pragma once

#include <functional>
#include <string>

#include "app/ui_host.h"

namespace zuka {

class WinUiHost : public UiHost {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
    void MinimiseMainWindow() override;
    void RestoreMainWindow() override;
    bool StopRequested() const override { return closing; }
    void SetProgressMax(int) override { Pump(false); }
    void SetProgressPosition(int) override { Pump(false); }
    void ProcessMessages() override { Pump(true); }

    // The main window (HWND); null before it exists.
    void* mainWindow = nullptr;
    // Shows the form's state on the window (the progress bar, labels, enabled buttons).
    std::function<void()> refresh;
    // Dispatches one message as the window's own message loop does (dialog keys included).
    std::function<void(void* msg)> dispatch;
    // Tests: receives the message boxes instead of showing them.
    std::function<void(const std::string&, const std::string&)> messageHook;
    // The window is closing: the running command stops.
    bool closing = false;

private:
    // Refreshes the window and processes pending messages, at most every few milliseconds so
    // that a long loop is not slowed by drawing.
    void Pump(bool events);
    unsigned long long shown_ = 0;   // tick of the last refresh for the progress
    unsigned long long pumped_ = 0;  // tick of the last time the messages were processed
};

}  // namespace zuka

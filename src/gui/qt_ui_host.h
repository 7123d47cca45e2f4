// The window's side of what the handlers ask: message boxes, minimising and restoring the main
// window while the user picks in the drawing, and, during long runs, the progress bar and the
// window's pending events (so that 中止 is seen and the window stays responsive).
#pragma once

#include <functional>
#include <string>

#include <QElapsedTimer>

#include "app/ui_host.h"

class QWidget;

namespace zuka {

class QtUiHost : public UiHost {
public:
    void MessageBox(const std::string& title, const std::string& text) override;
    void MinimiseMainWindow() override;
    void RestoreMainWindow() override;
    void Placing(const std::string& what) override {
        if (placing) placing(what);
    }
    bool StopRequested() const override { return false; }
    void SetProgressMax(int) override { Pump(false); }
    void SetProgressPosition(int) override { Pump(false); }
    void ProcessMessages() override { Pump(true); }

    QWidget* mainWindow = nullptr;
    // Shows the form's state on the window (the progress bar, labels, enabled buttons).
    std::function<void()> refresh;
    // Shows what the user is about to place beside the insertion prompt.
    std::function<void(const std::string&)> placing;
    // Tests: receives the message boxes instead of showing them.
    std::function<void(const std::string&, const std::string&)> messageHook;

private:
    // Refreshes the window and processes pending events, at most every few milliseconds so
    // that a long loop is not slowed by drawing.
    void Pump(bool events);
    QElapsedTimer shown_;   // the last refresh for the progress
    QElapsedTimer pumped_;  // the last time the events were processed
};

}  // namespace zuka

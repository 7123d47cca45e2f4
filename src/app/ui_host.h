// What the main window's handlers ask of the window: message boxes, minimising and restoring the
// main window while the user picks in the CAD, and (through RunContext) the stop check, the
// progress bar and a moment to process pending messages. The window implements it with its
// toolkit, the command line with stderr, tests with RecordingUiHost.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/run_context.h"

namespace zuka {

// StopRequested is the front end's own request to stop whatever runs (Ctrl-C on the command
// line, the window closing); the commands' long loops see it beside RunFlag.
class UiHost : public RunContext {
public:
    // A modal message with an OK button; `title` is the box's caption (usually
    // kApplicationTitle), `text` the system's message exactly.
    virtual void MessageBox(const std::string& title, const std::string& text) = 0;
    virtual void MinimiseMainWindow() {}
    virtual void RestoreMainWindow() {}
    // What the user is about to place in the drawing (天空図, 三斜求積表, 建物位置確認表), before
    // the CAD asks "挿入位置を指定:"; "" once it is placed.
    virtual void Placing(const std::string& /*what*/) {}
};

// Records what the handlers ask for, for tests.
class RecordingUiHost : public UiHost {
public:
    struct TMessage {
        std::string title;
        std::string text;
        bool operator==(const TMessage&) const = default;
    };

    void MessageBox(const std::string& title, const std::string& text) override {
        messages.push_back({title, text});
    }
    void MinimiseMainWindow() override { ++minimiseCount; }
    void RestoreMainWindow() override { ++restoreCount; }
    void Placing(const std::string& what) override { placing.push_back(what); }

    bool StopRequested() const override { return stop; }
    void SetProgressMax(int max) override { progressMax = max; }
    void SetProgressPosition(int pos) override {
        progressPosition = pos;
        progressPositions.push_back(pos);
    }
    // Runs onProcessMessages, where a test can act as the user would between two steps (for
    // example press 中止).
    void ProcessMessages() override {
        ++processMessagesCount;
        if (onProcessMessages) onProcessMessages();
    }

    std::vector<TMessage> messages;
    int minimiseCount = 0;
    int restoreCount = 0;
    std::vector<std::string> placing;
    bool stop = false;
    int progressMax = 0;
    int progressPosition = 0;
    std::vector<int> progressPositions;
    int processMessagesCount = 0;
    std::function<void()> onProcessMessages;
};

}  // namespace zuka

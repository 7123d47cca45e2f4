// What a long loop asks of whoever runs it: "stop?", progress, and a moment for the window
// to process its pending messages (where a click on 中止 is seen).
#pragma once

namespace zuka {

class RunContext {
public:
    virtual ~RunContext() = default;
    // True once the user asked the run to stop (RunFlag turned false).
    virtual bool StopRequested() const { return false; }
    // ProgressBar1: maximum and position.
    virtual void SetProgressMax(int /*max*/) {}
    virtual void SetProgressPosition(int /*pos*/) {}
    virtual void ProcessMessages() {}
};

// A context that never stops and shows nothing: for tests and batch use.
inline RunContext& QuietRun() {
    static RunContext quiet;
    return quiet;
}

}  // namespace zuka

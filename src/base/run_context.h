// What a long loop asks of whoever runs it: "stop?", progress, and a moment for the window
// to process its pending messages (where a click on 中止 is seen).
#pragma once

#include <cstddef>

namespace zuka {

class RunContext {
public:
    virtual ~RunContext() = default;
    // True once the user asked the run to stop (RunFlag turned false, or the front end's own
    // stop such as Ctrl-C on the command line).
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

// A run as a quiet sub-step sees it (a coarse pre-pass): the stop request passes on; the
// progress bar and the window's messages are left alone.
class StopOnlyRun : public RunContext {
public:
    explicit StopOnlyRun(const RunContext& outer) : outer_(outer) {}
    bool StopRequested() const override { return outer_.StopRequested(); }

private:
    const RunContext& outer_;
};

// Asks a run whether to stop about once per `every` units of work, so that a loop whose steps
// differ widely in cost (an all-pairs pass, a list of edges of any length) looks often enough
// to stop within a moment without asking at every element. `run` may be null: never stops.
class StopPoll {
public:
    explicit StopPoll(const RunContext* run, std::size_t every = 1 << 16)
        : run_(run), every_(every) {}

    // Counts `work` units done; true once the run has asked to stop (and from then on).
    bool operator()(std::size_t work = 1) {
        if (stopped_) return true;
        due_ += work;
        if (due_ < every_) return false;
        due_ = 0;
        stopped_ = run_ && run_->StopRequested();
        return stopped_;
    }
    // Asks now, whatever the work counted.
    bool Now() {
        if (!stopped_) stopped_ = run_ && run_->StopRequested();
        return stopped_;
    }
    bool Stopped() const { return stopped_; }

private:
    const RunContext* run_;
    std::size_t every_;
    std::size_t due_ = 0;
    bool stopped_ = false;
};

}  // namespace zuka

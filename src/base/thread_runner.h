// The program's one way of spreading work over the processor's cores: how many threads a job
// takes, a set of background workers that the calling thread waits for, and a parallel run of
// f(0) .. f(threads - 1) that returns when every share has ended. A thread the system refuses
// to start is not an error: its share runs on the calling thread.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

namespace zuka {

// The machine's core count, at most 8 and at most `jobs`, at least 1.
int WorkerThreadCount(std::size_t jobs = static_cast<std::size_t>(-1));

// Up to `count` threads, each running the same job, joined when Join is called or when the
// workers go out of scope. Started() says how many the system let start (possibly none: the
// caller then does the work itself).
class BackgroundWorkers {
public:
    BackgroundWorkers(int count, const std::function<void()>& job);
    ~BackgroundWorkers() { Join(); }
    BackgroundWorkers(const BackgroundWorkers&) = delete;
    BackgroundWorkers& operator=(const BackgroundWorkers&) = delete;

    int Started() const { return static_cast<int>(threads_.size()); }
    void Join();

private:
    std::vector<std::thread> threads_;
};

// Runs f(0) .. f(threads - 1), f(0) on the calling thread, and returns when all have ended,
// passing on the first exception any of them threw.
void RunOnThreads(int threads, const std::function<void(int)>& f);

}  // namespace zuka

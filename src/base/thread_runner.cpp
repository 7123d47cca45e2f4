#include "base/thread_runner.h"

#include <algorithm>
#include <system_error>

namespace zuka {

int WorkerThreadCount(std::size_t jobs) {
    const std::size_t cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp<std::size_t>(std::min(cores, jobs), 1, 8));
}

BackgroundWorkers::BackgroundWorkers(int count, const std::function<void()>& job) {
    threads_.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int k = 0; k < count; ++k) {
        try {
            threads_.emplace_back(job);
        } catch (const std::system_error&) {
            break;  // fewer workers
        }
    }
}

void BackgroundWorkers::Join() {
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
    threads_.clear();
}

void RunOnThreads(int threads, const std::function<void(int)>& f) {
    if (threads <= 1) {
        f(0);
        return;
    }
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(threads));
    const auto run = [&f, &errors](int t) {
        try {
            f(t);
        } catch (...) {
            errors[static_cast<std::size_t>(t)] = std::current_exception();
        }
    };
    std::vector<std::thread> pool;
    std::vector<int> here{0};  // shares done on this thread, also those no thread started for
    pool.reserve(static_cast<std::size_t>(threads) - 1);
    for (int t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(run, t);
        } catch (const std::system_error&) {
            here.push_back(t);
        }
    }
    for (int t : here) run(t);
    for (std::thread& th : pool) th.join();
    for (const std::exception_ptr& e : errors)
        if (e) std::rethrow_exception(e);
}

}  // namespace zuka

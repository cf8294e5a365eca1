#pragma once
// Running a call's tasks on a few threads started for the call. Tasks are
// numbered; each thread takes the next number until none is left. The
// calling thread works too, so one worker means no thread is started.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace zj_engine {

class Pool {
public:
    explicit Pool(std::size_t workers) : workers_(std::max<std::size_t>(workers, 1)) {}
    std::size_t workers() const { return workers_; }

    // task(i) for every i < count. The first exception a task throws stops
    // the handing out of tasks and is rethrown once every thread has stopped.
    template <class Task>
    void run(std::size_t count, Task&& task) const {
        run_on(count, [&](std::size_t i, std::size_t) { task(i); });
    }

    // task(i, worker) with the worker's number (< workers()): state kept per
    // worker needs no lock.
    template <class Task>
    void run_on(std::size_t count, Task&& task) const {
        std::atomic<std::size_t> next{0};
        std::exception_ptr failure;
        std::mutex failure_lock;
        auto work = [&](std::size_t worker) {
            for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) {
                try {
                    task(i, worker);
                } catch (...) {
                    const std::lock_guard<std::mutex> hold(failure_lock);
                    if (!failure) failure = std::current_exception();
                    next.store(count, std::memory_order_relaxed);
                }
            }
        };
        std::vector<std::thread> threads;
        const std::size_t extra = std::min(workers_, count) - (count > 0 ? 1 : 0);
        try {
            for (std::size_t t = 0; t < extra; ++t) threads.emplace_back(work, t + 1);
        } catch (...) {
            // Could not start a thread: the ones running and this one finish the work.
        }
        work(0);
        for (std::thread& t : threads) t.join();
        if (failure) std::rethrow_exception(failure);
    }

    // body(begin, end) over [0, count) cut into about four ranges per worker.
    template <class Body>
    void run_ranges(std::size_t count, Body&& body, std::size_t min_range = 1 << 15) const {
        const std::size_t pieces =
            std::max<std::size_t>(1, std::min(workers_ * 4, (count + min_range - 1) / min_range));
        const std::size_t step = (count + pieces - 1) / std::max<std::size_t>(pieces, 1);
        run(pieces, [&](std::size_t p) {
            const std::size_t begin = std::min(count, p * step);
            body(begin, std::min(count, begin + step));
        });
    }

private:
    std::size_t workers_;
};

}  // namespace zj_engine

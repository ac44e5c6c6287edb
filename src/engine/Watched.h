#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace plait::engine {

// Runs `work` on the calling thread and `tick` every `period` on a thread of its own until
// `work` returns or throws, and returns what `work` returned. A process that runs one build
// runs it this way on its main thread, where memory comes from the main heap: that grows in
// large steps, where a thread's own heap grows a page at a time (on a thousand-page rewrite,
// a thousand system calls and a third more system time). The first exception `tick` throws
// ends the ticking and is thrown once `work` is done.
template <class Work, class Tick>
auto runWatched(Work&& work, Tick&& tick, std::chrono::milliseconds period) {
    std::mutex mutex;
    std::condition_variable doneChanged;
    bool done = false;
    std::exception_ptr tickError;
    std::thread watcher([&] {
        std::unique_lock lock(mutex);
        while (!doneChanged.wait_for(lock, period, [&] { return done; })) {
            lock.unlock();
            try {
                tick();
            } catch (...) {
                tickError = std::current_exception();
                return;
            }
            lock.lock();
        }
    });
    struct Stop {
        std::mutex& mutex;
        std::condition_variable& doneChanged;
        bool& done;
        std::thread& watcher;
        ~Stop() {
            {
                std::lock_guard lock(mutex);
                done = true;
            }
            doneChanged.notify_all();
            watcher.join();
        }
    };
    auto result = [&] {
        Stop stop{mutex, doneChanged, done, watcher};
        return std::forward<Work>(work)();
    }();
    if (tickError) {
        std::rethrow_exception(tickError);
    }
    return result;
}

} // namespace plait::engine

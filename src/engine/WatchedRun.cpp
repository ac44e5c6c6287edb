#include "WatchedRun.h"

#include "MergeEngine.h"

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>
#include <thread>

namespace plait::engine {

[[gnu::noinline]] void reserveBuildStack() {
    constexpr std::size_t kBytes = std::size_t{1} << 20;
    char reserved[kBytes];
    reserved[0] = 0;
    asm volatile("" : : "r"(reserved) : "memory"); // kept, though nothing reads it
}

std::string buildWatched(MergeEngine& engine, std::chrono::milliseconds period,
                         const std::function<void()>& tick) {
    reserveBuildStack();
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::thread watcher([&] {
        std::unique_lock lock(mutex);
        while (!wake.wait_for(lock, period, [&] { return done; })) {
            lock.unlock();
            try {
                tick();
            } catch (const std::bad_alloc&) {
                // Skipped: the build reports the failure.
            }
            lock.lock();
        }
    });
    struct Stop {
        std::mutex& mutex;
        std::condition_variable& wake;
        bool& done;
        std::thread& watcher;
        ~Stop() {
            {
                std::lock_guard lock(mutex);
                done = true;
            }
            wake.notify_one();
            watcher.join();
        }
    } stop{mutex, wake, done, watcher};
    return engine.BuildPDF();
}

} // namespace plait::engine

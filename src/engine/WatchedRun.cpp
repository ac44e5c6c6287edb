#include "WatchedRun.h"

#include "MergeEngine.h"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <new>
#include <thread>

#include <alloca.h>
#include <sys/resource.h>

namespace plait::engine {

[[gnu::noinline]] void reserveBuildStack() {
    std::size_t bytes = std::size_t{1} << 20;
    // Never more than half of what the stack may grow to.
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        bytes = std::min<std::size_t>(bytes, limit.rlim_cur / 2);
    }
    if (bytes == 0) {
        return;
    }
    // The lowest byte of the block: the far end of the stack from here.
    volatile char* far = static_cast<volatile char*>(alloca(bytes));
    far[0] = 0;
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

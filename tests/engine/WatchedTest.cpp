// A build on the calling thread with a watch beside it.
#include "engine/Watched.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

namespace plait::engine {
namespace {

using namespace std::chrono_literals;

TEST(Watched, TicksWhileTheWorkRunsAndStopsWithIt) {
    std::atomic<int> ticks{0};
    const auto caller = std::this_thread::get_id();
    std::thread::id tickThread;
    const std::string result = runWatched(
        [&] {
            while (ticks.load() < 3) {
                std::this_thread::sleep_for(1ms);
            }
            return std::string("done");
        },
        [&] {
            tickThread = std::this_thread::get_id();
            ++ticks;
        },
        1ms);
    EXPECT_EQ(result, "done");
    EXPECT_NE(tickThread, caller);
    const int after = ticks.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(ticks.load(), after); // the watch ended with the work
}

TEST(Watched, ErrorsOfTheWorkAndOfTheWatchReachTheCaller) {
    EXPECT_THROW(runWatched([]() -> int { throw std::runtime_error("work"); }, [] {}, 1ms),
                 std::runtime_error);
    std::atomic<bool> ticked{false};
    EXPECT_THROW(runWatched(
                     [&] {
                         while (!ticked.load()) {
                             std::this_thread::sleep_for(1ms);
                         }
                         return 0;
                     },
                     [&] {
                         ticked = true;
                         throw std::logic_error("tick");
                     },
                     1ms),
                 std::logic_error);
    // A work that ends before the first tick is not held up by the period.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(runWatched([] { return 7; }, [] {}, 10s), 7);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

} // namespace
} // namespace plait::engine

// A build on the calling thread, watched from another.
#include "engine/WatchedRun.h"
#include "engine/MergeEngine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>
#include <thread>

namespace plait::engine {
namespace {

using namespace std::chrono_literals;

// A build that lasts until the watcher has ticked `ticksAwaited` times (or ten seconds have
// passed), then ends as told.
class WaitingEngine : public MergeEngine {
public:
    std::atomic<int> ticks{0};
    int ticksAwaited = 2;
    bool fail = false;
    std::thread::id builtOn;

protected:
    void onCall(const Operation& /*op*/, const std::vector<std::string>& /*args*/) override {}
    std::string onBuild() override {
        builtOn = std::this_thread::get_id();
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (ticks.load() < ticksAwaited && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        if (fail) {
            throw std::runtime_error("the build failed");
        }
        setStatusMessage("done");
        return "1";
    }
};

TEST(WatchedRun, TheBuildRunsHereWhileTheWatcherTicksElsewhereAndTheWatcherStopsWithIt) {
    WaitingEngine engine;
    std::atomic<std::thread::id> tickedOn{};
    const std::string result = buildWatched(engine, 1ms, [&] {
        tickedOn = std::this_thread::get_id();
        ++engine.ticks;
    });
    EXPECT_EQ(result, "1");
    EXPECT_EQ(engine.builtOn, std::this_thread::get_id());
    EXPECT_GE(engine.ticks.load(), 2);
    EXPECT_NE(tickedOn.load(), std::this_thread::get_id());
    // The watcher was joined before the build's result came back: no tick follows it.
    const int ticksAtEnd = engine.ticks.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(engine.ticks.load(), ticksAtEnd);
}

TEST(WatchedRun, AFailedBuildStopsTheWatcherAndATickThatCannotAllocateIsSkipped) {
    WaitingEngine engine;
    engine.ticksAwaited = 3;
    engine.fail = true;
    std::atomic<int> calls{0};
    const auto tick = [&] {
        // Every other tick runs out of memory; the watcher goes on ticking.
        if (++calls % 2 == 1) {
            throw std::bad_alloc();
        }
        ++engine.ticks;
    };
    EXPECT_THROW(buildWatched(engine, 1ms, tick), std::runtime_error);
    EXPECT_GE(engine.ticks.load(), 3);
    const int callsAtEnd = calls.load();
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(calls.load(), callsAtEnd);
}

} // namespace
} // namespace plait::engine

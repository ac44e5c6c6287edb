#pragma once

#include <algorithm>
#include <cstddef>
#include <exception>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

namespace plait::pdf {

// Runs `task` on a thread of its own; when no thread can be had (under the memory ceiling,
// say), it runs when its result is first asked for, on the thread that asks.
template <class Task> auto inBackground(Task task) {
    try {
        return std::async(std::launch::async, task).share();
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, task).share();
    }
}

// How many workers share `items` pieces of work: one for every sixteen, one per core, at most
// four, and at least one.
inline std::size_t workersFor(std::size_t items) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>((items + 15) / 16, 1, std::min(cores, 4u));
}

// Runs `work` on the calling thread and on `workers - 1` threads beside it, and returns once all
// have finished; the workers share what `work` hands out. When no thread can be had (under the
// memory ceiling, say), those that started do the same work. `work` must not throw.
template <class Work> void onWorkers(std::size_t workers, const Work& work) {
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(workers > 1 ? workers - 1 : 0);
        for (std::size_t w = 1; w < workers; ++w)
            helpers.emplace_back(work);
    } catch (const std::exception&) {
        // Fewer hands: the ones already running are waited for below.
    }
    work();
    for (auto& t : helpers)
        t.join();
}

} // namespace plait::pdf

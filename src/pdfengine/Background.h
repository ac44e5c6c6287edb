#pragma once

#include <future>
#include <system_error>

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

} // namespace plait::pdf

#pragma once

#include <chrono>
#include <functional>
#include <string>

namespace plait::engine {

class MergeEngine;

// A process that exists to build runs the build on its first thread: there the heap is the
// main arena, warm from the start, and no stack is mapped for it. Better still, a process that
// has only ever had one thread skips the atomic operations and locks of the C++ library's
// shared pointers and of the heap. On a thousand-page rewrite, a build on a thread of its own
// took about 5 % longer than one beside a watcher thread, and that about 9 % longer than one
// alone in its process.

// Maps a megabyte of the calling thread's stack for a build to run on. Under an address-space
// ceiling (RLIMIT_AS), a stack that must grow once the build's heap has taken the rest would
// end the process with a fault instead of the engine's report of running out of memory; the
// far end is touched now, while there is room (the kernel maps the range and faults in that
// one page). buildWatched does this itself.
void reserveBuildStack();

// Runs the engine's build on the calling thread while `tick` runs every `period` on a watcher
// thread of its own (status relays, cancels, time limits), until the build returns or throws;
// the watcher has stopped by then. A tick that cannot allocate (the build may be filling the
// process's memory ceiling) is skipped. Throws std::system_error, as std::thread does, when
// the watcher cannot be started.
std::string buildWatched(MergeEngine& engine, std::chrono::milliseconds period,
                         const std::function<void()>& tick);

} // namespace plait::engine

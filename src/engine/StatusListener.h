#pragma once

#include <functional>

namespace plait::engine {

// A process that relays its engine's status elsewhere (the engine worker) hears of every
// change of an engine's status or warnings as it is made, on the thread that made it and with
// no lock of the engine held, instead of polling for it from a thread of its own. One listener
// for the process: set it before a build and clear it (an empty function) after.
void setStatusListener(std::function<void()> listener);

} // namespace plait::engine

#pragma once

#include <functional>
#include <string>

namespace plait::pdf {

// The temporary outputs of this process that exist right now. A process that ends on a
// signal, or a watchdog that gives up on a stuck build, removes them so that nothing is left
// beside the target. Adding and dropping take a few atomic steps; removePendingOutputs()
// only calls unlink, so a signal handler may call it.
void addPendingOutput(const std::string& path);
void dropPendingOutput(const std::string& path);
void removePendingOutputs() noexcept;

// Called with each temporary output as it is created (from the thread that creates it). A
// worker process announces them to the process that may have to kill it.
void setPendingOutputListener(std::function<void(const std::string&)> listener);

} // namespace plait::pdf

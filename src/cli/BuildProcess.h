#pragma once

#include "BatchRun.h"

#include <chrono>
#include <optional>
#include <string>

#include <sys/types.h>

// One build of a batch as a process: started, read from, asked to stop, and its ending turned
// into the job's outcome.
namespace plait::cli::batch {

using Clock = std::chrono::steady_clock;

// A build that was started, and what it has said so far.
struct BuildProcess {
    const Job* job = nullptr;
    pid_t pid = -1;
    int fd = -1; // the build's standard error
    Clock::time_point start;
    int status = 0; // as waitpid gives it, once the build has ended
    std::string text;
    bool truncated = false;
    std::optional<Clock::time_point> stopAskedAt;
    bool timedOut = false;
    bool interrupted = false;
};

// Starts `plait build` for the job in a process forked from this one (the batch), in a process
// group of its own, its standard error on a pipe, its address space bounded by the memory limit.
// False with `error` set when the process could not be started.
bool spawn(const Job& job, const RunOptions& options, BuildProcess& build, std::string& error);

// Reads what the build has written so far; false once it has closed its end.
bool drain(BuildProcess& build);

// Sends the signal to the build's process group and notes when it was first asked to stop.
void askToStop(BuildProcess& build, int signal);

// The job's outcome from the ended build's wait status: its messages, and for a build that
// succeeded the pages of its output, read back to prove that a reader can open it.
Outcome finish(BuildProcess& build, int status, const RunOptions& options);

} // namespace plait::cli::batch

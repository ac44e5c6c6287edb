#pragma once

#include "BatchJobs.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Runs the jobs of a batch, each as its own `plait build` process, a number at a time.
namespace plait::cli::batch {

struct RunOptions {
    unsigned parallel = 1;
    bool force = false;              // build even when the output is up to date
    double timeLimitSeconds = 0;     // 0: none
    std::uint64_t memoryLimitMb = 0; // address space of each build; 0: none
};

enum class Status { Ok, Failed, Skipped };

struct Outcome {
    const Job* job = nullptr;
    Status status = Status::Failed;
    std::optional<int> exitCode; // the build's exit status, 128 + signal when a signal ended it
    std::optional<long long> pages;
    double seconds = 0;
    std::vector<std::string> messages;
};

// Called for every job as it ends (or is skipped), and every quarter second while builds run.
struct RunListener {
    std::function<void(const Outcome&)> finished;
    std::function<void()> tick;
};

struct RunSummary {
    std::size_t notStarted = 0; // jobs left when an interruption stopped the batch
    bool interrupted = false;
};

// Whether the output exists and is newer than everything it is made from.
bool upToDate(const Job& job);

// Runs every job; SIGINT, SIGTERM and SIGHUP stop the running builds (their outputs are not
// written) and start no more.
RunSummary runJobs(const std::vector<Job>& jobs, const RunOptions& options, const RunListener& listener);

} // namespace plait::cli::batch

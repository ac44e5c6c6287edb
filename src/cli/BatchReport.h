#pragma once

#include "BatchRun.h"

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

// What a batch tells: the report (JSON Lines, one line per job), the progress line on a
// terminal, the failures, and the summary.
namespace plait::cli::batch {

// One report line: {"line", "output", "status", "exit_code", "pages", "seconds", "messages"}.
// exit_code and pages are null for a job that was not built.
std::string reportLine(const Outcome& outcome);

class Console {
public:
    Console(std::ostream& err, std::size_t total, bool progress)
        : err_(err), total_(total), progress_(progress), start_(std::chrono::steady_clock::now()) {}

    void finished(const Outcome& outcome);
    void tick();
    // The summary; on a terminal always, otherwise only when something failed.
    void summary(const RunSummary& run);

    std::size_t failed() const { return failed_; }

private:
    void clearLine();
    std::string progressLine() const;

    std::ostream& err_;
    std::size_t total_;
    bool progress_;
    std::chrono::steady_clock::time_point start_;
    std::size_t built_ = 0, failed_ = 0, skipped_ = 0;
    long long pages_ = 0;
    std::size_t lastWidth_ = 0;
};

} // namespace plait::cli::batch

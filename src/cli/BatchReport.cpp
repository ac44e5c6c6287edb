#include "BatchReport.h"

#include "engine/FileName.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace plait::cli::batch {

namespace {

const char* statusName(Status status) {
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::Skipped:
        return "skipped";
    case Status::Failed:
        break;
    }
    return "failed";
}

std::string clock(double seconds) {
    const long long s = std::llround(seconds);
    char text[32];
    if (s >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
    }
    return text;
}

} // namespace

std::string reportLine(const Outcome& outcome) {
    nlohmann::ordered_json line;
    line["line"] = outcome.job->line;
    line["output"] = outcome.job->output;
    line["status"] = statusName(outcome.status);
    line["exit_code"] = outcome.exitCode ? nlohmann::ordered_json(*outcome.exitCode) : nullptr;
    line["pages"] = outcome.pages ? nlohmann::ordered_json(*outcome.pages) : nullptr;
    line["seconds"] = std::round(outcome.seconds * 1000) / 1000;
    line["messages"] = outcome.messages;
    // Paths and messages need not be UTF-8; bytes that are not are replaced, not refused.
    return line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void Console::finished(const Outcome& outcome) {
    switch (outcome.status) {
    case Status::Ok:
        ++built_;
        pages_ += outcome.pages.value_or(0);
        break;
    case Status::Skipped:
        ++skipped_;
        break;
    case Status::Failed:
        ++failed_;
        clearLine();
        err_ << "plait batch: line " << outcome.job->line << ": "
             << engine::printableName(outcome.job->output) << ": failed";
        if (outcome.exitCode) {
            err_ << " (exit status " << *outcome.exitCode << ')';
        }
        err_ << '\n';
        for (const auto& message : outcome.messages) {
            err_ << "  " << engine::printableText(message) << '\n';
        }
        break;
    }
    tick();
}

void Console::tick() {
    if (!progress_) {
        return;
    }
    std::string line = progressLine();
    std::string padded = line;
    if (padded.size() < lastWidth_) {
        padded.append(lastWidth_ - padded.size(), ' ');
    }
    lastWidth_ = line.size();
    err_ << '\r' << padded << std::flush;
}

void Console::clearLine() {
    if (progress_ && lastWidth_ > 0) {
        err_ << '\r' << std::string(lastWidth_, ' ') << '\r';
        lastWidth_ = 0;
    }
}

std::string Console::progressLine() const {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const std::size_t done = built_ + failed_ + skipped_;
    std::string line = "[" + std::to_string(done) + "/" + std::to_string(total_) + "] " +
                       std::to_string(built_) + " built, " + std::to_string(failed_) + " failed, " +
                       std::to_string(skipped_) + " skipped";
    if (elapsed > 0.5) {
        char rate[48];
        std::snprintf(rate, sizeof rate, ", %.1f pages/s", static_cast<double>(pages_) / elapsed);
        line += rate;
    }
    // Skipped jobs cost nothing: the time left follows the jobs that were built.
    const std::size_t run = built_ + failed_;
    if (run > 0 && done < total_) {
        line +=
            ", " + clock(elapsed / static_cast<double>(run) * static_cast<double>(total_ - done)) + " left";
    }
    return line;
}

void Console::summary(const RunSummary& run) {
    if (!progress_ && failed_ == 0 && !run.interrupted) {
        return;
    }
    clearLine();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", elapsed);
    err_ << "plait batch: " << total_ << (total_ == 1 ? " job: " : " jobs: ") << built_ << " built, "
         << failed_ << " failed, " << skipped_ << " skipped; " << pages_ << " pages in " << seconds << " s\n";
    if (run.interrupted) {
        err_ << "plait batch: interrupted; " << run.notStarted
             << " not started. Run the same command again to continue.\n";
    }
}

} // namespace plait::cli::batch

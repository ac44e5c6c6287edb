#include "Batch.h"

#include "BatchJobs.h"
#include "BatchReport.h"
#include "BatchRun.h"
#include "engine/FileName.h"
#include "pdfengine/TemporaryFile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <thread>

#include <sched.h>
#include <unistd.h>

namespace plait::cli {

namespace {

using namespace batch;
namespace fs = std::filesystem;

// Each build's address space is bounded unless told otherwise. The address sanitizer reserves
// terabytes of address space up front, so a build made with it gets no default bound.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::uint64_t kDefaultMemoryMb = 0;
#else
constexpr std::uint64_t kDefaultMemoryMb = 4096;
#endif
constexpr double kDefaultTimeLimitSeconds = 3600;
constexpr unsigned kMaxParallel = 256;

struct BatchOptions {
    std::string jobsFile;
    std::string reportFile;
    bool quiet = false;
    bool check = false;
    RunOptions run;
};

int batchUsage(const std::string& message) {
    std::cerr << "plait batch: " << message << "\n"
              << "Usage: plait batch JOBS [--jobs N] [--report FILE] [--force] [-q] [--time-limit SECONDS]\n"
                 "                  [--memory-limit MB] [--check]\n";
    return 2;
}

template <typename Number> bool toNumber(const char* text, Number& value) {
    const std::string_view s(text);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

// The cores this process may run on, which a container or `taskset` may make fewer than the
// machine has.
unsigned usableCores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) {
        return std::min<unsigned>(static_cast<unsigned>(CPU_COUNT(&set)), kMaxParallel);
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : std::min(cores, kMaxParallel);
}

std::optional<int> parseBatch(int argc, char** argv, BatchOptions& o) {
    o.run.parallel = usableCores();
    o.run.timeLimitSeconds = kDefaultTimeLimitSeconds;
    o.run.memoryLimitMb = kDefaultMemoryMb;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--jobs" || a == "-j") {
            if (value == nullptr || !toNumber(value, o.run.parallel) || o.run.parallel < 1 ||
                o.run.parallel > kMaxParallel) {
                return batchUsage("--jobs takes a number from 1 to " + std::to_string(kMaxParallel));
            }
            ++i;
        } else if (a == "--report") {
            if (value == nullptr || *value == '\0') {
                return batchUsage("--report needs a file name, or - for standard output");
            }
            o.reportFile = value;
            ++i;
        } else if (a == "--time-limit") {
            if (value == nullptr || !toNumber(value, o.run.timeLimitSeconds) ||
                !(o.run.timeLimitSeconds >= 0)) {
                return batchUsage("--time-limit takes seconds (0 for none)");
            }
            ++i;
        } else if (a == "--memory-limit") {
            if (value == nullptr || !toNumber(value, o.run.memoryLimitMb) ||
                o.run.memoryLimitMb > (std::uint64_t{1} << 32)) {
                return batchUsage("--memory-limit takes megabytes (0 for none)");
            }
            ++i;
        } else if (a == "--force") {
            o.run.force = true;
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else if (a == "--check") {
            o.check = true;
        } else if ((a.empty() || a[0] != '-' || a == "-") && o.jobsFile.empty()) {
            o.jobsFile = a;
        } else {
            return batchUsage("unknown argument '" + a + "'");
        }
    }
    if (o.jobsFile.empty()) {
        return batchUsage("no jobs file given (- for standard input)");
    }
    return std::nullopt;
}

// The report file, written as an output is: under a hidden name beside it, given its name
// when the batch ends (also an interrupted one, which ends through here too), so that it never
// truncates a file before the batch has something to put in its place.
class ReportFile {
public:
    // Empty, or why the report cannot be written there.
    std::string open(const std::string& name) {
        target_ = engine::resolveFileName(name);
        const fs::path target(target_);
        std::error_code ec;
        if (fs::is_directory(target, ec)) {
            return "it is a folder";
        }
        if (engine::writeProtected(target_)) {
            return "the file is write-protected";
        }
        const std::string hiddenPrefix = "." + target.filename().string() + ".plait-";
        pdf::TemporaryFile::removeAbandoned(target.parent_path(), hiddenPrefix);
        try {
            temp_ = std::make_unique<pdf::TemporaryFile>(target.parent_path(), hiddenPrefix);
        } catch (const pdf::TemporaryFile::Failure& e) {
            return e.reason();
        }
        return {};
    }
    bool isOpen() const { return temp_ != nullptr; }
    // False (and the file is gone) when it could not be written.
    bool writeLine(const std::string& line) {
        try {
            temp_->write(line + "\n");
            if (std::fflush(temp_->stream()) != 0) {
                temp_.reset();
                return false;
            }
            return true;
        } catch (const pdf::TemporaryFile::Failure&) {
            temp_.reset();
            return false;
        }
    }
    bool commit() {
        try {
            temp_->finish();
            temp_->replace(target_);
            temp_.reset();
            return true;
        } catch (const pdf::TemporaryFile::Failure&) {
            temp_.reset();
            return false;
        }
    }

private:
    std::string target_;
    std::unique_ptr<pdf::TemporaryFile> temp_;
};

} // namespace

int runBatch(int argc, char** argv) {
    BatchOptions o;
    if (auto status = parseBatch(argc, argv, o)) {
        return *status;
    }

    JobsFile file;
    if (o.jobsFile == "-") {
        file = readJobs(std::cin);
    } else {
        std::ifstream in(o.jobsFile, std::ios::binary);
        if (!in) {
            std::cerr << "plait batch: cannot read the jobs file '" << engine::printableName(o.jobsFile)
                      << "'\n";
            return 2;
        }
        file = readJobs(in);
    }
    const std::string name = o.jobsFile == "-" ? "standard input" : o.jobsFile;
    if (!file.errors.empty()) {
        for (const auto& error : file.errors) {
            std::cerr << "plait batch: " << engine::printableName(name) << ": "
                      << engine::printableText(error) << '\n';
        }
        std::cerr << "plait batch: nothing was built\n";
        return 2;
    }
    if (o.check) {
        return 0;
    }

    ReportFile reportFile;
    std::ostream* report = nullptr;
    if (o.reportFile == "-") {
        report = &std::cout;
    } else if (!o.reportFile.empty()) {
        const std::string clash = reportClash(o.reportFile, o.jobsFile == "-" ? "" : o.jobsFile, file);
        if (!clash.empty()) {
            std::cerr << "plait batch: the report cannot be written to '"
                      << engine::printableName(o.reportFile) << "': " << clash << '\n';
            return 2;
        }
        if (const std::string problem = reportFile.open(o.reportFile); !problem.empty()) {
            std::cerr << "plait batch: cannot write the report '" << engine::printableName(o.reportFile)
                      << "': " << problem << '\n';
            return 2;
        }
    }

    // A progress line redraws itself in place, which only a terminal shows well.
    Console console(std::cerr, file.jobs.size(), !o.quiet && isatty(STDERR_FILENO) == 1);
    bool reportFailed = false;
    RunListener listener;
    listener.finished = [&](const Outcome& outcome) {
        console.finished(outcome);
        // One whole line at a time, so that an interrupted batch leaves a readable report.
        if (report != nullptr) {
            *report << reportLine(outcome) << '\n' << std::flush;
            reportFailed = reportFailed || !*report;
        } else if (reportFile.isOpen()) {
            reportFailed = !reportFile.writeLine(reportLine(outcome)) || reportFailed;
        }
    };
    listener.tick = [&] { console.tick(); };

    RunSummary summary;
    try {
        summary = runJobs(file.jobs, o.run, listener);
    } catch (const std::exception& e) {
        std::cerr << "plait batch: " << e.what() << '\n';
        return 1;
    }
    console.summary(summary);
    if (reportFile.isOpen() && !reportFailed) {
        reportFailed = !reportFile.commit();
    }
    if (reportFailed) {
        const std::string where =
            o.reportFile == "-" ? "standard output" : "'" + engine::printableName(o.reportFile) + "'";
        std::cerr << "plait batch: the report could not be written in full to " << where << '\n';
    }
    return console.failed() == 0 && !summary.interrupted && !reportFailed ? 0 : 1;
}

} // namespace plait::cli

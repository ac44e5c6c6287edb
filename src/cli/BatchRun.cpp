#include "BatchRun.h"

#include "BuildProcess.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <list>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plait::cli::batch {

namespace fs = std::filesystem;

namespace {

// How long a build may take to stop after it was asked to, before it is killed.
constexpr std::chrono::seconds kStopGrace{5};
constexpr int kTickMilliseconds = 250;

// Signals reach the loop through a pipe, so poll() wakes for them.
int gSignalPipe[2] = {-1, -1};
std::atomic<int> gStopRequests{0};

extern "C" void onSignal(int signal) {
    const int saved = errno;
    if (signal != SIGCHLD) {
        gStopRequests.fetch_add(1);
    }
    const char byte = 0;
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

class SignalScope {
public:
    SignalScope() {
        if (::pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
        }
        gStopRequests.store(0);
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART | SA_NOCLDSTOP;
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &sa, &old_[i]);
        }
        // A report piped to a reader that went away is a write error, not the end of the batch.
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &oldPipe_);
    }
    ~SignalScope() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &old_[i], nullptr);
        }
        sigaction(SIGPIPE, &oldPipe_, nullptr);
        ::close(gSignalPipe[0]);
        ::close(gSignalPipe[1]);
        gSignalPipe[0] = gSignalPipe[1] = -1;
    }
    SignalScope(const SignalScope&) = delete;
    SignalScope& operator=(const SignalScope&) = delete;

private:
    static constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGCHLD};
    std::array<struct sigaction, 4> old_{};
    struct sigaction oldPipe_ {};
};

class Runner {
public:
    Runner(const std::vector<Job>& jobs, const RunOptions& options, const RunListener& listener)
        : jobs_(jobs), options_(options), listener_(listener) {}

    RunSummary run() {
        SignalScope signals;
        RunSummary summary;
        std::size_t next = 0;
        auto fill = [&] {
            summary.interrupted = summary.interrupted || gStopRequests.load() != 0;
            while (!summary.interrupted && next < jobs_.size() && running_.size() < options_.parallel) {
                start(jobs_[next++]);
            }
        };
        while ((!summary.interrupted && next < jobs_.size()) || !running_.empty()) {
            fill();
            if (running_.empty()) {
                continue;
            }
            wait();
            summary.interrupted = summary.interrupted || gStopRequests.load() != 0;
            handleStops(summary.interrupted);
            std::list<BuildProcess> ended = reap();
            // The next builds start before the outputs of these are read and reported.
            fill();
            for (auto& run : ended) {
                report(finish(run, run.status, options_));
            }
            if (listener_.tick) {
                listener_.tick();
            }
        }
        summary.notStarted = jobs_.size() - next;
        return summary;
    }

private:
    void start(const Job& job) {
        if (!options_.force && upToDate(job)) {
            Outcome skipped;
            skipped.job = &job;
            skipped.status = Status::Skipped;
            report(skipped);
            return;
        }
        BuildProcess run;
        std::string error;
        if (!spawn(job, options_, run, error)) {
            Outcome failed;
            failed.job = &job;
            failed.messages.push_back(error);
            report(failed);
            return;
        }
        running_.push_back(std::move(run));
    }

    // Sleeps until a build writes, a signal arrives or the next tick is due.
    void wait() {
        std::vector<pollfd> fds;
        fds.push_back({gSignalPipe[0], POLLIN, 0});
        for (const auto& run : running_) {
            if (run.fd >= 0) {
                fds.push_back({run.fd, POLLIN, 0});
            }
        }
        if (::poll(fds.data(), fds.size(), kTickMilliseconds) <= 0) {
            return;
        }
        char bytes[64];
        while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
        }
        for (auto& run : running_) {
            if (run.fd >= 0 && !drain(run)) {
                ::close(run.fd);
                run.fd = -1;
            }
        }
    }

    // Time limits, interruptions, and builds that do not stop when asked.
    void handleStops(bool interrupted) {
        const auto now = Clock::now();
        const bool killNow = gStopRequests.load() > 1; // asked twice: no more waiting
        for (auto& run : running_) {
            if (interrupted && !run.interrupted && !run.timedOut) {
                run.interrupted = true;
                askToStop(run, SIGTERM);
            }
            if (options_.timeLimitSeconds > 0 && !run.stopAskedAt &&
                now - run.start > std::chrono::duration<double>(options_.timeLimitSeconds)) {
                run.timedOut = true;
                askToStop(run, SIGTERM);
            }
            if (run.stopAskedAt && (killNow || now - *run.stopAskedAt > kStopGrace)) {
                ::kill(-run.pid, SIGKILL);
            }
        }
    }

    // Takes the builds that have ended off the running list.
    std::list<BuildProcess> reap() {
        std::list<BuildProcess> ended;
        for (auto it = running_.begin(); it != running_.end();) {
            const auto current = it++;
            if (::waitpid(current->pid, &current->status, WNOHANG) != current->pid) {
                continue;
            }
            // Whatever it wrote before ending; a process it started may still hold the pipe.
            if (current->fd >= 0) {
                drain(*current);
                ::close(current->fd);
                current->fd = -1;
            }
            ended.splice(ended.end(), running_, current);
        }
        return ended;
    }

    void report(const Outcome& outcome) {
        if (listener_.finished) {
            listener_.finished(outcome);
        }
    }

    const std::vector<Job>& jobs_;
    const RunOptions& options_;
    const RunListener& listener_;
    std::list<BuildProcess> running_;
};

} // namespace

bool upToDate(const Job& job) {
    struct stat out {};
    if (::stat(job.target.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) {
        return false;
    }
    auto newer = [](const struct timespec& a, const struct timespec& b) {
        return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
    };
    return std::all_of(job.sources.begin(), job.sources.end(), [&](const fs::path& source) {
        struct stat in {};
        return ::stat(source.c_str(), &in) == 0 && newer(out.st_mtim, in.st_mtim);
    });
}

RunSummary runJobs(const std::vector<Job>& jobs, const RunOptions& options, const RunListener& listener) {
    return Runner(jobs, options, listener).run();
}

} // namespace plait::cli::batch

#include "BatchRun.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <list>
#include <sstream>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plait::cli::batch {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// What a build may say: enough for every message, bounded for a build that floods its output.
constexpr std::size_t kMaxMessageBytes = 64u << 10;
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
        sa.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &sa, &old_[i]);
        }
    }
    ~SignalScope() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &old_[i], nullptr);
        }
        ::close(gSignalPipe[0]);
        ::close(gSignalPipe[1]);
        gSignalPipe[0] = gSignalPipe[1] = -1;
    }
    SignalScope(const SignalScope&) = delete;
    SignalScope& operator=(const SignalScope&) = delete;

private:
    static constexpr std::array<int, 4> kSignals{SIGINT, SIGTERM, SIGHUP, SIGCHLD};
    std::array<struct sigaction, 4> old_{};
};

struct Running {
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

// The arguments of the `plait build` command that does the job.
std::vector<std::string> buildArguments(const Job& job) {
    std::vector<std::string> args{"plait", "build", "-q"};
    if (!job.settings.empty()) {
        args.insert(args.end(), {"--settings", job.settings});
    }
    if (!job.mode.empty()) {
        args.insert(args.end(), {"--mode", job.mode});
    }
    if (job.open) {
        args.emplace_back("--open");
    }
    if (!job.bookmarks.empty()) {
        args.insert(args.end(), {"--bookmarks", job.bookmarks});
    }
    args.insert(args.end(), {"-o", job.output, "--"});
    args.insert(args.end(), job.inputs.begin(), job.inputs.end());
    return args;
}

// Starts the build in a process group of its own, so that a Ctrl+C on the terminal reaches only
// the batch, which then stops its builds itself. Between vfork and exec only async-signal-safe
// calls are made.
bool spawn(const Job& job, const RunOptions& options, Running& run, std::string& error) {
    std::vector<std::string> args = buildArguments(job);
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    const rlim_t memory = static_cast<rlim_t>(options.memoryLimitMb) << 20;
    // vfork: a thousand builds do not each copy the batch's page tables. The child runs on the
    // parent's memory until exec, with every signal blocked and handled by default, so none of
    // the batch's handlers runs in it.
    sigset_t all, before;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, &before);
    const pid_t pid = ::vfork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        if (memory != 0) {
            const struct rlimit limit { memory, memory };
            ::setrlimit(RLIMIT_AS, &limit);
        }
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD}) {
            ::signal(signal, SIG_DFL);
        }
        sigprocmask(SIG_SETMASK, &before, nullptr);
        ::execv("/proc/self/exe", argv.data());
        const char* what = errno == ENOMEM ? "plait: cannot start the build: out of memory\n"
                                           : "plait: cannot start the build\n";
        [[maybe_unused]] auto n = ::write(STDERR_FILENO, what, std::strlen(what));
        _exit(127);
    }
    const int spawnError = errno;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    if (pid < 0) {
        error = std::string("cannot start the build: ") + std::strerror(spawnError);
        ::close(err[0]);
        ::close(err[1]);
        return false;
    }
    ::setpgid(pid, pid);
    ::close(err[1]);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    run.job = &job;
    run.pid = pid;
    run.fd = err[0];
    run.start = Clock::now();
    return true;
}

// Reads what the build has written so far; false once it has closed its end.
bool drain(Running& run) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(run.fd, buffer, sizeof buffer);
        if (n > 0) {
            const std::size_t room = kMaxMessageBytes - std::min(kMaxMessageBytes, run.text.size());
            run.text.append(buffer, std::min(room, static_cast<std::size_t>(n)));
            run.truncated = run.truncated || static_cast<std::size_t>(n) > room;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
}

void askToStop(Running& run, int signal) {
    ::kill(-run.pid, signal);
    if (!run.stopAskedAt) {
        run.stopAskedAt = Clock::now();
    }
}

// A build that was killed cannot remove its unfinished output: remove it here. It is the hidden
// file beside the output that the engine renames into place when it is done.
void removeUnfinishedOutput(const fs::path& target) {
    const std::string prefix = "." + target.filename().string() + ".plait-";
    std::error_code ec;
    for (fs::directory_iterator it(target.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
            fs::remove(it->path(), ec);
        }
    }
}

// Pages of a finished output; this also proves that a reader can open it.
std::string countPages(const fs::path& file, std::optional<long long>& pages) {
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(file.c_str());
        pages = static_cast<long long>(pdf.getAllPages().size());
        return {};
    } catch (const QPDFExc& e) {
        if (e.getErrorCode() == qpdf_e_password) {
            return "password";
        }
        return e.what();
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool looksOutOfMemory(const Outcome& outcome, int signal) {
    if (signal == SIGKILL || signal == SIGSEGV || signal == SIGABRT || signal == SIGBUS) {
        return true;
    }
    return std::any_of(outcome.messages.begin(), outcome.messages.end(), [](const std::string& m) {
        for (const char* sign :
             {"bad_alloc", "Cannot allocate memory", "out of memory", "failed to map segment"}) {
            if (m.find(sign) != std::string::npos) {
                return true;
            }
        }
        return false;
    });
}

std::string formatSeconds(double seconds) {
    std::ostringstream out;
    out << seconds;
    return out.str();
}

Outcome finish(Running& run, int status, const RunOptions& options) {
    Outcome outcome;
    outcome.job = run.job;
    outcome.seconds = std::chrono::duration<double>(Clock::now() - run.start).count();
    // A refused command line is followed by the usage text: the reason is enough here.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        const auto usage = run.text.find("\n\n");
        if (usage != std::string::npos) {
            run.text.resize(usage + 1);
        }
    }
    outcome.messages = splitLines(run.text);
    if (run.truncated) {
        outcome.messages.emplace_back("(further messages left out)");
    }
    const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    outcome.exitCode = signal != 0 ? 128 + signal : WEXITSTATUS(status);
    if (signal != 0) {
        removeUnfinishedOutput(run.job->target);
    }
    const std::string how = signal != 0 ? std::string(" (") + strsignal(signal) + ")" : std::string();
    if (run.interrupted) {
        outcome.messages.emplace_back("interrupted; the output was not written");
    } else if (run.timedOut) {
        outcome.messages.push_back("stopped after the time limit of " +
                                   formatSeconds(options.timeLimitSeconds) +
                                   " seconds; the output was not written");
    } else if (*outcome.exitCode == 0) {
        const std::string unreadable = countPages(run.job->target, outcome.pages);
        if (unreadable.empty() || unreadable == "password") {
            outcome.status = Status::Ok;
            return outcome;
        }
        outcome.messages.push_back("the output cannot be read: " + unreadable);
        outcome.exitCode = 1;
    } else if (options.memoryLimitMb != 0 && looksOutOfMemory(outcome, signal)) {
        outcome.messages.push_back(
            "the build ran out of memory (limit " + std::to_string(options.memoryLimitMb) + " MB" +
            (signal != 0 ? std::string("; ") + strsignal(signal) : std::string()) + ")");
    } else if (signal != 0) {
        outcome.messages.push_back("the build ended abnormally" + how);
    }
    outcome.status = Status::Failed;
    return outcome;
}

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
            std::list<Running> ended = reap();
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
        Running run;
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
    std::list<Running> reap() {
        std::list<Running> ended;
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
    std::list<Running> running_;
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

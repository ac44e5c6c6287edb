#include "BuildProcess.h"

#include "Command.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFExc.hh>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plait::cli::batch {

namespace fs = std::filesystem;

namespace {

// What a build may say: enough for every message, bounded for a build that floods its output.
constexpr std::size_t kMaxMessageBytes = 64u << 10;

// The arguments of the `plait build` command that does the job.
std::vector<std::string> buildArguments(const Job& job) {
    // The batch enforces its own time and memory limits on the build (below), so the build's
    // own defaults are lifted: a batch limit above them would otherwise never be reached.
    if (!job.split.empty()) {
        const std::string& in = job.inputs.front();
        std::vector<std::string> args{
            "plait", "split", "-q",       "--memory-limit",
            "0",     "-o",    job.output, !in.empty() && in[0] == '-' ? "./" + in : in};
        args.insert(args.end(), job.split.begin(), job.split.end());
        return args;
    }
    std::vector<std::string> args{"plait", "build", "-q", "--time-limit", "0", "--memory-limit", "0"};
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
    if (job.imageDpi) {
        args.insert(args.end(), {"--image-dpi", std::to_string(*job.imageDpi)});
    }
    if (job.imageQuality) {
        args.insert(args.end(), {"--image-quality", std::to_string(*job.imageQuality)});
    }
    if (job.smallest) {
        args.emplace_back("--smallest");
    }
    const bool choosesPages =
        std::any_of(job.inputPages.begin(), job.inputPages.end(), [](const auto& p) { return !p.empty(); });
    if (!choosesPages) {
        args.insert(args.end(), {"-o", job.output, "--"});
        args.insert(args.end(), job.inputs.begin(), job.inputs.end());
        return args;
    }
    // --pages must follow its input, so no "--" ends the options: a name that starts with "-"
    // is written as "./-name", which names the same file and reads as no option.
    args.insert(args.end(), {"-o", job.output});
    for (std::size_t i = 0; i < job.inputs.size(); ++i) {
        const std::string& in = job.inputs[i];
        args.push_back(!in.empty() && in[0] == '-' ? "./" + in : in);
        if (i < job.inputPages.size() && !job.inputPages[i].empty()) {
            args.insert(args.end(), {"--pages", job.inputPages[i]});
        }
    }
    return args;
}

// A build that was killed, or stopped in a way it did not expect, may not have removed its
// unfinished output: remove it here. It is the hidden file beside the output that the engine
// renames into place when it is done (".NAME.plait-" and six characters).
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

// The hidden parts a split killed in its folder left: `plait split` (process `pid`) writes each
// part as ".plait-split-PID-N.pdf", and the engine that builds it a hidden file beside that.
void removeUnfinishedParts(const fs::path& folder, pid_t pid) {
    const std::string mark = ".plait-split-" + std::to_string(pid) + "-";
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().string().find(mark) != std::string::npos) {
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

// Only the build's own words tell that its memory ran out: a signal may have other causes
// (a crash, a kill from outside), and naming the limit for them would mislead.
bool ranOutOfMemory(const Outcome& outcome) {
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

// The body of a forked build: `plait build` with the job's arguments, run in this process, and
// its exit status. Nothing of the batch is flushed or torn down on the way out: its buffers
// were empty at the fork, and its objects belong to the batch.
[[noreturn]] void runForkedBuild(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const int status = runCommand(static_cast<int>(args.size()), argv.data());
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(status);
}

} // namespace

// Each build is a fork of the batch, which has loaded the engine and its libraries already:
// a job costs its build, not the start of a program. The batch starts no thread, so the child
// is a process with one thread, as a started `plait build` is, and runs the build on it. The
// process group of its own lets a Ctrl+C on the terminal reach only the batch, which then
// stops its builds itself.
bool spawn(const Job& job, const RunOptions& options, BuildProcess& run, std::string& error) {
    std::vector<std::string> args = buildArguments(job);
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    const rlim_t memory = static_cast<rlim_t>(options.memoryLimitMb) << 20;
    // What the batch has buffered would otherwise be written twice, once by each process.
    std::cout.flush();
    std::fflush(nullptr);
    const pid_t batch = ::getpid();
    // Every signal is blocked across the fork, and the child puts the defaults back before it
    // unblocks them, so none of the batch's handlers runs in it.
    sigset_t all, before;
    sigfillset(&all);
    sigprocmask(SIG_SETMASK, &all, &before);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        ::dup2(devNull, STDIN_FILENO);
        ::dup2(devNull, STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        // Nothing but the standard descriptors reaches the build: not the report, not another
        // build's pipe, not the batch's signal pipe, nor what a library opened.
        if (::close_range(3, ~0U, 0) != 0) {
            for (int fd = 3; fd < 1024; ++fd) {
                ::close(fd);
            }
        }
        if (memory != 0) {
            const struct rlimit limit { memory, memory };
            ::setrlimit(RLIMIT_AS, &limit);
        }
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGCHLD, SIGPIPE}) {
            ::signal(signal, SIG_DFL);
        }
        // Should the batch itself be killed, its builds stop too; also when it died just now.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != batch) {
            _exit(128 + SIGTERM);
        }
        sigprocmask(SIG_SETMASK, &before, nullptr);
        // Named as what it now is, for ps and top (and for whoever waits for the build to start).
        ::prctl(PR_SET_NAME, "plait build");
        runForkedBuild(args);
    }
    const int spawnError = errno;
    sigprocmask(SIG_SETMASK, &before, nullptr);
    ::close(err[1]);
    if (pid < 0) {
        error = std::string("cannot start the build: ") + std::strerror(spawnError);
        ::close(err[0]);
        return false;
    }
    ::setpgid(pid, pid);
    ::fcntl(err[0], F_SETFL, O_NONBLOCK);
    run.job = &job;
    run.pid = pid;
    run.fd = err[0];
    run.start = Clock::now();
    return true;
}

bool drain(BuildProcess& run) {
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

void askToStop(BuildProcess& run, int signal) {
    ::kill(-run.pid, signal);
    if (!run.stopAskedAt) {
        run.stopAskedAt = Clock::now();
    }
}

Outcome finish(BuildProcess& run, int status, const RunOptions& options) {
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
    if (signal != 0 || (run.stopAskedAt && *outcome.exitCode != 0)) {
        if (run.job->split.empty()) {
            removeUnfinishedOutput(run.job->target);
        } else {
            removeUnfinishedParts(run.job->target, run.pid);
        }
    }
    if (*outcome.exitCode == 0 && !run.job->split.empty()) {
        outcome.status = Status::Ok; // the parts were each read back before they were named
        return outcome;
    }
    if (*outcome.exitCode == 0) {
        // Finished, even if it was asked to stop just after: its output is whole.
        const std::string unreadable = countPages(run.job->target, outcome.pages);
        if (unreadable.empty() || unreadable == "password") {
            outcome.status = Status::Ok;
            return outcome;
        }
        outcome.messages.push_back("the output cannot be read: " + unreadable);
        outcome.exitCode = 1;
    } else if (run.interrupted) {
        outcome.messages.emplace_back("interrupted; the output was not written");
    } else if (run.timedOut) {
        outcome.messages.push_back("stopped after the time limit of " +
                                   formatSeconds(options.timeLimitSeconds) +
                                   " seconds; the output was not written");
    } else if (options.memoryLimitMb != 0 && ranOutOfMemory(outcome)) {
        outcome.messages.push_back(
            "the build ran out of memory (limit " + std::to_string(options.memoryLimitMb) + " MB" +
            (signal != 0 ? std::string("; ") + strsignal(signal) : std::string()) + ")");
    } else if (signal != 0) {
        // Past an address-space limit the loader, or a stack that cannot grow, faults without a
        // word: possible, not certain, so it is said as such.
        const bool fault = signal == SIGSEGV || signal == SIGBUS;
        outcome.messages.push_back(
            "the build stopped unexpectedly (signal " + std::to_string(signal) + ": " + strsignal(signal) +
            ")" +
            (fault && options.memoryLimitMb != 0
                 ? "; it may have run out of memory (limit " + std::to_string(options.memoryLimitMb) + " MB)"
                 : std::string()));
    }
    outcome.status = Status::Failed;
    return outcome;
}

} // namespace plait::cli::batch

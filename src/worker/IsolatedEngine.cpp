#include "IsolatedEngine.h"

#include "Channel.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poll.h>

extern char** environ;

namespace fs = std::filesystem;

namespace plait::worker {
namespace {

// The engine's own codes for what the worker cannot report itself.
constexpr const char* kCannotCreateOutput = "-2";
constexpr const char* kCannotParseInput = "-4";
constexpr const char* kCancelled = "-6";

// The hidden temporary files a writer of `output` makes beside it (".NAME.plait-" and six
// characters), or beside the files it exports into the folder `output`: the only files the
// worker may have the program remove.
bool isTemporaryOf(const std::string& announced, const std::string& output, bool exportsImages) {
    if (output.empty() || output == "membuild") {
        return false;
    }
    const fs::path path(announced);
    const fs::path target(output);
    fs::path folder = exportsImages ? target : target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (path.parent_path().empty() || path.parent_path().lexically_normal() != folder.lexically_normal()) {
        return false;
    }
    const std::string name = path.filename().string();
    const std::string prefix = exportsImages ? ".plait-image-" : "." + target.filename().string() + ".plait-";
    return name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

// One build in one worker process.
struct IsolatedEngine::Run {
    IsolatedEngine& engine;
    int socket = -1;
    pid_t pid = 0;
    int pidfd = -1; // readable once the worker has ended; -1 where the system has none
    bool exited = false;
    MessageReader reader;
    std::optional<std::string> result;
    std::vector<std::string> temporaries;
    std::string outgoing; // what is still to be sent to the worker
    std::size_t sent = 0;
    std::string output;
    bool exportsImages = false;

    explicit Run(IsolatedEngine& e) : engine(e) {}
    ~Run() {
        if (socket >= 0) {
            ::close(socket);
        }
        if (pidfd >= 0) {
            ::close(pidfd);
        }
        if (pid > 0 && !exited) {
            killAll();
            reap(0);
        }
    }

    // The worker has a process group of its own: whatever it started goes with it.
    void killAll() {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }

    // Starts the worker with one end of a socket pair as its descriptor 3.
    bool start(std::string& reason) {
        int pair[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
            reason = std::strerror(errno);
            return false;
        }
        if (pair[1] == 3) {
            // dup2 onto itself would keep close-on-exec, and the worker would lose its end.
            const int moved = ::fcntl(pair[1], F_DUPFD_CLOEXEC, 4);
            ::close(pair[1]);
            pair[1] = moved;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pair[1], 3);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const std::string limit = std::to_string(engine.options_.megabytes);
        std::string path = engine.options_.workerPath;
        std::string flag = "--memory-limit";
        std::string value = limit;
        char* argv[] = {path.data(), flag.data(), value.data(), nullptr};
        const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pair[1]);
        socket = pair[0];
        if (rc != 0) {
            pid = 0;
            reason = std::strerror(rc);
            return false;
        }
        pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
        // The program never waits on the worker's socket: a worker that stops reading cannot
        // hold it past the limits.
        ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
        return true;
    }

    // Waits for the worker's end: blocking (flags 0) or not (WNOHANG).
    void reap(int flags) {
        int status = 0;
        pid_t got;
        while ((got = ::waitpid(pid, &status, flags)) < 0 && errno == EINTR) {
        }
        if (got == pid) {
            exited = true;
            exitStatus = status;
        }
    }

    void handle(const Message& m) {
        const auto field = [&](std::size_t i) { return i < m.fields.size() ? m.fields[i] : std::string(); };
        switch (m.kind) {
        case 'T':
            if (isTemporaryOf(field(0), output, exportsImages)) {
                temporaries.push_back(field(0));
            }
            break;
        case 'S':
            engine.setStatus(field(0), field(1), field(2));
            break;
        case 'W':
            engine.addWarning(field(0));
            break;
        case 'R':
            result = field(0);
            break;
        default:
            break;
        }
    }

    // Reads what is there, at most a few buffers; false once the worker has closed its end
    // or sent nonsense.
    bool pump() {
        char buffer[65536];
        for (int round = 0; round < 16; ++round) {
            const ssize_t n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0) {
                return false;
            }
            if (n < 0) {
                return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
            }
            reader.feed(buffer, static_cast<std::size_t>(n));
            while (auto m = reader.next()) {
                handle(*m);
            }
            if (reader.broken()) {
                return false;
            }
        }
        return true;
    }

    // Sends what the worker takes now; false once it cannot take any more.
    bool flush() {
        while (sent < outgoing.size()) {
            const ssize_t n =
                ::send(socket, outgoing.data() + sent, outgoing.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return true;
            }
            if (n <= 0) {
                return false;
            }
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    int exitStatus = 0;
};

void IsolatedEngine::onCall(const engine::Operation& op, const std::vector<std::string>& args) {
    std::vector<std::string> call{std::string(op.name)};
    call.insert(call.end(), args.begin(), args.end());
    calls_.push_back(std::move(call));
}

std::string IsolatedEngine::onBuild() {
    clearWarnings();
    setStatus("Starting", "0");
    Run run(*this);
    for (const auto& call : calls_) {
        if (call.size() == 2 && call[0] == "setOutFile") {
            run.output = call[1];
        }
        run.exportsImages = run.exportsImages || call[0] == "setImgDir";
        run.outgoing += encode({'C', call});
    }
    run.outgoing += encode({'B', {}});
    std::string reason;
    if (!run.start(reason)) {
        const std::string message = "Cannot create output file: the engine could not be started (" +
                                    options_.workerPath + ": " + reason + ")";
        addWarning(message);
        setStatus(message, "100");
        return kCannotCreateOutput;
    }

    // Until the worker has ended: send the calls as it takes them, read what it says, and
    // keep the limits whatever it does with its socket (stops reading, closes it and runs
    // on, or leaves it to a process of its own). Past the time limit or a cancel, a worker
    // that has not ended within the grace is killed with everything it started.
    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    std::optional<Clock::time_point> stopAsked;
    bool timedOut = false;
    bool killed = false;
    bool open = true;
    std::string stuckAt;
    while (!run.exited) {
        const auto now = Clock::now();
        if (!stopAsked && (cancelRequested() || (options_.seconds > 0 &&
                                                 now - started >= std::chrono::seconds(options_.seconds)))) {
            timedOut = !cancelRequested();
            stopAsked = now;
            stuckAt = stsMsg();
            run.outgoing += encode({'X', {std::to_string(timedOut ? 1 : cancelBuild())}});
        }
        if (stopAsked && !killed && now - *stopAsked >= options_.grace) {
            run.killAll();
            killed = true;
        }
        if (open) {
            open = run.flush() && run.pump();
            if (!open && run.reader.broken()) {
                addWarning("The engine sent a message that is not one; it was stopped");
                run.killAll();
                killed = true;
            }
        }
        run.reap(WNOHANG);
        if (run.exited) {
            break;
        }
        // Woken by what the worker says or takes, by its end (a pidfd, where the system has
        // them), or after 50 ms to look at the clock and the cancel.
        pollfd p[2] = {{open ? run.socket : -1,
                        static_cast<short>(POLLIN | (run.sent < run.outgoing.size() ? POLLOUT : 0)), 0},
                       {run.pidfd, POLLIN, 0}};
        ::poll(p, 2, 50);
    }
    if (open) {
        run.pump(); // what it said just before it ended
    }
    ::close(run.socket);
    run.socket = -1;
    // Whatever the worker started (and may have left holding the socket) goes with it.
    ::kill(-run.pid, SIGKILL);
    if (run.result && !timedOut && !killed) {
        return *run.result;
    }
    // The worker ended without a result, or was stopped by the watchdog: whatever it left is
    // removed here.
    for (const auto& path : run.temporaries) {
        ::unlink(path.c_str());
    }
    const std::string where = stuckAt.empty() ? std::string() : " at \"" + stuckAt + "\"";
    if (timedOut) {
        const std::string message = "The build took longer than " + std::to_string(options_.seconds) +
                                    " seconds" + where + "; it was stopped and nothing was written";
        addWarning(message);
        setStatus(message, "100");
        return kCannotParseInput;
    }
    if (cancelRequested()) {
        addWarning("The build was cancelled; no output was written");
        setStatus("Cancelled", "100");
        return kCancelled;
    }
    // Not a fault of the input that the engine found: the engine itself is gone.
    const std::string status = stsMsg();
    const std::string at = status.empty() || status == "Starting" ? std::string() : " at \"" + status + "\"";
    const std::string how = WIFSIGNALED(run.exitStatus)
                                ? "signal " + std::to_string(WTERMSIG(run.exitStatus))
                                : "exit status " + std::to_string(WEXITSTATUS(run.exitStatus));
    const std::string message =
        "the engine stopped unexpectedly (" + how + ")" + at + "; nothing was written";
    addWarning(message);
    setStatus(message, "100");
    throw EngineStopped(message);
}

void registerIsolatedEngine(engine::EngineRegistry& registry, IsolatedEngine::Options options) {
    registry.add(std::string(engine::kPlaitEngineName),
                 [options] { return std::make_unique<IsolatedEngine>(options); });
}

std::string findWorker(const std::string& programPath, const std::string& fallback) {
    std::error_code ec;
    const fs::path beside = fs::path(programPath).parent_path() / "plait-engine-worker";
    if (!programPath.empty() && fs::is_regular_file(beside, ec)) {
        return beside.string();
    }
    if (!fallback.empty() && fs::is_regular_file(fallback, ec)) {
        return fallback;
    }
    return {};
}

} // namespace plait::worker

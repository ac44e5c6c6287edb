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

} // namespace

// One build in one worker process.
struct IsolatedEngine::Run {
    IsolatedEngine& engine;
    int socket = -1;
    pid_t pid = 0;
    MessageReader reader;
    std::optional<std::string> result;
    std::vector<std::string> temporaries;

    explicit Run(IsolatedEngine& e) : engine(e) {}
    ~Run() {
        if (socket >= 0) {
            ::close(socket);
        }
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            reap();
        }
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
        const std::string limit = std::to_string(engine.options_.megabytes);
        std::string path = engine.options_.workerPath;
        std::string flag = "--memory-limit";
        std::string value = limit;
        char* argv[] = {path.data(), flag.data(), value.data(), nullptr};
        const int rc = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pair[1]);
        socket = pair[0];
        if (rc != 0) {
            pid = 0;
            reason = std::strerror(rc);
            return false;
        }
        return true;
    }

    void reap() {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        pid = 0;
        exitStatus = status;
    }

    void handle(const Message& m) {
        const auto field = [&](std::size_t i) { return i < m.fields.size() ? m.fields[i] : std::string(); };
        switch (m.kind) {
        case 'T':
            temporaries.push_back(field(0));
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

    // Reads what is there; false once the worker has closed its end.
    bool pump() {
        char buffer[65536];
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
        return !reader.broken();
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
    std::string reason;
    if (!run.start(reason)) {
        const std::string message = "Cannot create output file: the engine could not be started (" +
                                    options_.workerPath + ": " + reason + ")";
        addWarning(message);
        setStatus(message, "100");
        return kCannotCreateOutput;
    }
    bool sent = true;
    for (const auto& call : calls_) {
        sent = sent && send(run.socket, {'C', call});
    }
    sent = sent && send(run.socket, {'B', {}});

    using Clock = std::chrono::steady_clock;
    const auto started = Clock::now();
    std::optional<Clock::time_point> stopAsked;
    bool timedOut = false;
    bool killed = false;
    std::string stuckAt;
    while (sent && run.pump()) {
        const auto now = Clock::now();
        if (!stopAsked && (cancelRequested() || (options_.seconds > 0 &&
                                                 now - started >= std::chrono::seconds(options_.seconds)))) {
            timedOut = !cancelRequested();
            stopAsked = now;
            stuckAt = stsMsg();
            send(run.socket, {'X', {std::to_string(timedOut ? 1 : cancelBuild())}});
        }
        if (stopAsked && !killed && now - *stopAsked >= options_.grace) {
            ::kill(run.pid, SIGKILL);
            killed = true;
        }
        pollfd p{run.socket, POLLIN, 0};
        ::poll(&p, 1, 50);
    }
    ::close(run.socket);
    run.socket = -1;
    run.reap();
    if (run.result && !timedOut) {
        return *run.result;
    }
    // The worker ended without a result, or was stopped by the watchdog: whatever it left is
    // removed here.
    for (const auto& path : run.temporaries) {
        ::unlink(path.c_str());
    }
    std::string message;
    if (timedOut) {
        message = "The build took longer than " + std::to_string(options_.seconds) + " seconds at \"" +
                  stuckAt + "\"; it was stopped and nothing was written";
    } else if (cancelRequested()) {
        addWarning("The build was cancelled; no output was written");
        setStatus("Cancelled", "100");
        return kCancelled;
    } else if (WIFSIGNALED(run.exitStatus)) {
        message = "The build ended unexpectedly (signal " + std::to_string(WTERMSIG(run.exitStatus)) +
                  ") at \"" + stsMsg() + "\"; nothing was written";
    } else {
        message = "The build ended unexpectedly at \"" + stsMsg() + "\"; nothing was written";
    }
    addWarning(message);
    setStatus(message, "100");
    return kCannotParseInput;
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

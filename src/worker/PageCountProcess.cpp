#include "PageCountProcess.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plait::worker {
namespace {

// An answer is a line or two: anything longer is not one.
constexpr std::size_t kMaxAnswerBytes = 4096;

} // namespace

std::string encodePageCount(const PageCountAnswer& answer) {
    switch (answer.kind) {
    case PageCountAnswer::Kind::Pages:
        return "pages " + std::to_string(answer.pages) + "\n";
    case PageCountAnswer::Kind::NeedsPassword:
        return "password\n";
    case PageCountAnswer::Kind::Unreadable:
        return "unreadable " + answer.reason + "\n";
    case PageCountAnswer::Kind::Fits:
        return "fits\n";
    case PageCountAnswer::Kind::TooLarge:
        return "toolarge " + answer.reason + "\n";
    case PageCountAnswer::Kind::Stopped:
        break;
    }
    return "stopped " + answer.reason + "\n";
}

PageCountAnswer decodePageCount(const std::string& text) {
    PageCountAnswer answer;
    const std::string line = text.substr(0, text.find('\n'));
    const auto word = line.substr(0, line.find(' '));
    const std::string rest = line.size() > word.size() ? line.substr(word.size() + 1) : std::string();
    if (word == "pages" && !rest.empty() && rest.size() <= 9 &&
        rest.find_first_not_of("0123456789") == std::string::npos) {
        answer.kind = PageCountAnswer::Kind::Pages;
        answer.pages = std::stoi(rest);
    } else if (word == "password") {
        answer.kind = PageCountAnswer::Kind::NeedsPassword;
    } else if (word == "fits") {
        answer.kind = PageCountAnswer::Kind::Fits;
    } else if (word == "toolarge") {
        answer.kind = PageCountAnswer::Kind::TooLarge;
        answer.reason = rest;
    } else if (word == "unreadable") {
        answer.kind = PageCountAnswer::Kind::Unreadable;
        answer.reason = rest;
    } else {
        answer.reason = "the reader gave no answer";
    }
    return answer;
}

namespace {

PageCountAnswer askWorker(const std::string& workerPath, const char* flag, const std::string& pdf,
                          const PageCountLimits& limits) {
    PageCountAnswer stopped;
    int out[2];
    stopped.started = false;
    if (::pipe2(out, O_CLOEXEC) != 0) {
        stopped.reason = std::strerror(errno);
        return stopped;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    std::string path = workerPath;
    std::string countFlag = flag;
    std::string file = pdf;
    std::string memoryFlag = "--memory-limit";
    std::string megabytes = std::to_string(limits.megabytes);
    char* argv[] = {path.data(), memoryFlag.data(), megabytes.data(), countFlag.data(), file.data(), nullptr};
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
        ::close(out[0]);
        stopped.reason = std::strerror(rc);
        return stopped;
    }
    stopped.started = true;

    // Read the answer until the worker closes its output or the time is up.
    const auto deadline = std::chrono::steady_clock::now() + limits.time;
    std::string text;
    bool timedOut = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 1000))) <= 0) {
            continue;
        }
        char buffer[1024];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kMaxAnswerBytes) {
            break;
        }
    }
    ::close(out[0]);
    // The worker, and whatever it started, go now in every case; its answer is already read.
    ::kill(-pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut) {
        stopped.reason = "it took too long to read";
        return stopped;
    }
    PageCountAnswer answer = decodePageCount(text);
    if (answer.kind == PageCountAnswer::Kind::Stopped && WIFSIGNALED(status) && WTERMSIG(status) != SIGKILL) {
        answer.reason = "the reader stopped (signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    return answer;
}

} // namespace

PageCountAnswer countPagesInWorker(const std::string& workerPath, const std::string& pdf,
                                   const PageCountLimits& limits) {
    return askWorker(workerPath, "--count-pages", pdf, limits);
}

PageCountAnswer probePreviewInWorker(const std::string& workerPath, const std::string& pdf,
                                     const PageCountLimits& limits) {
    return askWorker(workerPath, "--probe-preview", pdf, limits);
}

} // namespace plait::worker

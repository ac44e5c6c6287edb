#pragma once

// A `plait` process for the end-to-end tests that signal it while it runs.

#include "pdfengine/Fixtures.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <thread>
#include <vector>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plait::test {

using plait::pdf::testing::quote;
using plait::pdf::testing::readFile;
namespace fs = std::filesystem;

// What a finished plait run said and how it ended.
struct Result {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs plait with the arguments, in `cwd`, to its end, capturing both streams.
inline Result runPlait(const std::vector<std::string>& args, const fs::path& cwd) {
    const fs::path outFile = cwd / ".stdout";
    const fs::path errFile = cwd / ".stderr";
    std::string line = "cd " + quote(cwd.string()) + " && " + quote(PLAIT_CLI_PATH);
    for (const auto& a : args) {
        line += " " + quote(a);
    }
    line += " >" + quote(outFile.string()) + " 2>" + quote(errFile.string());
    const int status = std::system(line.c_str());
    Result r;
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(outFile);
    r.err = readFile(errFile);
    fs::remove(outFile);
    fs::remove(errFile);
    return r;
}

// A plait process started in `folder`, its standard error going to a file there.
class Plait {
public:
    Plait(const fs::path& folder, const std::vector<std::string>& args, const std::string& stall = "")
        : errFile_(folder / ".stderr") {
        std::vector<std::string> argv = {PLAIT_CLI_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> cargv;
        for (auto& a : argv) {
            cargv.push_back(a.data());
        }
        cargv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e != nullptr; ++e) {
            env.emplace_back(*e);
        }
        if (!stall.empty()) {
            env.push_back("PLAIT_TEST_STALL=" + stall);
        }
        std::vector<char*> cenv;
        for (auto& e : env) {
            cenv.push_back(e.data());
        }
        cenv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errFile_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const fs::path previous = fs::current_path();
        fs::current_path(folder);
        const int rc = posix_spawn(&pid_, PLAIT_CLI_PATH, &actions, nullptr, cargv.data(), cenv.data());
        fs::current_path(previous);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0);
    }
    ~Plait() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            wait();
        }
    }
    void signal(int s) const { kill(pid_, s); }
    // Waits for the process to end; returns its wait status.
    int wait() {
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = 0;
        return status;
    }
    std::string errors() const { return readFile(errFile_); }

private:
    fs::path errFile_;
    pid_t pid_ = 0;
};

// Waits (generously) until the build's hidden temporary output exists.
inline bool temporaryOutputAppears(const fs::path& folder) {
    for (int i = 0; i < 3000; ++i) {
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().filename().string().rfind(".out.pdf.plait-", 0) == 0) {
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace plait::test

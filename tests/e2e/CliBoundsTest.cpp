// What ends a `plait build`: signals, a second Ctrl+C, a build stuck where it cannot see the
// cancel, the time limit and the memory limit. Whatever ends it, nothing stays beside the
// output.

#include "e2e/PlaitProcess.h"
#include "pdfengine/Fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace plait::pdf::testing;
using plait::test::Plait;
using plait::test::temporaryOutputAppears;
using ::testing::HasSubstr;
using ::testing::Not;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true; // plait sets no memory ceiling then
#else
constexpr bool kSanitized = false;
#endif

// Files in `folder` other than the test's own: the inputs and the captured errors.
std::vector<std::string> leftovers(const fs::path& folder, const std::vector<std::string>& own) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name != ".stderr" && std::find(own.begin(), own.end(), name) == own.end()) {
            found.push_back(name);
        }
    }
    return found;
}

class CliBounds : public ::testing::Test {
protected:
    void SetUp() override { makePdf(dir.path("a.pdf"), "a", 2); }
    TempDir dir;
};

TEST_F(CliBounds, EachEndingSignalRemovesTheTemporaryOutput) {
    // SIGHUP (the terminal closed) and SIGQUIT on a build that is stuck: it is ended after
    // the grace; SIGTERM and SIGINT on one that sees the cancel: it unwinds by itself.
    const struct {
        int signal;
        const char* stall;
    } cases[] = {{SIGHUP, "stuck"}, {SIGQUIT, "stuck"}, {SIGTERM, "cancellable"}, {SIGINT, "cancellable"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + " " + c.stall);
        Plait plait(dir.root(), {"build", "-o", "out.pdf", "a.pdf"}, c.stall);
        ASSERT_TRUE(temporaryOutputAppears(dir.root()));
        plait.signal(c.signal);
        const int status = plait.wait();
        ASSERT_TRUE(WIFEXITED(status)) << status;
        EXPECT_NE(WEXITSTATUS(status), 0);
        EXPECT_THAT(leftovers(dir.root(), {"a.pdf"}), ::testing::IsEmpty());
        EXPECT_THAT(plait.errors(), HasSubstr("nothing was written"));
    }
}

TEST_F(CliBounds, ACrashStillRemovesTheTemporaryOutput) {
    if (kSanitized) {
        GTEST_SKIP() << "the sanitizers handle crashes themselves";
    }
    for (int crash : {SIGABRT, SIGSEGV}) {
        Plait plait(dir.root(), {"build", "-o", "out.pdf", "a.pdf"}, "stuck");
        ASSERT_TRUE(temporaryOutputAppears(dir.root()));
        plait.signal(crash);
        const int status = plait.wait();
        ASSERT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), crash);
        EXPECT_THAT(leftovers(dir.root(), {"a.pdf"}), ::testing::IsEmpty());
    }
}

TEST_F(CliBounds, ASecondInterruptEndsAStuckBuildAtOnce) {
    // The time limit stays far away, so only the signals can end it.
    Plait plait(dir.root(), {"build", "--time-limit", "0", "-o", "out.pdf", "a.pdf"}, "stuck");
    ASSERT_TRUE(temporaryOutputAppears(dir.root()));
    plait.signal(SIGINT);
    plait.signal(SIGINT);
    const int status = plait.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
    EXPECT_THAT(leftovers(dir.root(), {"a.pdf"}), ::testing::IsEmpty());
}

TEST_F(CliBounds, TheTimeLimitStopsABuildAndEndsOneStuckInTheLibrary) {
    // One that sees the cancel unwinds by itself; one stuck where it cannot is ended after the
    // grace. Either is reported as stopped at its time limit, not as cancelled.
    for (const char* stall : {"cancellable", "stuck"}) {
        SCOPED_TRACE(stall);
        Plait plait(dir.root(), {"build", "--time-limit", "1", "-o", "out.pdf", "a.pdf"}, stall);
        const int status = plait.wait();
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 1);
        const std::string err = plait.errors();
        EXPECT_THAT(err, HasSubstr("longer than 1 seconds (--time-limit) at \"Reading a.pdf"));
        EXPECT_THAT(err, HasSubstr("nothing was written"));
        EXPECT_THAT(err, Not(HasSubstr("plait: cancelled;")));
        EXPECT_EQ(err.find("did not stop") != std::string::npos, std::string(stall) == "stuck") << err;
        EXPECT_THAT(leftovers(dir.root(), {"a.pdf"}), ::testing::IsEmpty());
    }
}

// A build that is past its last look at the cancel when the time limit comes is finished and
// kept: it is reported as built, not as stopped with nothing written.
TEST_F(CliBounds, ABuildThatFinishesAtTheTimeLimitIsReportedAsBuilt) {
    Plait plait(dir.root(), {"build", "--time-limit", "1", "-o", "out.pdf", "a.pdf"}, "late");
    const int status = plait.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << plait.errors();
    EXPECT_THAT(plait.errors(), Not(HasSubstr("nothing was written")));
    EXPECT_TRUE(fs::exists(dir.path("out.pdf")));
    EXPECT_THAT(leftovers(dir.root(), {"a.pdf", "out.pdf"}), ::testing::IsEmpty());
}

// Off a terminal the build has the process to itself and signal handlers keep its limits (the
// tests above); on one, a watcher thread draws the progress line and keeps them.
TEST_F(CliBounds, OnATerminalTheWatcherThreadKeepsTheLimitsToo) {
    const std::string command = "cd '" + dir.root().string() +
                                "' && PLAIT_TEST_STALL=stuck timeout 60 script -qec \"'" + PLAIT_CLI_PATH +
                                "' build --time-limit 1 -o out.pdf a.pdf\" /dev/null 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string shown;
    char buffer[4096];
    while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) {
        shown.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << shown;
    EXPECT_THAT(shown, HasSubstr("] Reading a.pdf")); // the progress line
    EXPECT_THAT(shown, HasSubstr("longer than 1 seconds (--time-limit) at \"Reading a.pdf"));
    EXPECT_THAT(shown, HasSubstr("did not stop"));
    EXPECT_THAT(leftovers(dir.root(), {"a.pdf"}), ::testing::IsEmpty());
}

TEST_F(CliBounds, TheMemoryCeilingFailsTheBuildNamingTheInput) {
    if (kSanitized) {
        GTEST_SKIP() << "no memory ceiling under the sanitizers";
    }
    widePdf(dir.path("wide.pdf"));
    Plait plait(dir.root(), {"build", "--memory-limit", "200", "-o", "out.pdf", "wide.pdf", "a.pdf"});
    const int status = plait.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(plait.errors(), HasSubstr("ran out of memory while reading wide.pdf; nothing was written"));
    EXPECT_THAT(leftovers(dir.root(), {"a.pdf", "wide.pdf"}), ::testing::IsEmpty());
}

TEST_F(CliBounds, LimitsAreCheckedAsArguments) {
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--time-limit", "soon"},
                                                                 {"--time-limit", "-1"},
                                                                 {"--memory-limit", "12"},
                                                                 {"--memory-limit"}}) {
        std::vector<std::string> args = {"build", "-o", "out.pdf"};
        args.insert(args.end(), bad.begin(), bad.end());
        Plait plait(dir.root(), args);
        const int status = plait.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << bad.front();
    }
}

} // namespace

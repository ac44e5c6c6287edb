// The engine in its own process: the same results as in this one, and a build that is stuck,
// too slow or too big is stopped without leaving anything behind.

#include "worker/IsolatedEngine.h"
#include "pdfengine/Fixtures.h"
#include "worker/Channel.h"

#include "support/StallHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace plait::worker {
namespace {

using namespace plait::pdf::testing;
using ::testing::Contains;
using ::testing::HasSubstr;

IsolatedEngine::Options options() {
    IsolatedEngine::Options o;
    o.workerPath = PLAIT_WORKER_PATH;
    return o;
}

// Makes the worker's reading of an input wait as the engine's test hook describes.
using StallWorker = test::ScopedStall;

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Waits (generously) until the engine says it reads an input.
bool reading(const engine::MergeEngine& engine) {
    for (int i = 0; i < 3000; ++i) {
        if (engine.stsMsg().rfind("Reading", 0) == 0) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(Channel, MessagesSurviveAnySplitAndNonsenseIsRefused) {
    const Message sent{'C', {"setInFile", std::string("a\0b", 3), ""}};
    const std::string bytes = encode(sent) + encode({'B', {}});
    MessageReader reader;
    std::vector<Message> got;
    for (char c : bytes) { // one byte at a time: the worst split there is
        reader.feed(&c, 1);
        while (auto m = reader.next()) {
            got.push_back(*m);
        }
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].kind, 'C');
    EXPECT_EQ(got[0].fields, sent.fields);
    EXPECT_EQ(got[1].kind, 'B');
    EXPECT_TRUE(got[1].fields.empty());

    MessageReader broken;
    const std::string huge = std::string("W") + std::string("\x7f\xff\xff\xff", 4);
    broken.feed(huge.data(), huge.size());
    EXPECT_FALSE(broken.next());
    EXPECT_TRUE(broken.broken());

    // Each kind is bounded: a warning field of 1 MB is nonsense, a call's markup of 1 MB is not.
    for (const auto& [kind, sound] :
         {std::pair{'W', false}, {'S', false}, {'T', false}, {'C', true}, {'R', true}}) {
        MessageReader r;
        const std::string header =
            std::string(1, kind) + std::string("\0\0\0\1", 4) + std::string("\x00\x10\x00\x00", 4);
        r.feed(header.data(), header.size());
        EXPECT_FALSE(r.next());
        EXPECT_EQ(r.broken(), !sound) << kind;
    }
}

TEST(IsolatedEngine, BuildsWhatTheEngineBuildsAndRelaysItsReport) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"one", "two", "three"};
    layout.bookmarks = {{"Start", 1}, {"End", 3, 2}};
    const auto in = makePdf(dir.path("a.pdf"), layout);
    const auto out = dir.path("out.pdf").string();
    IsolatedEngine engine(options());
    engine.call("setOutFile", {out});
    engine.call("setInFile", {in});
    engine.call("setPages", {"1,x,3"});
    engine.call("setBookmarkKeep");
    EXPECT_EQ(engine.BuildPDF(), "2");
    EXPECT_EQ(engine.stsBar(), "100");
    EXPECT_EQ(engine.stsTitle(), "PDF Plait - Building");
    EXPECT_THAT(engine.warnings(), Contains(HasSubstr("\"x\" cannot be read")));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(pageTexts(out).size(), 2u);
    EXPECT_THAT(filesIn(dir.root()), ::testing::ElementsAre("a.pdf", "out.pdf"));

    // The bookmark listing comes back as the same tags the engine gives in this process.
    Build here;
    here.call("setOutFile", {"membuild"}).call("setInFile", {in}).call("setBookmarkOut");
    IsolatedEngine there(options());
    there.call("setOutFile", {"membuild"});
    there.call("setInFile", {in});
    there.call("setBookmarkOut");
    const std::string tags = there.BuildPDF();
    EXPECT_EQ(tags, here.run());
    EXPECT_THAT(tags, HasSubstr("DESCR=\"End\" PAGE=3"));
    // The tag reader works on the proxy as on any engine.
    there.call("setTags", {tags});
    ASSERT_EQ(there.getNextTag(), 1);
    EXPECT_EQ(there.getTagParams("DESCR"), "Start");
}

// A build of one input whose worker hangs while reading it, run on a thread of its own;
// `interrupt` is called once the worker has started reading.
struct StuckBuild {
    TempDir dir;
    StallWorker stall{"stuck"};
    IsolatedEngine engine{options()};
    std::string result;
    bool started = false;

    std::string stopped; // what EngineStopped said, when the worker ended without a result

    template <typename Interrupt> void run(Interrupt interrupt) {
        engine.call("setOutFile", {dir.path("out.pdf").string()});
        engine.call("setInFile", {makePdf(dir.path("a.pdf"), "a", 2)});
        std::thread build([&] {
            try {
                result = engine.BuildPDF();
            } catch (const EngineStopped& e) {
                stopped = e.what();
            }
        });
        started = reading(engine);
        interrupt();
        build.join();
    }
};

TEST(IsolatedEngine, CancelStopsABuildStuckInTheLibraryAndRemovesItsOutput) {
    StuckBuild b;
    b.run([&] { b.engine.setCancelBuild(1); });
    ASSERT_TRUE(b.started);
    EXPECT_EQ(b.result, "-6");
    EXPECT_THAT(b.engine.warnings(), Contains(HasSubstr("cancelled")));
    EXPECT_THAT(filesIn(b.dir.root()), ::testing::ElementsAre("a.pdf"));
}

// The workers this process started (its children named after the worker).
std::vector<pid_t> workers() {
    std::vector<pid_t> found;
    for (const auto& task : fs::directory_iterator("/proc/self/task")) {
        std::istringstream children(readFile(task.path() / "children"));
        for (pid_t pid = 0; children >> pid;) {
            if (readFile("/proc/" + std::to_string(pid) + "/comm").rfind("plait-engine-wo", 0) == 0) {
                found.push_back(pid);
            }
        }
    }
    return found;
}

int killWorkers() {
    int killed = 0;
    for (pid_t pid : workers()) {
        killed += ::kill(pid, SIGKILL) == 0 ? 1 : 0;
    }
    return killed;
}

// A line of /proc/PID/status ("Threads:\t1" gives "1").
std::string statusField(pid_t pid, const std::string& name) {
    std::istringstream status(readFile("/proc/" + std::to_string(pid) + "/status"));
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(name + ":", 0) == 0) {
            return line.substr(line.find_first_not_of(" \t", name.size() + 1));
        }
    }
    return {};
}

// The worker runs its build alone on its first thread: no thread of its own reads the socket or
// relays the status beside it. The status still arrives as it changes, and a cancel still reaches
// the build, which returns the cancelled result itself: the grace before the program kills a
// worker is longer than any run of this test.
TEST(IsolatedEngine, ABuildRunsAloneInItsWorkerAndACancelReachesIt) {
    TempDir dir;
    StallWorker stall("cancellable");
    auto o = options();
    o.grace = std::chrono::hours(1);
    IsolatedEngine engine(o);
    engine.call("setOutFile", {dir.path("out.pdf").string()});
    engine.call("setInFile", {makePdf(dir.path("a.pdf"), "a", 2)});
    std::string result;
    std::thread build([&] { result = engine.BuildPDF(); });
    const bool started = reading(engine);
    std::vector<std::string> threads;
    for (pid_t pid : workers()) {
        threads.push_back(statusField(pid, "Threads"));
    }
    engine.setCancelBuild(1);
    build.join();
    ASSERT_TRUE(started);
    EXPECT_THAT(threads, ::testing::ElementsAre("1"));
    EXPECT_EQ(result, "-6");
    EXPECT_THAT(filesIn(dir.root()), ::testing::ElementsAre("a.pdf"));
}

// A worker reading a PDF has not loaded the image codecs, nor the libraries of the engine's
// modules: those are loaded only by builds that need them.
TEST(IsolatedEngine, AWorkerReadingAPdfHasNoImageOrTextLibrariesLoaded) {
    StuckBuild b;
    std::string maps;
    b.run([&] {
        for (pid_t pid : workers()) {
            maps += readFile("/proc/" + std::to_string(pid) + "/maps");
        }
        b.engine.setCancelBuild(1);
    });
    ASSERT_TRUE(b.started);
    ASSERT_THAT(maps, HasSubstr("libqpdf"));
    for (const char* library :
         {"libpng", "libtiff", "libgif", "libwebp", "libplait_", "libpoppler", "libicuuc", "libharfbuzz"}) {
        EXPECT_THAT(maps, ::testing::Not(HasSubstr(library)));
    }
}

TEST(IsolatedEngine, AWorkerThatDiesLeavesNothingBehindAndSaysSo) {
    StuckBuild b;
    int killed = 0;
    b.run([&] { killed = killWorkers(); });
    ASSERT_TRUE(b.started);
    ASSERT_EQ(killed, 1);
    // Not a fault of the input: the engine is said to have stopped, and how.
    EXPECT_EQ(b.result, "");
    EXPECT_THAT(b.stopped,
                AllOf(HasSubstr("the engine stopped unexpectedly (signal 9)"), HasSubstr("Reading a.pdf")));
    EXPECT_THAT(b.engine.warnings(), Contains(HasSubstr("the engine stopped unexpectedly (signal 9)")));
    EXPECT_THAT(filesIn(b.dir.root()), ::testing::ElementsAre("a.pdf"));
}

TEST(IsolatedEngine, TheWatchdogStopsABuildThatRunsTooLong) {
    TempDir dir;
    const auto in = makePdf(dir.path("a.pdf"), "a", 2);
    StallWorker stall("stuck");
    auto o = options();
    o.seconds = 1;
    IsolatedEngine engine(o);
    engine.call("setOutFile", {dir.path("out.pdf").string()});
    engine.call("setInFile", {in});
    EXPECT_EQ(engine.BuildPDF(), "-4");
    EXPECT_THAT(engine.warnings(),
                Contains(AllOf(HasSubstr("longer than 1 seconds"), HasSubstr("Reading a.pdf"))));
    EXPECT_THAT(filesIn(dir.root()), ::testing::ElementsAre("a.pdf"));
}

TEST(IsolatedEngine, TheMemoryCeilingFailsTheBuildNamingTheInput) {
    if (sanitized()) {
        GTEST_SKIP() << "no memory ceiling under the sanitizers";
    }
    TempDir dir;
    const auto wide = widePdf(dir.path("wide.pdf"));
    auto o = options();
    o.megabytes = 200;
    IsolatedEngine engine(o);
    engine.call("setOutFile", {dir.path("out.pdf").string()});
    engine.call("setInFile", {wide + "," + makePdf(dir.path("b.pdf"), "b", 1)});
    EXPECT_EQ(engine.BuildPDF(), "-4");
    EXPECT_THAT(engine.warnings(),
                Contains(HasSubstr("ran out of memory while reading wide.pdf; nothing was written")));
    EXPECT_THAT(filesIn(dir.root()), ::testing::ElementsAre("b.pdf", "wide.pdf"));
}

TEST(IsolatedEngine, AMissingWorkerIsAFailureThatSaysSo) {
    IsolatedEngine::Options o;
    o.workerPath = "/nonexistent/plait-engine-worker";
    IsolatedEngine engine(o);
    engine.call("setOutFile", {"out.pdf"});
    engine.call("setInFile", {"a.pdf"});
    EXPECT_EQ(engine.BuildPDF(), "-2");
    EXPECT_THAT(engine.warnings(), Contains(HasSubstr("/nonexistent/plait-engine-worker")));
    EXPECT_EQ(findWorker("/nonexistent/pdfplait", ""), "");
    EXPECT_EQ(findWorker("/nonexistent/pdfplait", PLAIT_WORKER_PATH), PLAIT_WORKER_PATH);
}

} // namespace
} // namespace plait::worker

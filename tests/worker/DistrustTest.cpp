// The program's side of the channel against workers that misbehave: the worker parses hostile
// files, so what it says and does is not trusted. Each fake worker is a small script that
// talks on descriptor 3 as the real one does.

#include "pdfengine/Fixtures.h"
#include "worker/Channel.h"
#include "worker/IsolatedEngine.h"
#include "worker/PageCountProcess.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace plait::worker {
namespace {

using namespace plait::pdf::testing;
using ::testing::Contains;
using ::testing::HasSubstr;

// A fake worker: Python that writes `messages` (already encoded) on descriptor 3, then does
// `then` (Python statements).
std::string fakeWorker(const TempDir& dir, const std::string& name, const std::string& messages,
                       const std::string& then) {
    std::string bytes = "b\"";
    static constexpr char kHex[] = "0123456789abcdef";
    for (const unsigned char c : messages) {
        bytes += "\\x";
        bytes.push_back(kHex[c >> 4]);
        bytes.push_back(kHex[c & 15]);
    }
    bytes += "\"";
    const fs::path script = dir.path(name);
    const std::string say = messages.empty() ? std::string() : "os.write(3, " + bytes + ")\n";
    writeFile(script, "#!/usr/bin/env python3\nimport os, sys, time\n" + say + then + "\n");
    ::chmod(script.c_str(), 0755);
    return script.string();
}

struct Outcome {
    std::string result;
    std::string stopped;
    std::vector<std::string> warnings;
};

Outcome build(const std::string& worker, const std::string& output, unsigned seconds = 0) {
    IsolatedEngine::Options o;
    o.workerPath = worker;
    o.seconds = seconds;
    o.grace = std::chrono::milliseconds(100);
    IsolatedEngine engine(o);
    engine.call("setOutFile", {output});
    engine.call("setInFile", {"in.pdf"});
    Outcome out;
    try {
        out.result = engine.BuildPDF();
    } catch (const EngineStopped& e) {
        out.stopped = e.what();
    }
    out.warnings = engine.warnings();
    return out;
}

TEST(Distrust, OnlyHiddenTemporaryFilesBesideTheOutputAreRemovedOnTheWorkersWord) {
    TempDir dir;
    const std::string victim = dir.path("victim.pdf").string();
    writeFile(victim, "precious");
    const std::string beside = dir.path(".out.pdf.plait-a1B2c3").string();
    writeFile(beside, "partial");
    const std::string other = dir.path(".in.pdf.plait-a1B2c3").string();
    writeFile(other, "someone else's");
    const std::string said = encode({'T', {victim}}) +
                             encode({'T', {dir.path("sub/../victim.pdf").string()}}) +
                             encode({'T', {other}}) + encode({'T', {beside}});
    const Outcome o = build(fakeWorker(dir, "worker", said, "sys.exit(3)"), dir.path("out.pdf").string());
    EXPECT_THAT(o.stopped, HasSubstr("the engine stopped unexpectedly (exit status 3)"));
    EXPECT_THAT(o.stopped, ::testing::Not(HasSubstr("at \"")));
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_TRUE(fs::exists(other));
    EXPECT_FALSE(fs::exists(beside));
}

TEST(Distrust, AnOversizedMessageStopsTheWorkerAtOnce) {
    TempDir dir;
    // A warning that claims 2 GB, and then nothing: the worker is stopped, not waited for.
    const std::string header =
        std::string("W") + std::string("\0\0\0\1", 4) + std::string("\x7f\xff\xff\xff", 4);
    const Outcome o =
        build(fakeWorker(dir, "worker", header, "time.sleep(3600)"), dir.path("out.pdf").string());
    EXPECT_THAT(o.stopped, HasSubstr("(signal 9)"));
    EXPECT_THAT(o.warnings, Contains(HasSubstr("not one")));
}

TEST(Distrust, WarningsAreCappedAndThoseLeftOutCounted) {
    TempDir dir;
    std::string said;
    for (int i = 0; i < 1500; ++i) {
        said += encode({'W', {"note " + std::to_string(i)}});
    }
    said += encode({'R', {"1"}});
    const Outcome o = build(fakeWorker(dir, "worker", said, "sys.exit(0)"), dir.path("out.pdf").string());
    EXPECT_EQ(o.result, "1");
    ASSERT_EQ(o.warnings.size(), engine::MergeEngine::kMaxWarnings + 1);
    EXPECT_EQ(o.warnings.front(), "note 0");
    EXPECT_EQ(o.warnings.back(), "500 further notes were left out");
}

// Whatever the worker does with its socket, the time limit stops it: it closes the socket and
// runs on, it leaves the socket to a process of its own and ends, or it never reads.
TEST(Distrust, TheTimeLimitHoldsWhateverTheWorkerDoesWithItsSocket) {
    TempDir dir;
    const std::string output = dir.path("out.pdf").string();
    const Outcome closed = build(fakeWorker(dir, "closes", "", "os.close(3)\ntime.sleep(3600)"), output, 1);
    EXPECT_EQ(closed.result, "-4");
    EXPECT_THAT(closed.warnings, Contains(HasSubstr("longer than 1 seconds")));

    const Outcome child = build(
        fakeWorker(dir, "forks", "", "if os.fork() == 0:\n    time.sleep(3600)\nsys.exit(5)"), output, 1);
    EXPECT_THAT(child.stopped, HasSubstr("(exit status 5)"));

    // It reads nothing while the program has megabytes of calls to send.
    IsolatedEngine::Options o;
    o.workerPath = fakeWorker(dir, "deaf", "", "time.sleep(3600)");
    o.seconds = 1;
    o.grace = std::chrono::milliseconds(100);
    IsolatedEngine engine(o);
    engine.call("setOutFile", {output});
    engine.call("setFileDataS", {"_bm_", std::string(8 << 20, 'x')});
    engine.call("setInFile", {"in.pdf"});
    EXPECT_EQ(engine.BuildPDF(), "-4");
}

// The list's page counts open every file the user adds, hostile ones included: in a worker
// bounded in time and memory, whose failure is an answer and not the program's end.
TEST(Distrust, PageCountsAreTakenInABoundedWorker) {
    TempDir dir;
    const std::string pdf = makePdf(dir.path("a.pdf"), "a", 3);
    const PageCountAnswer counted = countPagesInWorker(PLAIT_WORKER_PATH, pdf);
    EXPECT_EQ(counted.kind, PageCountAnswer::Kind::Pages);
    EXPECT_EQ(counted.pages, 3);
    writeFile(dir.path("not.pdf"), "not a PDF at all");
    EXPECT_EQ(countPagesInWorker(PLAIT_WORKER_PATH, dir.path("not.pdf").string()).kind,
              PageCountAnswer::Kind::Unreadable);

    const PageCountLimits quick{std::chrono::milliseconds(200), 512};
    const PageCountAnswer hung =
        countPagesInWorker(fakeWorker(dir, "hangs", "", "time.sleep(3600)"), pdf, quick);
    EXPECT_EQ(hung.kind, PageCountAnswer::Kind::Stopped);
    EXPECT_THAT(hung.reason, HasSubstr("too long"));
    const PageCountAnswer crashed =
        countPagesInWorker(fakeWorker(dir, "crashes", "", "os.kill(os.getpid(), 11)"), pdf);
    EXPECT_EQ(crashed.kind, PageCountAnswer::Kind::Stopped);
    EXPECT_THAT(crashed.reason, HasSubstr("signal 11"));
    // The preview's measure runs there too, bounded the same way.
    EXPECT_EQ(probePreviewInWorker(PLAIT_WORKER_PATH, pdf).kind, PageCountAnswer::Kind::Fits);
    EXPECT_EQ(probePreviewInWorker(dir.path("hangs").string(), pdf, quick).kind,
              PageCountAnswer::Kind::Stopped);
    EXPECT_FALSE(countPagesInWorker(dir.path("absent").string(), pdf).started);
    // Nonsense on its output is no count.
    EXPECT_EQ(decodePageCount("pages 12x\n").kind, PageCountAnswer::Kind::Stopped);
    EXPECT_EQ(decodePageCount(encodePageCount({PageCountAnswer::Kind::Pages, 7, ""})).pages, 7);
}

} // namespace
} // namespace plait::worker

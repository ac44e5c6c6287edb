// The batch command end to end: real arguments, the real engine, real PDFs checked with
// independent readers.

#include "e2e/PlaitProcess.h"
#include "pdfengine/Fixtures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <thread>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace plait::pdf::testing;
using ::testing::HasSubstr;

using plait::test::Result;
using plait::test::runPlait;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        out.push_back(l);
    }
    return out;
}

class Cli : public ::testing::Test {
protected:
    TempDir dir;
};

} // namespace

TEST_F(Cli, BadArgumentsExitWithTwo) {
    makePdf(dir.path("a.pdf"), "a", 1);
    EXPECT_EQ(runPlait({}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"frobnicate"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"calls", "--mode", "sideways", "a.pdf"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"calls", "--nope", "a.pdf"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"build", "a.pdf"}, dir.root()).exitCode, 2); // no -o
    const Result missing = runPlait({"calls", "-o", "out.pdf", "missing.pdf"}, dir.root());
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_THAT(missing.err, HasSubstr("missing.pdf"));
    EXPECT_EQ(runPlait({"--help"}, dir.root()).exitCode, 0);
}

TEST_F(Cli, CallsAreWrittenOneALineInTheFixedForm) {
    makePdf(dir.path("a.pdf"), "a", 1);
    const std::string odd = "we\"ird\\na\tme.pdf";
    writeFile(dir.path(odd), "%PDF-1.4\n");
    const Result r = runPlait({"calls", "--mode", "repeat", "-o", "out", "a.pdf", odd}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto l = lines(r.out);
    ASSERT_GE(l.size(), 3u);
    EXPECT_EQ(l[0], "setOutFile(\"" + dir.path("out.pdf").string() + "\")");
    EXPECT_EQ(l[1], "setInFile(\"a.pdf,we\\\"ird\\\\na\\x09me.pdf\")");
    EXPECT_EQ(l.back(), "BuildPDF()");
}

TEST_F(Cli, RefusedOutputIsAFailure) {
    makePdf(dir.path("a.pdf"), "a", 1);
    const Result r = runPlait({"calls", "-o", "a.pdf", "a.pdf"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot have an input file with same name as output file."));
}

TEST_F(Cli, BuildMergesInOrder) {
    makePdf(dir.path("a.pdf"), "alpha", 2);
    makePdf(dir.path("b.pdf"), "beta", 3);
    const Result r = runPlait({"build", "-o", "out.pdf", "a.pdf", "b.pdf"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = dir.path("out.pdf").string();
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(pageCount(out), 5);
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_THAT(texts[0], HasSubstr("alpha 1"));
    EXPECT_THAT(texts[2], HasSubstr("beta 1"));
    EXPECT_THAT(texts[4], HasSubstr("beta 3"));
    EXPECT_EQ(run("mutool info " + quote(out) + " >/dev/null").exitCode, 0);
}

TEST_F(Cli, CorruptInputFailsAndLeavesTheOldOutput) {
    makePdf(dir.path("a.pdf"), "a", 1);
    writeFile(dir.path("bad.pdf"), "this is not a PDF at all");
    writeFile(dir.path("out.pdf"), "previous output");
    const Result r = runPlait({"build", "-o", "out.pdf", "a.pdf", "bad.pdf"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Error parsing input file."));
    EXPECT_EQ(readFile(dir.path("out.pdf")), "previous output");
    for (const auto& e : fs::directory_iterator(dir.root())) {
        EXPECT_THAT(e.path().filename().string(), ::testing::Not(HasSubstr(".tmp"))) << "left behind";
    }
}

TEST_F(Cli, UnwritableFolderCannotBeCreated) {
    makePdf(dir.path("a.pdf"), "a", 1);
    const Result r =
        runPlait({"build", "-o", dir.path("no/such/folder/out.pdf").string(), "a.pdf"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot create output file."));
}

TEST_F(Cli, InterruptCancelsAndLeavesNoOutput) {
    makePdf(dir.path("big.pdf"), "page", 3000);
    std::vector<std::string> args = {"build", "-o", "out.pdf"};
    for (int i = 0; i < 20; ++i) {
        args.push_back("big.pdf");
    }
    // Started directly so the interrupt reaches plait itself, once the build has begun.
    plait::test::Plait plait(dir.root(), args);
    ASSERT_TRUE(plait::test::temporaryOutputAppears(dir.root()));
    const auto asked = std::chrono::steady_clock::now();
    plait.signal(SIGINT);
    const int status = plait.wait();
    const auto took = std::chrono::steady_clock::now() - asked;
    EXPECT_LT(took, std::chrono::seconds(2));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_FALSE(fs::exists(dir.path("out.pdf")));
    for (const auto& e : fs::directory_iterator(dir.root())) {
        const std::string name = e.path().filename().string();
        EXPECT_TRUE(name == "big.pdf" || name == ".stderr") << name << " left behind";
    }
}

TEST_F(Cli, SettingsPrintsWhatSaveAsWouldWrite) {
    const Result defaults = runPlait({"settings"}, dir.root());
    ASSERT_EQ(defaults.exitCode, 0) << defaults.err;
    EXPECT_EQ(defaults.out, readFile(fs::path(PLAIT_TEST_DATA_DIR) / "settings" / "defaults.plt"));

    // A loaded file keeps its fields and mode; command-line inputs follow the stored ones.
    makePdf(dir.path("a.pdf"), "a", 1);
    makePdf(dir.path("b.pdf"), "b", 1);
    std::string job = defaults.out;
    job.replace(job.find("Index=0 Type=1]"), 15, "Index=2 Type=1]");
    const std::string title = "[Field=txtTitle Type=T]\r\n\r\n"; // an empty text is one empty line
    job.replace(job.find(title), title.size(), "[Field=txtTitle Type=T]\r\nCaf\xE9 menu\r\n"); // 0xE9: é
    job += "a.pdf\r\n";
    writeFile(dir.path("job.plt"), job);
    const Result loaded = runPlait({"settings", "--settings", "job.plt", "b.pdf"}, dir.root());
    ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
    EXPECT_EQ(loaded.out, job + "b.pdf\r\n");

    const Result calls = runPlait({"calls", "--settings", "job.plt", "-o", "out.pdf"}, dir.root());
    ASSERT_EQ(calls.exitCode, 0) << calls.err;
    EXPECT_THAT(calls.out, HasSubstr("setTitle(\"Caf\xC3\xA9 menu\")"));
    EXPECT_THAT(calls.out, HasSubstr("setOverlay()\nsetRepeat()\n"));
    EXPECT_THAT(calls.out, HasSubstr("setInFile(\"a.pdf\")"));
}

TEST_F(Cli, ProtectionAskedForIsNeverDropped) {
    makePdf(dir.path("a.pdf"), "a", 1);
    const Result defaults = runPlait({"settings"}, dir.root());
    ASSERT_EQ(defaults.exitCode, 0) << defaults.err;
    const auto set = [](std::string job, const std::string& field, const std::string& from,
                        const std::string& to) {
        const std::string header =
            "[Field=" + field + " Type=" + (field == "Compat_Com" ? "L" : "T") + "]\r\n";
        const auto at = job.find(header + from);
        EXPECT_NE(at, std::string::npos) << field;
        return job.replace(at + header.size(), from.size(), to);
    };
    std::string secure = set(defaults.out, "Compat_Com", " 0 ", " 2 ");
    for (const char* box : {"open1_txt", "open2_txt"}) {
        secure = set(secure, box, "\r\n", "user\r\n");
    }
    for (const char* box : {"perm1_txt", "perm2_txt"}) {
        secure = set(secure, box, "\r\n", "owner\r\n");
    }
    // A confirmation that differs: its warning, no engine run, nothing written, failure.
    writeFile(dir.path("mismatch.plt"), set(secure, "open2_txt", "user", "User"));
    const Result mismatch =
        runPlait({"build", "--settings", "mismatch.plt", "-o", "out.pdf", "a.pdf"}, dir.root());
    EXPECT_EQ(mismatch.exitCode, 1);
    EXPECT_EQ(mismatch.err, "plait: warning: Open Password does not match confirmation - please re-enter.\n");
    EXPECT_FALSE(fs::exists(dir.path("out.pdf")));
    const Result calls =
        runPlait({"calls", "--settings", "mismatch.plt", "-o", "out.pdf", "a.pdf"}, dir.root());
    EXPECT_EQ(calls.exitCode, 1);
    EXPECT_EQ(calls.out, "");

    // The same settings with LF line ends build a file that opens with its password only.
    std::string lf = secure;
    for (auto at = lf.find("\r\n"); at != std::string::npos; at = lf.find("\r\n", at)) {
        lf.erase(at, 1);
    }
    writeFile(dir.path("lf.plt"), lf);
    const Result built = runPlait({"build", "--settings", "lf.plt", "-o", "out.pdf", "a.pdf"}, dir.root());
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const std::string out = quote(dir.path("out.pdf").string());
    EXPECT_THAT(run("pdfinfo " + out).output, HasSubstr("Incorrect password"));
    EXPECT_EQ(run("pdfinfo -upw user " + out).exitCode, 0);
    EXPECT_THAT(run("qpdf --show-encryption --password=owner " + out).output,
                HasSubstr("R = 3\nP = -4\nUser password = user\nSupplied password is owner password"));
    EXPECT_EQ(run("qpdf --check --password=user " + out).exitCode, 0);
}

// The output size options reach the engine, a bad value is a usage error, and the smallest file
// packs its objects into object streams.
TEST_F(Cli, OutputSizeOptionsReachTheEngine) {
    makePdf(dir.path("a.pdf"), "a", 2);
    makePdf(dir.path("b.pdf"), "b", 2);
    const Result calls = runPlait(
        {"calls", "--image-dpi", "150", "--image-quality", "60", "--smallest", "-o", "out.pdf", "a.pdf"},
        dir.root());
    ASSERT_EQ(calls.exitCode, 0) << calls.err;
    EXPECT_THAT(calls.out, HasSubstr("setImageReduce(\"150\", \"60\")\nsetSmallest()\n"));
    const Result off = runPlait({"calls", "--image-dpi", "0", "-o", "out.pdf", "a.pdf"}, dir.root());
    EXPECT_THAT(off.out, ::testing::Not(HasSubstr("setImageReduce")));
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--image-dpi", "5"},
                                                                 {"--image-dpi", "150dpi"},
                                                                 {"--image-quality", "0"},
                                                                 {"--image-quality"}}) {
        std::vector<std::string> args{"calls", "-o", "out.pdf"};
        args.insert(args.end(), bad.begin(), bad.end());
        args.push_back("a.pdf");
        EXPECT_EQ(runPlait(args, dir.root()).exitCode, 2) << bad.front();
    }

    const Result built =
        runPlait({"build", "--smallest", "-q", "-o", "out.pdf", "a.pdf", "b.pdf"}, dir.root());
    ASSERT_EQ(built.exitCode, 0) << built.err;
    const std::string out = dir.path("out.pdf").string();
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(pageTexts(out).size(), 4u);
    EXPECT_THAT(readFile(out), HasSubstr("/ObjStm"));
}

TEST_F(Cli, PagesAfterAnInputChooseItsPagesAndTurns) {
    makePdf(dir.path("a.pdf"), "alpha", 4);
    makePdf(dir.path("b.pdf"), "beta", 10);
    const Result r = runPlait(
        {"build", "-o", "out.pdf", "a.pdf", "--pages", "1-3", "b.pdf", "--pages", "5-9:90,odd", "a.pdf"},
        dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string out = dir.path("out.pdf").string();
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 3u + 10u + 4u);
    const std::vector<std::string> expected{"alpha 1", "alpha 2", "alpha 3", "beta 5",  "beta 6", "beta 7",
                                            "beta 8",  "beta 9",  "beta 1",  "beta 3",  "beta 5", "beta 7",
                                            "beta 9",  "alpha 1", "alpha 2", "alpha 3", "alpha 4"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_THAT(texts[i], HasSubstr(expected[i])) << "page " << i + 1;
    }
    // The turned pages read as turned to an independent reader.
    const auto info = run("pdfinfo -f 4 -l 9 " + quote(out));
    EXPECT_THAT(info.output, ::testing::ContainsRegex("Page +4 rot: +90\n"));
    EXPECT_THAT(info.output, ::testing::ContainsRegex("Page +9 rot: +0\n"));

    // --pages needs an input before it, once.
    EXPECT_EQ(runPlait({"build", "-o", "x.pdf", "--pages", "1", "a.pdf"}, dir.root()).exitCode, 2);
    EXPECT_EQ(
        runPlait({"build", "-o", "x.pdf", "a.pdf", "--pages", "1", "--pages", "2"}, dir.root()).exitCode, 2);
    EXPECT_FALSE(fs::exists(dir.path("x.pdf")));
}

// What `plait build` and `plait batch` write, and only that: output names read one way, files
// read besides the inputs never replaced, output modes, limits that fail cleanly, names with
// commas, and the batch's report written as an output is.

#include "pdfengine/Fixtures.h"
#include "support/StallHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace plait::pdf::testing;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

struct Result {
    int exitCode = -1;
    std::string err;
};

// Runs `plait ARGS` in `cwd` through the shell, after `prefix` (a ulimit, say).
Result runPlait(const fs::path& cwd, const std::vector<std::string>& args, const std::string& prefix = "") {
    std::string line = "cd " + quote(cwd.string()) + " && " + prefix + quote(PLAIT_CLI_PATH);
    for (const auto& a : args) {
        line += " " + quote(a);
    }
    const fs::path errFile = cwd.parent_path() / (cwd.filename().string() + ".stderr");
    line += " >/dev/null 2>" + quote(errFile.string());
    const int status = std::system(line.c_str());
    Result r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(errFile)};
    fs::remove(errFile);
    return r;
}

// The names in a folder, hidden ones included.
std::vector<std::string> namesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> hiddenIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& name : namesIn(dir)) {
        if (name.front() == '.') {
            names.push_back(name);
        }
    }
    return names;
}

mode_t modeOf(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
    return st.st_mode;
}

class SafeEdges : public ::testing::Test {
protected:
    void SetUp() override {
        work = dir.path("work");
        fs::create_directories(work);
        makePdf(work / "in.pdf", "in", 1);
        makePdf(work / "b.pdf", "b", 2);
    }
    TempDir dir;
    fs::path work;
};

} // namespace

TEST_F(SafeEdges, AnOutputNameIsReadAsTheFileSystemReadsIt) {
    // Blanks around a name are trimmed by the build, so " in.pdf" is the input.
    for (const std::string name : {"in.pdf ", " in.pdf", "in"}) {
        const Result r = runPlait(work, {"build", "-o", name, "in.pdf", "b.pdf"});
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_THAT(r.err, HasSubstr("Cannot have an input file with same name as output file.")) << name;
    }
    EXPECT_EQ(pageTexts((work / "in.pdf").string()), (std::vector<std::string>{"in 1"}));
    // "link/.." is the folder above the link's target, as for any program that opens it.
    fs::create_directories(dir.path("far/deep"));
    fs::create_directory_symlink(dir.path("far/deep"), work / "link");
    ASSERT_EQ(runPlait(work, {"build", "-o", "link/../x.pdf", "in.pdf"}).exitCode, 0);
    EXPECT_TRUE(fs::exists(dir.path("far/x.pdf")));
    EXPECT_FALSE(fs::exists(work / "x.pdf"));
    EXPECT_EQ(run("qpdf --check " + quote(dir.path("far/x.pdf").string())).exitCode, 0);
}

TEST_F(SafeEdges, FilesReadBesidesTheInputsAreNeverTheOutput) {
    writeFile(work / "outline.txt.pdf", "<BOOKMARK TITLE=\"One\" PAGE=1>\n");
    const std::string before = readFile(work / "outline.txt.pdf");
    Result r = runPlait(work, {"build", "--bookmarks", "outline.txt.pdf", "-o", "outline.txt", "in.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot have the bookmarks file with same name as output file."));
    EXPECT_EQ(readFile(work / "outline.txt.pdf"), before);

    ASSERT_EQ(std::system(("cd " + quote(work.string()) + " && " + quote(PLAIT_CLI_PATH) +
                           " settings b.pdf > job.plt.pdf")
                              .c_str()),
              0);
    const std::string settings = readFile(work / "job.plt.pdf");
    r = runPlait(work, {"build", "--settings", "job.plt.pdf", "-o", "./job.plt", "in.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot have the settings file with same name as output file."));
    EXPECT_EQ(readFile(work / "job.plt.pdf"), settings);
    EXPECT_THAT(hiddenIn(work), IsEmpty());
}

TEST_F(SafeEdges, ANameWithACommaIsOneInputOrRefusedNamingIt) {
    fs::copy_file(work / "b.pdf", work / "in.pdf,b.pdf");
    Result r = runPlait(work, {"build", "-o", "o.pdf", "in.pdf,b.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("'in.pdf,b.pdf' holds a comma"));
    EXPECT_FALSE(fs::exists(work / "o.pdf"));
    // With no file for its parts, the name is one input.
    fs::rename(work / "in.pdf,b.pdf", work / "only,one.pdf");
    ASSERT_EQ(runPlait(work, {"build", "-o", "o.pdf", "only,one.pdf"}).exitCode, 0);
    EXPECT_EQ(pageCount((work / "o.pdf").string()), 2);
    EXPECT_EQ(run("qpdf --check " + quote((work / "o.pdf").string())).exitCode, 0);
}

TEST_F(SafeEdges, OutputsTakeNoSpecialBitsNoLinkTargetModeAndRespectWriteProtection) {
    ::umask(022);
    makePdf(work / "setuid.pdf", "old", 1);
    ::chmod((work / "setuid.pdf").c_str(), 06775);
    ASSERT_EQ(runPlait(work, {"build", "-o", "setuid.pdf", "in.pdf"}).exitCode, 0);
    EXPECT_EQ(modeOf(work / "setuid.pdf") & 07777, 0775u);

    makePdf(work / "locked.pdf", "old", 1);
    ::chmod((work / "locked.pdf").c_str(), 0444);
    const Result r = runPlait(work, {"build", "-o", "locked.pdf", "in.pdf"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("write-protected"));
    EXPECT_EQ(pageTexts((work / "locked.pdf").string()), (std::vector<std::string>{"old 1"}));

    // A link at the output name is replaced by the output; its target stays as it was.
    makePdf(work / "target.pdf", "target", 1);
    ::chmod((work / "target.pdf").c_str(), 0600);
    fs::create_symlink("target.pdf", work / "link.pdf");
    ASSERT_EQ(runPlait(work, {"build", "-o", "link.pdf", "b.pdf"}).exitCode, 0);
    EXPECT_TRUE(S_ISREG(modeOf(work / "link.pdf")));
    EXPECT_EQ(modeOf(work / "link.pdf") & 07777, 0644u);
    EXPECT_EQ(pageTexts((work / "target.pdf").string()), (std::vector<std::string>{"target 1"}));
    EXPECT_EQ(pageCount((work / "link.pdf").string()), 2);
    EXPECT_THAT(hiddenIn(work), IsEmpty());
}

TEST_F(SafeEdges, AFileSizeLimitIsAFailureThatLeavesNothing) {
    makePdf(work / "long.pdf", "long", 30);
    // The shell counts in kilobytes: one, far less than the output needs.
    const Result r = runPlait(work, {"build", "-o", "big.pdf", "long.pdf", "b.pdf"}, "ulimit -f 1 && ");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("Cannot create output file."));
    EXPECT_THAT(r.err, HasSubstr("File too large"));
    EXPECT_FALSE(fs::exists(work / "big.pdf"));
    EXPECT_THAT(hiddenIn(work), IsEmpty());
}

TEST_F(SafeEdges, AHiddenFileWhoseWriterIsGoneIsRemovedByTheNextBuild) {
    writeFile(work / ".out.pdf.plait-a1B2c3", "partial");
    writeFile(work / ".out.pdf.plait-Live99", "being written");
    writeFile(work / ".out.pdf.plait-seven77", "not of the form");
    writeFile(work / ".other.pdf.plait-a1B2c3", "another output's");
    // A writer that is still alive holds the lock of its file.
    const int live = ::open((work / ".out.pdf.plait-Live99").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(live, 0);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);
    ASSERT_EQ(runPlait(work, {"build", "-o", "out.pdf", "in.pdf"}).exitCode, 0);
    ::close(live);
    EXPECT_EQ(hiddenIn(work), (std::vector<std::string>{".other.pdf.plait-a1B2c3", ".out.pdf.plait-Live99",
                                                        ".out.pdf.plait-seven77"}));
}

TEST_F(SafeEdges, TheBatchReadsOutputNamesAsTheBuildDoes) {
    const auto refused = [&](const std::string& jobs) {
        writeFile(work / "jobs.jsonl", jobs);
        const Result r = runPlait(work, {"batch", "jobs.jsonl"});
        EXPECT_EQ(r.exitCode, 2) << jobs;
        EXPECT_THAT(r.err, HasSubstr("nothing was built")) << jobs;
        return r.err;
    };
    EXPECT_THAT(refused(R"({"output": "in.pdf ", "inputs": ["in.pdf"]})"
                        "\n"),
                HasSubstr("line 1: output " + (work / "in.pdf").string() + " is its own input"));
    EXPECT_THAT(refused(R"({"output": "c.pdf", "inputs": ["in.pdf"]})"
                        "\n"
                        R"({"output": " c.pdf", "inputs": ["b.pdf"]})"
                        "\n"),
                HasSubstr("line 2: output " + (work / "c.pdf").string() + " is also the output of line 1"));
    EXPECT_THAT(refused(R"({"output": " ", "inputs": ["in.pdf"]})"
                        "\n"),
                HasSubstr("line 1: \"output\" is blank"));
    // Through a link: link/.. is the folder above the link's target.
    fs::create_directories(work / "real/sub");
    fs::create_directory_symlink(work / "real/sub", work / "link");
    makePdf(work / "real/r.pdf", "r", 1);
    EXPECT_THAT(refused(R"({"output": "link/../r.pdf", "inputs": ["real/r.pdf"]})"
                        "\n"),
                HasSubstr("line 1:"));
    EXPECT_EQ(pageTexts((work / "in.pdf").string()), (std::vector<std::string>{"in 1"}));

    // A name with an escape sequence is shown escaped: it cannot drive the terminal.
    writeFile(work / "jobs.jsonl", R"({"output": "o\u001b[2Jx.pdf", "inputs": ["absent.pdf"]})"
                                   "\n");
    const Result failed = runPlait(work, {"batch", "jobs.jsonl"});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_THAT(failed.err, HasSubstr("line 1: o\\x1b[2Jx.pdf: failed"));
    EXPECT_EQ(failed.err.find('\x1b'), std::string::npos);
}

TEST_F(SafeEdges, TheReportIsNeverAFileTheBatchReadsOrWrites) {
    const std::string jobs = R"({"output": "o.pdf", "inputs": ["in.pdf"], "bookmarks": "bm.txt"})"
                             "\n";
    writeFile(work / "jobs.jsonl", jobs);
    writeFile(work / "bm.txt", "<BOOKMARK TITLE=\"One\" PAGE=1>\n");
    for (const auto& [report, why] :
         std::vector<std::pair<std::string, std::string>>{{"jobs.jsonl", "it is the jobs file"},
                                                          {"./in.pdf", "line 1 reads it"},
                                                          {"bm.txt", "line 1 reads it"},
                                                          {"o.pdf", "it is the output of line 1"}}) {
        const Result r = runPlait(work, {"batch", "jobs.jsonl", "--report", report});
        EXPECT_EQ(r.exitCode, 2) << report;
        EXPECT_THAT(r.err, HasSubstr("the report cannot be written to '" + report + "': " + why));
    }
    EXPECT_EQ(readFile(work / "jobs.jsonl"), jobs);
    EXPECT_EQ(pageCount((work / "in.pdf").string()), 1);
    EXPECT_FALSE(fs::exists(work / "o.pdf"));

    // A report over a link replaces the link; nothing hidden stays.
    writeFile(dir.path("elsewhere.jsonl"), "kept\n");
    fs::create_symlink(dir.path("elsewhere.jsonl"), work / "report.jsonl");
    ASSERT_EQ(runPlait(work, {"batch", "jobs.jsonl", "--report", "report.jsonl"}).exitCode, 0);
    EXPECT_TRUE(S_ISREG(modeOf(work / "report.jsonl")));
    EXPECT_THAT(readFile(work / "report.jsonl"), HasSubstr("\"status\":\"ok\""));
    EXPECT_EQ(readFile(dir.path("elsewhere.jsonl")), "kept\n");
    EXPECT_THAT(hiddenIn(work), IsEmpty());
}

// The files a process holds open, as the links of /proc/PID/fd name them.
std::vector<std::string> openFiles(pid_t pid) {
    std::vector<std::string> files;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        files.push_back(fs::read_symlink(fd.path(), ec).string());
    }
    return files;
}

// While a job's build runs, it holds none of the batch's own files: not the report being
// written. The build is made to hang on its input so that it can be looked at.
TEST_F(SafeEdges, ABuildHoldsNoneOfTheBatchsFilesOpen) {
    const plait::test::ScopedStall stall("stuck:stall.pdf");
    makePdf(work / "stall.pdf", "stall", 1);
    writeFile(work / "jobs.jsonl", R"({"output": "o.pdf", "inputs": ["stall.pdf"]})"
                                   "\n");
    std::vector<std::string> args{PLAIT_CLI_PATH, "batch", "jobs.jsonl", "--report", "report.jsonl", "-q"};
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, work.c_str());
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t batch = -1;
    ASSERT_EQ(posix_spawn(&batch, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    // The build, once it runs as `plait build` (generously bounded): a job forked from the batch
    // takes that name when it is ready to build.
    pid_t build = -1;
    std::vector<std::string> held;
    for (int i = 0; i < 3000 && build < 0; ++i) {
        std::istringstream children(
            readFile("/proc/" + std::to_string(batch) + "/task/" + std::to_string(batch) + "/children"));
        for (pid_t pid = 0; children >> pid;) {
            if (readFile("/proc/" + std::to_string(pid) + "/comm") == "plait build\n") {
                held = openFiles(pid);
                build = pid;
            }
        }
        if (build < 0) {
            ::usleep(10000);
        }
    }
    const std::vector<std::string> batchHeld = openFiles(batch);
    ::kill(batch, SIGKILL);
    ::waitpid(batch, nullptr, 0);
    ASSERT_GT(build, 0) << "the build never started";
    // The batch itself holds the report's hidden file; its build does not.
    const auto isReport = [](const std::string& f) {
        return f.find(".report.jsonl.plait-") != std::string::npos;
    };
    EXPECT_TRUE(std::any_of(batchHeld.begin(), batchHeld.end(), isReport));
    EXPECT_FALSE(std::any_of(held.begin(), held.end(), isReport));
    EXPECT_FALSE(fs::exists(work / "report.jsonl"));
}

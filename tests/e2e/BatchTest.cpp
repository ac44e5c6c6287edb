// `plait batch` end to end: jobs files, many builds at once, failures among good jobs,
// interruption and resume, refused jobs files, limits, and the recipe that spreads a batch over
// several hosts with GNU parallel. Outputs are checked with independent readers.

#include "pdfengine/Fixtures.h"
#include "support/StallHook.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace plait::pdf::testing;
using nlohmann::json;
using ::testing::HasSubstr;
using ::testing::Not;

// A started `plait batch`; its standard output and error go to files in `cwd`.
class BatchProcess {
public:
    BatchProcess(const std::vector<std::string>& args, const fs::path& cwd, const fs::path& stdinFile = {})
        : out_(cwd / ".batch-out"), err_(cwd / ".batch-err") {
        std::vector<std::string> all{PLAIT_CLI_PATH, "batch"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        const std::string in = stdinFile.empty() ? std::string("/dev/null") : stdinFile.string();
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, in.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~BatchProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            finish();
        }
    }
    BatchProcess(const BatchProcess&) = delete;
    BatchProcess& operator=(const BatchProcess&) = delete;

    pid_t pid() const { return pid_; }
    // Waits for the end; the exit status, or -1 when a signal ended it.
    int finish() {
        int status = 0;
        while (pid_ > 0 && ::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
        pid_ = -1;
        out = readFile(out_);
        err = readFile(err_);
        fs::remove(out_);
        fs::remove(err_);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string out, err;

private:
    pid_t pid_ = -1;
    fs::path out_, err_;
};

struct BatchResult {
    int exitCode;
    std::string out, err;
};

BatchResult runBatch(const std::vector<std::string>& args, const fs::path& cwd,
                     const fs::path& stdinFile = {}) {
    BatchProcess p(args, cwd, stdinFile);
    const int code = p.finish();
    return {code, p.out, p.err};
}

// The report's lines, by the output each names.
std::map<std::string, json> readReport(const std::string& text) {
    std::map<std::string, json> byOutput;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        json entry = json::parse(line);
        byOutput[entry.at("output").get<std::string>()] = entry;
    }
    return byOutput;
}

std::string jobLine(const std::string& output, const std::vector<std::string>& inputs,
                    const std::string& extra = "") {
    json job;
    job["output"] = output;
    job["inputs"] = inputs;
    std::string text = job.dump();
    if (!extra.empty()) {
        text.pop_back();
        text += "," + extra + "}";
    }
    return text + "\n";
}

// Inputs made now would share a file-system time stamp with outputs built at once after them;
// moving them an hour back keeps "newer than its inputs" unambiguous.
void age(const fs::path& file) {
    fs::last_write_time(file, fs::last_write_time(file) - std::chrono::hours(1));
}

std::string makeAgedPdf(const fs::path& path, const std::string& name, int pages) {
    makePdf(path, name, pages);
    age(path);
    return path.filename().string();
}

struct Stamp {
    ino_t inode;
    struct timespec modified;
    bool operator==(const Stamp& o) const {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

Stamp stampOf(const fs::path& file) {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0) << file;
    return {st.st_ino, st.st_mtim};
}

// Files the engine writes before it renames them into place.
std::vector<std::string> unfinishedOutputs(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().find(".plait-") != std::string::npos) {
            found.push_back(entry.path().filename().string());
        }
    }
    return found;
}

// `plait settings INPUTS > file`: a settings file that lists the inputs.
int plaitSettings(const fs::path& cwd, const std::vector<std::string>& inputs, const std::string& file) {
    std::string line = "cd " + quote(cwd.string()) + " && " + quote(PLAIT_CLI_PATH) + " settings";
    for (const auto& in : inputs) {
        line += " " + quote(in);
    }
    return run(line + " > " + quote(file)).exitCode;
}

class Batch : public ::testing::Test {
protected:
    TempDir dir;
};

} // namespace

TEST_F(Batch, BuildsTwoHundredJobsOfEveryModeAndWithSettingsFiles) {
    std::vector<std::string> docs;
    for (int d = 0; d < 8; ++d) {
        docs.push_back(
            makeAgedPdf(dir.path("doc" + std::to_string(d) + ".pdf"), "doc" + std::to_string(d), d % 3 + 1));
    }
    const std::string stamp = makeAgedPdf(dir.path("stamp.pdf"), "STAMP", 1);
    // A settings file that lists two inputs and gives the document a title.
    ASSERT_EQ(plaitSettings(dir.root(), {docs[0], docs[1]}, "titled.plt"), 0);
    std::string plt = readFile(dir.path("titled.plt"));
    const std::string field = "[Field=txtTitle Type=T]\r\n";
    ASSERT_NE(plt.find(field), std::string::npos);
    plt.insert(plt.find(field) + field.size(), "Batch Title");
    writeFile(dir.path("titled.plt"), plt);
    age(dir.path("titled.plt"));

    std::map<std::string, std::vector<std::string>> texts; // of each input, by name
    for (const auto& d : docs) {
        texts[d] = pageTexts(dir.path(d).string());
    }
    std::string jobs;
    std::map<std::string, std::vector<std::string>> expected; // output -> page texts
    for (int i = 0; i < 200; ++i) {
        const std::string out = "out" + std::to_string(i) + ".pdf";
        const std::string& a = docs[static_cast<std::size_t>(i) % docs.size()];
        const std::string& b = docs[static_cast<std::size_t>(i + 3) % docs.size()];
        const auto& textsA = texts.at(a);
        const auto& textsB = texts.at(b);
        std::vector<std::string> want;
        switch (i % 4) {
        case 0: // merge
            jobs += jobLine(out, {a, b});
            want = textsA;
            want.insert(want.end(), textsB.begin(), textsB.end());
            break;
        case 1: // overlay: the stamp on the first page only
        case 2: // repeat: the stamp on every page
            jobs += jobLine(out, {a, stamp}, i % 4 == 1 ? R"("mode":"overlay")" : R"("mode":"repeat")");
            want = textsA;
            for (std::size_t p = 0; p < want.size(); ++p) {
                if (p == 0 || i % 4 == 2) {
                    want[p] = "STAMP";
                }
            }
            break;
        default: // the settings file's inputs, then the job's own
            jobs += jobLine(out, {b}, R"("settings":"titled.plt")");
            for (const auto& d : {docs[0], docs[1], b}) {
                want.insert(want.end(), texts.at(d).begin(), texts.at(d).end());
            }
        }
        expected[out] = want;
    }
    writeFile(dir.path("jobs.jsonl"), jobs);

    const BatchResult r = runBatch({"jobs.jsonl", "--jobs", "2", "--report", "report.jsonl"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, ""); // not a terminal: nothing but failures
    const auto report = readReport(readFile(dir.path("report.jsonl")));
    ASSERT_EQ(report.size(), 200u);
    for (const auto& [out, want] : expected) {
        SCOPED_TRACE(out);
        const json& entry = report.at(out);
        EXPECT_EQ(entry["status"], "ok");
        EXPECT_EQ(entry["exit_code"], 0);
        EXPECT_EQ(entry["pages"], want.size());
        const auto got = pageTexts(dir.path(out).string());
        ASSERT_EQ(got.size(), want.size());
        for (std::size_t p = 0; p < want.size(); ++p) {
            EXPECT_THAT(got[p], HasSubstr(want[p])) << "page " << p + 1;
        }
    }
    // Independent checks of a few whole files, and the settings file's title.
    for (const char* out : {"out0.pdf", "out1.pdf", "out2.pdf", "out3.pdf", "out199.pdf"}) {
        const auto check = run("qpdf --check " + quote(dir.path(out).string()));
        EXPECT_EQ(check.exitCode, 0) << out << ": " << check.output;
    }
    EXPECT_THAT(run("pdfinfo " + quote(dir.path("out3.pdf").string())).output, HasSubstr("Batch Title"));
    EXPECT_THAT(run("pdfinfo " + quote(dir.path("out0.pdf").string())).output, Not(HasSubstr("Batch Title")));
    EXPECT_TRUE(unfinishedOutputs(dir.root()).empty());
}

TEST_F(Batch, FailingJobsAreReportedWhileTheOthersAreBuilt) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 2);
    PdfSpec locked;
    locked.pageTexts = {"secret"};
    locked.userPassword = "pw";
    locked.ownerPassword = "owner";
    makePdf(dir.path("locked.pdf"), locked);
    age(dir.path("locked.pdf"));
    writeFile(dir.path("jobs.jsonl"), jobLine("good1.pdf", {a}) + jobLine("missing.pdf", {"nowhere.pdf"}) +
                                          jobLine("locked-out.pdf", {"locked.pdf"}) +
                                          jobLine("good2.pdf", {a, a}));

    const BatchResult r = runBatch({"jobs.jsonl", "-q", "--jobs", "2", "--report", "-"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    const auto report = readReport(r.out);
    ASSERT_EQ(report.size(), 4u);
    EXPECT_EQ(report.at("good1.pdf")["status"], "ok");
    EXPECT_EQ(report.at("good2.pdf")["pages"], 4);
    EXPECT_EQ(report.at("missing.pdf")["status"], "failed");
    EXPECT_EQ(report.at("missing.pdf")["exit_code"], 2);
    EXPECT_THAT(report.at("missing.pdf")["messages"].dump(), HasSubstr("nowhere.pdf"));
    EXPECT_THAT(report.at("missing.pdf")["messages"].dump(), Not(HasSubstr("Usage")));
    EXPECT_EQ(report.at("locked-out.pdf")["status"], "failed");
    EXPECT_EQ(report.at("locked-out.pdf")["exit_code"], 1);
    EXPECT_THAT(report.at("locked-out.pdf")["messages"].dump(), HasSubstr("Cannot decrypt input file."));
    EXPECT_EQ(pageCount(dir.path("good2.pdf").string()), 4);
    EXPECT_FALSE(fs::exists(dir.path("missing.pdf")));
    EXPECT_FALSE(fs::exists(dir.path("locked-out.pdf")));
    // Standard error names each failure with its line, and nothing about the good jobs.
    EXPECT_THAT(r.err, HasSubstr("line 2: missing.pdf: failed"));
    EXPECT_THAT(r.err, HasSubstr("line 3: locked-out.pdf: failed"));
    EXPECT_THAT(r.err, Not(HasSubstr("good")));
    EXPECT_THAT(r.err, HasSubstr("4 jobs: 2 built, 2 failed, 0 skipped"));
}

// The engine's test hook holds the build of the fifth job while it reads "stall.pdf", until it is
// cancelled: a job in the middle of the batch that is certainly running when the batch is
// interrupted.
TEST_F(Batch, AnInterruptedBatchLeavesNoPartialOutputAndTheNextRunContinues) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        TempDir here;
        std::string jobs;
        const std::string stalling = makeAgedPdf(here.path("stall.pdf"), "stall", 1);
        for (int i = 1; i <= 10; ++i) {
            const std::string in =
                makeAgedPdf(here.path("in" + std::to_string(i) + ".pdf"), "in" + std::to_string(i), 1);
            jobs += jobLine("out" + std::to_string(i) + ".pdf", {in, i == 5 ? stalling : in});
        }
        writeFile(here.path("jobs.jsonl"), jobs);

        auto stall = std::make_optional<plait::test::ScopedStall>("cancellable:stall.pdf");
        BatchProcess batch({"jobs.jsonl", "--jobs", "1", "--report", "report.jsonl"}, here.root());
        ASSERT_GT(batch.pid(), 0);
        // The fifth build has started once its unfinished output exists; it then stays busy.
        bool started = false;
        for (int tries = 0; !started && tries < 6000; ++tries) {
            for (const auto& name : unfinishedOutputs(here.root())) {
                started = started || name.rfind(".out5.pdf.plait-", 0) == 0;
            }
            if (!started) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        ASSERT_TRUE(started) << "the fifth build never started";
        ASSERT_EQ(::kill(batch.pid(), signal), 0);
        EXPECT_EQ(batch.finish(), 1);
        stall.reset();
        EXPECT_THAT(batch.err, HasSubstr("interrupted"));
        EXPECT_THAT(batch.err, HasSubstr("5 not started"));

        auto report = readReport(readFile(here.path("report.jsonl")));
        ASSERT_EQ(report.size(), 5u);
        EXPECT_EQ(report.at("out5.pdf")["status"], "failed");
        EXPECT_THAT(report.at("out5.pdf")["messages"].dump(), HasSubstr("interrupted"));
        std::map<int, Stamp> first;
        for (int i = 1; i <= 10; ++i) {
            const fs::path out = here.path("out" + std::to_string(i) + ".pdf");
            EXPECT_EQ(fs::exists(out), i < 5) << out;
            if (i < 5) {
                first[i] = stampOf(out);
            }
        }
        EXPECT_TRUE(unfinishedOutputs(here.root()).empty());

        // The next run builds what is left, and only that.
        makeAgedPdf(here.path("stall.pdf"), "piped", 1);
        const BatchResult again = runBatch({"jobs.jsonl", "--report", "report.jsonl"}, here.root());
        EXPECT_EQ(again.exitCode, 0) << again.err;
        report = readReport(readFile(here.path("report.jsonl")));
        ASSERT_EQ(report.size(), 10u);
        for (int i = 1; i <= 10; ++i) {
            const std::string out = "out" + std::to_string(i) + ".pdf";
            EXPECT_EQ(report.at(out)["status"], i < 5 ? "skipped" : "ok") << out;
            EXPECT_EQ(pageTexts(here.path(out).string()).size(), 2u) << out;
            if (i < 5) {
                EXPECT_TRUE(stampOf(here.path(out)) == first[i]) << out << " was built twice";
            }
        }
        EXPECT_THAT(pageTexts(here.path("out5.pdf").string())[1], HasSubstr("piped"));
    }
}

TEST_F(Batch, AJobIsBuiltAgainWhenAnythingItIsMadeOfChangesOrWhenForced) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string b = makeAgedPdf(dir.path("b.pdf"), "b", 1);
    writeFile(dir.path("outline.txt"), "");
    age(dir.path("outline.txt"));
    ASSERT_EQ(plaitSettings(dir.root(), {b}, "s.plt"), 0);
    age(dir.path("s.plt"));
    writeFile(dir.path("jobs.jsonl"), jobLine("plain.pdf", {a}) +
                                          jobLine("listed.pdf", {a}, R"("settings":"s.plt")") +
                                          jobLine("marked.pdf", {a}, R"("bookmarks":"outline.txt")"));
    ASSERT_EQ(runBatch({"jobs.jsonl"}, dir.root()).exitCode, 0);

    auto statuses = [&](const std::vector<std::string>& extra) {
        std::vector<std::string> args{"jobs.jsonl", "--report", "-"};
        args.insert(args.end(), extra.begin(), extra.end());
        const BatchResult r = runBatch(args, dir.root());
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::string all;
        for (const auto& [out, entry] : readReport(r.out)) {
            all += out + "=" + entry["status"].get<std::string>() + " ";
        }
        return all;
    };
    EXPECT_EQ(statuses({}), "listed.pdf=skipped marked.pdf=skipped plain.pdf=skipped ");
    // A file changed after the output was built: the output moved back to a millisecond before it.
    const auto changed = [&](const std::string& source, const std::string& output) {
        fs::last_write_time(dir.path(output),
                            fs::last_write_time(dir.path(source)) - std::chrono::milliseconds(1));
    };
    // An input named only by the settings file counts as much as the job's own.
    changed(b, "listed.pdf");
    EXPECT_EQ(statuses({}), "listed.pdf=ok marked.pdf=skipped plain.pdf=skipped ");
    fs::last_write_time(dir.path("outline.txt"),
                        fs::last_write_time(dir.path("marked.pdf")) + std::chrono::seconds(1));
    EXPECT_EQ(statuses({}), "listed.pdf=skipped marked.pdf=ok plain.pdf=skipped ");
    EXPECT_EQ(statuses({"--force"}), "listed.pdf=ok marked.pdf=ok plain.pdf=ok ");
}

TEST_F(Batch, MalformedJobsFilesAreRefusedNamingTheLineAndNothingIsBuilt) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string good = jobLine("first.pdf", {a});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {good + "\n" + R"({"output":"x.pdf","inputz":["a.pdf"]})" + "\n", "line 3: unknown key \"inputz\""},
        {good + R"({"inputs":["a.pdf"]})" + "\n", "line 2: no \"output\""},
        {good + R"({"output":"x.pdf","inputs":["a.pdf"],)" + "\n", "line 2: not valid JSON"},
        {good + R"(["x.pdf"])" + "\n", "line 2: not a JSON object"},
        {good + R"({"output":"x.pdf","inputs":"a.pdf"})" + "\n", "line 2: \"inputs\" must be a list"},
        {good + R"({"output":"x.pdf","mode":"sideways"})" + "\n", "line 2: \"mode\" must be"},
        {good + R"({"output":"x.pdf","open":"yes"})" + "\n", "line 2: \"open\" must be true or false"},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(message);
        writeFile(dir.path("jobs.jsonl"), text);
        const BatchResult r = runBatch({"jobs.jsonl"}, dir.root());
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr("jobs.jsonl: " + message));
        EXPECT_THAT(r.err, HasSubstr("nothing was built"));
        EXPECT_FALSE(fs::exists(dir.path("first.pdf")));
    }
    // Standard input is read the same way.
    writeFile(dir.path("jobs.jsonl"), good + "{}\n");
    const BatchResult fromStdin = runBatch({"-"}, dir.root(), dir.path("jobs.jsonl"));
    EXPECT_EQ(fromStdin.exitCode, 2);
    EXPECT_THAT(fromStdin.err, HasSubstr("standard input: line 2: no \"output\""));
    // Bad arguments are refused as well.
    EXPECT_EQ(runBatch({}, dir.root()).exitCode, 2);
    EXPECT_EQ(runBatch({"jobs.jsonl", "--jobs", "0"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runBatch({"absent.jsonl"}, dir.root()).exitCode, 2);
}

TEST_F(Batch, OutputsWrittenTwiceOrReadByAnyJobAreRefused) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string b = makeAgedPdf(dir.path("b.pdf"), "b", 1);
    const auto refused = [&](const std::string& jobs) {
        writeFile(dir.path("jobs.jsonl"), jobs);
        const BatchResult r = runBatch({"jobs.jsonl"}, dir.root());
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr("nothing was built"));
        return r.err;
    };
    // The same file under two names: "same" and "same.pdf" both write same.pdf.
    EXPECT_THAT(
        refused(jobLine("same.pdf", {a}) + jobLine("other.pdf", {b}) + jobLine("same", {b})),
        HasSubstr("line 3: output " + dir.path("same.pdf").string() + " is also the output of line 1"));
    EXPECT_THAT(refused(jobLine("x.pdf", {a}) + jobLine("./sub/../x.pdf", {b})), HasSubstr("line 2:"));
    EXPECT_THAT(refused(jobLine("a.pdf", {a})),
                HasSubstr("line 1: output " + dir.path("a.pdf").string() + " is its own input"));
    EXPECT_THAT(refused(jobLine("mid.pdf", {a}) + jobLine("end.pdf", {"mid.pdf"})),
                HasSubstr("line 1: output " + dir.path("mid.pdf").string() + " is an input of line 2"));
    EXPECT_THAT(refused(jobLine("s.plt.pdf", {a}) + jobLine("o.pdf", {b}, R"("bookmarks":"s.plt.pdf")")),
                HasSubstr("line 1:"));
    EXPECT_FALSE(fs::exists(dir.path("same.pdf")));
    EXPECT_FALSE(fs::exists(dir.path("other.pdf")));
    EXPECT_EQ(pageTexts(dir.path("a.pdf").string()).size(), 1u);
}

TEST_F(Batch, ABuildIsStoppedAtItsTimeOrMemoryLimit) {
    // The engine's test hook makes the build that reads "stall.pdf" hang for good, as a parser
    // loop would.
    const plait::test::ScopedStall stall("stuck:stall.pdf");
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string stalling = makeAgedPdf(dir.path("stall.pdf"), "stall", 1);
    writeFile(dir.path("jobs.jsonl"), jobLine("stuck.pdf", {a, stalling}) + jobLine("fine.pdf", {a}));
    // What a build killed while writing leaves behind, and files of the same look that are not it.
    for (const char* name :
         {".stuck.pdf.plait-a1B2c3", ".stuck.pdf.plait-seven77", ".fine.pdf.plait-a1B2c3"}) {
        writeFile(dir.path(name), "partial");
    }
    BatchResult r = runBatch({"jobs.jsonl", "--time-limit", "0.5", "--report", "-"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    auto report = readReport(r.out);
    EXPECT_THAT(report.at("stuck.pdf")["messages"].dump(),
                HasSubstr("stopped after the time limit of 0.5 seconds"));
    EXPECT_EQ(report.at("fine.pdf")["status"], "ok");
    EXPECT_FALSE(fs::exists(dir.path("stuck.pdf")));
    // The stuck build's own file goes with it, and the one nobody writes beside fine.pdf goes
    // with the build of fine.pdf; a name of another form stays.
    EXPECT_THAT(unfinishedOutputs(dir.root()), ::testing::UnorderedElementsAre(".stuck.pdf.plait-seven77"));

    // A build that cannot even start in its memory is a failure that names the limit (as the
    // cause when the build said so, as a likely one when it faulted without a word).
    writeFile(dir.path("jobs.jsonl"), jobLine("small.pdf", {a}));
    r = runBatch({"jobs.jsonl", "--memory-limit", "1", "--report", "-"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    report = readReport(r.out);
    EXPECT_EQ(report.at("small.pdf")["status"], "failed");
    EXPECT_THAT(report.at("small.pdf")["messages"].dump(),
                ::testing::ContainsRegex("r[au]n out of memory \\(limit 1 MB"));
    EXPECT_FALSE(fs::exists(dir.path("small.pdf")));
}

// Each job is a process forked from the batch: a job whose build crashes (the engine's test hook
// aborts the build that reads "crash.pdf") fails alone, leaves nothing behind, and the jobs
// beside it and after it are built.
TEST_F(Batch, ACrashingBuildEndsOnlyItsOwnJob) {
    const plait::test::ScopedStall crash("abort:crash.pdf");
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string crashing = makeAgedPdf(dir.path("crash.pdf"), "crash", 1);
    writeFile(dir.path("jobs.jsonl"), jobLine("one.pdf", {a}) + jobLine("crashed.pdf", {a, crashing}) +
                                          jobLine("two.pdf", {a, a}) + jobLine("three.pdf", {a, a, a}));
    const BatchResult r = runBatch({"jobs.jsonl", "--jobs", "2", "--report", "-"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    const auto report = readReport(r.out);
    ASSERT_EQ(report.size(), 4u) << r.out;
    EXPECT_EQ(report.at("crashed.pdf")["status"], "failed");
    EXPECT_EQ(report.at("crashed.pdf")["exit_code"], 128 + SIGABRT);
    EXPECT_THAT(report.at("crashed.pdf")["messages"].dump(),
                HasSubstr("the build stopped unexpectedly (signal " + std::to_string(SIGABRT)));
    EXPECT_FALSE(fs::exists(dir.path("crashed.pdf")));
    int pages = 1;
    for (const char* out : {"one.pdf", "two.pdf", "three.pdf"}) {
        EXPECT_EQ(report.at(out)["status"], "ok") << out;
        EXPECT_EQ(pageTexts(dir.path(out).string()).size(), static_cast<std::size_t>(pages++)) << out;
    }
    EXPECT_THAT(unfinishedOutputs(dir.root()), ::testing::IsEmpty());
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// The memory limit bounds each job's own process, not the batch: a job that needs more than the
// limit fails naming it, and the batch goes on to build the next job under the same limit.
TEST_F(Batch, TheMemoryLimitBoundsEachForkedJob) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    widePdf(dir.path("wide.pdf"));
    age(dir.path("wide.pdf"));
    writeFile(dir.path("jobs.jsonl"), jobLine("big.pdf", {"wide.pdf", a}) + jobLine("small.pdf", {a, a}));
    const BatchResult r =
        runBatch({"jobs.jsonl", "--jobs", "1", "--memory-limit", "200", "--report", "-"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    const auto report = readReport(r.out);
    ASSERT_EQ(report.size(), 2u) << r.out;
    EXPECT_EQ(report.at("big.pdf")["status"], "failed");
    EXPECT_THAT(report.at("big.pdf")["messages"].dump(), HasSubstr("ran out of memory (limit 200 MB"));
    EXPECT_FALSE(fs::exists(dir.path("big.pdf")));
    EXPECT_EQ(report.at("small.pdf")["status"], "ok");
    EXPECT_EQ(pageTexts(dir.path("small.pdf").string()).size(), 2u);
    EXPECT_THAT(unfinishedOutputs(dir.root()), ::testing::IsEmpty());
}

// A job forked from the batch holds no more memory at its peak than the same build started on
// its own: the batch's own memory is not a cost of every job. The test hook
// PLAIT_TEST_PEAK_MEMORY makes a build say its peak resident memory.
TEST_F(Batch, AJobTakesNoMoreMemoryThanTheSameBuildAlone) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 3);
    const std::string b = makeAgedPdf(dir.path("b.pdf"), "b", 2);
    ::setenv("PLAIT_TEST_PEAK_MEMORY", "1", 1);
    // Many jobs, so that the batch holds as much as a large jobs file makes it hold.
    std::string jobs;
    for (int i = 0; i < 200; ++i) {
        jobs += jobLine("out" + std::to_string(i) + ".pdf", {a, b});
    }
    writeFile(dir.path("jobs.jsonl"), jobs);
    const BatchResult batch = runBatch({"jobs.jsonl", "--jobs", "2", "--report", "-"}, dir.root());
    const auto alone = run("cd " + quote(dir.root().string()) + " && " + quote(PLAIT_CLI_PATH) +
                           " build -q --time-limit 0 --memory-limit 0 -o alone.pdf " + a + " " + b);
    ::unsetenv("PLAIT_TEST_PEAK_MEMORY");
    const auto peak = [](const std::string& text) {
        const std::string lead = "plait: test: peak memory ";
        const auto at = text.find(lead);
        return at == std::string::npos ? -1L : std::stol(text.substr(at + lead.size()));
    };
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    ASSERT_EQ(alone.exitCode, 0) << alone.output;
    const long alonePeak = peak(alone.output);
    ASSERT_GT(alonePeak, 0) << alone.output;
    const auto report = readReport(batch.out);
    ASSERT_EQ(report.size(), 200u);
    long highest = 0;
    for (const auto& [out, entry] : report) {
        const long jobPeak = peak(entry["messages"].dump());
        ASSERT_GT(jobPeak, 0) << out << ": " << entry.dump();
        highest = std::max(highest, jobPeak);
    }
    // The same build's peak varies by a few pages from run to run.
    EXPECT_LE(highest, alonePeak + alonePeak / 50) << "alone: " << alonePeak << " kB";
}
#endif

// The recipe of the documentation: GNU parallel hands parts of the jobs file to `plait batch -`
// on several hosts and gathers the reports. A stand-in for ssh runs the "remote" commands here,
// and ":" is GNU parallel's own name for the local host. The stand-in starts them as sshd
// would, in the home folder with SHELL set: GNU parallel's remote wrapper runs the command with
// $SHELL and, when it is unset, silently runs nothing. The test has a home folder of its own, so
// GNU parallel's cache is not the user's.
TEST_F(Batch, GnuParallelSpreadsAJobsFileOverHosts) {
    ASSERT_EQ(run("command -v parallel").exitCode, 0)
        << "GNU parallel is missing (scripts/setup.sh installs it)";
    std::string jobs;
    for (int i = 0; i < 12; ++i) {
        const std::string in =
            makeAgedPdf(dir.path("in" + std::to_string(i) + ".pdf"), "in" + std::to_string(i), 1 + i % 2);
        jobs += jobLine("out" + std::to_string(i) + ".pdf", {in, in});
    }
    writeFile(dir.path("jobs.jsonl"), jobs);
    fs::create_directory(dir.path("home"));
    writeFile(dir.path("ssh"), "#!/bin/sh\n"
                               "while [ $# -gt 0 ]; do case \"$1\" in -*) shift;; *) break;; esac; done\n"
                               "echo \"$1\" >> \"$(dirname \"$0\")/hosts.log\"; shift\n"
                               "[ \"$1\" = -- ] && shift\n"
                               "cd \"$HOME\" && SHELL=/bin/sh exec sh -c \"$*\"\n");
    fs::permissions(dir.path("ssh"), fs::perms::owner_all);

    ASSERT_EQ(runBatch({"--check", "jobs.jsonl"}, dir.root()).exitCode, 0);
    const std::string recipe =
        "cd " + quote(dir.root().string()) + " && HOME=" + quote(dir.path("home").string()) +
        " parallel --will-cite --pipe -N 3 --ssh " + quote(dir.path("ssh").string()) +
        " --sshlogin 1/hostA,1/hostB,1/: --workdir . " +
        quote(quote(PLAIT_CLI_PATH) + " batch - --report -") + " < jobs.jsonl > report.jsonl";
    const auto result = run(recipe);
    ASSERT_EQ(result.exitCode, 0) << result.output;
    const auto report = readReport(readFile(dir.path("report.jsonl")));
    ASSERT_EQ(report.size(), 12u) << result.output;
    for (int i = 0; i < 12; ++i) {
        const std::string out = "out" + std::to_string(i) + ".pdf";
        EXPECT_EQ(report.at(out)["status"], "ok") << out;
        EXPECT_EQ(pageTexts(dir.path(out).string()).size(), 2u * (1 + i % 2)) << out;
    }
    EXPECT_THAT(readFile(dir.path("hosts.log")), ::testing::ContainsRegex("host[AB]"));
    // The same recipe again finds every output up to date.
    ASSERT_EQ(run(recipe).exitCode, 0);
    for (const auto& [out, entry] : readReport(readFile(dir.path("report.jsonl")))) {
        EXPECT_EQ(entry["status"], "skipped") << out;
    }
}

// `script` gives the batch a terminal for standard error.
TEST_F(Batch, ATerminalShowsAProgressLineUnlessQuiet) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    writeFile(dir.path("jobs.jsonl"),
              jobLine("one.pdf", {a}) + jobLine("two.pdf", {a, a}) + jobLine("bad.pdf", {"none.pdf"}));
    const auto onTerminal = [&](const std::string& options) {
        return run("script -qec " +
                   quote("cd " + quote(dir.root().string()) + " && " + quote(PLAIT_CLI_PATH) +
                         " batch jobs.jsonl --jobs 1 --force" + options) +
                   " /dev/null");
    };
    const auto shown = onTerminal("");
    EXPECT_EQ(shown.exitCode, 1);
    EXPECT_THAT(shown.output, HasSubstr("[3/3] 2 built, 1 failed, 0 skipped"));
    EXPECT_THAT(shown.output, HasSubstr("line 3: bad.pdf: failed"));
    EXPECT_THAT(shown.output, HasSubstr("3 jobs: 2 built, 1 failed, 0 skipped; 3 pages"));
    const auto quiet = onTerminal(" -q");
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_THAT(quiet.output, Not(HasSubstr("[")));
    EXPECT_THAT(quiet.output, HasSubstr("line 3: bad.pdf: failed"));
}

TEST_F(Batch, OutputSizeKeysAreCheckedAndPassedToTheBuild) {
    const std::string a = makeAgedPdf(dir.path("a.pdf"), "a", 1);
    const std::string good = jobLine("first.pdf", {a});
    for (const std::string bad :
         {R"({"output":"x.pdf","image-dpi":5})", R"({"output":"x.pdf","image-dpi":"150"})",
          R"({"output":"x.pdf","image-quality":101})", R"({"output":"x.pdf","smallest":1})"}) {
        SCOPED_TRACE(bad);
        writeFile(dir.path("jobs.jsonl"), good + bad + "\n");
        const BatchResult r = runBatch({"jobs.jsonl"}, dir.root());
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_THAT(r.err, HasSubstr("jobs.jsonl: line 2: \""));
    }
    writeFile(dir.path("jobs.jsonl"), R"({"output":"small.pdf","inputs":[")" + a +
                                          R"("],"image-dpi":150,"image-quality":60,"smallest":true})" + "\n");
    const BatchResult r = runBatch({"jobs.jsonl"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(run("qpdf --check " + quote(dir.path("small.pdf").string())).exitCode, 0);
    EXPECT_THAT(readFile(dir.path("small.pdf")), HasSubstr("/ObjStm"));
}

TEST_F(Batch, InputsGivenAsObjectsChooseTheirPages) {
    // Words, not letters: pdftotext sets a single letter and its number as one word.
    makeAgedPdf(dir.path("a.pdf"), "alpha", 3);
    makeAgedPdf(dir.path("-b.pdf"), "beta", 6);
    writeFile(
        dir.path("jobs.jsonl"),
        R"({"output": "out.pdf", "inputs": ["a.pdf", {"file": "-b.pdf", "pages": "z-4"}, {"file": "a.pdf"}]})"
        "\n");
    const BatchResult r = runBatch({"jobs.jsonl", "-q", "--report", "-"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto texts = pageTexts(dir.path("out.pdf").string());
    ASSERT_EQ(texts.size(), 3u + 3u + 3u);
    EXPECT_THAT(texts[3], HasSubstr("beta 6"));
    EXPECT_THAT(texts[5], HasSubstr("beta 4"));
    EXPECT_THAT(texts[6], HasSubstr("alpha 1"));

    writeFile(dir.path("bad.jsonl"), R"({"output": "x.pdf", "inputs": [{"pages": "1"}]})"
                                     "\n");
    const BatchResult bad = runBatch({"bad.jsonl", "-q"}, dir.root());
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_THAT(bad.err, HasSubstr("an input object needs a \"file\""));
}

// Files written under a hidden name and put in place whole: the build's output and exported images.
#include "pdfengine/TemporaryFile.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/Fixtures.h"
#include "pdfengine/OutputFile.h"
#include "pdfengine/PendingOutputs.h"

#include <gtest/gtest.h>

#include <csignal>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

namespace plait::pdf::testing {
namespace {

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

unsigned modeOf(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Writing past `bytes` fails with EFBIG for as long as this lives (the signal that would
// otherwise end the process is ignored meanwhile).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, savedHandler_);
    }

private:
    rlimit saved_{};
    void (*savedHandler_)(int) = SIG_DFL;
};

// The temporary files announced while this lives.
struct Announced {
    std::vector<std::string> paths;
    Announced() {
        setPendingOutputListener([this](const std::string& path) { paths.push_back(path); });
    }
    ~Announced() { setPendingOutputListener({}); }
};

TEST(TemporaryFile, ReplacesTheTargetWholeWithItsPermissions) {
    TempDir dir;
    const fs::path target = dir.path("out.pdf");
    writeFile(target, "old");
    ::chmod(target.c_str(), 0640);
    Announced announced;
    {
        TemporaryFile temp(dir.root(), ".out.pdf.plait-", target.string());
        EXPECT_EQ(announced.paths, std::vector<std::string>{temp.path()});
        EXPECT_EQ(fs::path(temp.path()).parent_path(), dir.root());
        EXPECT_EQ(fs::path(temp.path()).filename().string().rfind(".out.pdf.plait-", 0), 0u);
        EXPECT_EQ(modeOf(temp.path()), 0640u);
        temp.write("new");
        EXPECT_EQ(readFile(target), "old"); // nothing shows before the rename
        temp.startSync();                   // the sync runs beside this thread until finish()
        temp.finish();
        temp.replace(target.string());
    }
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(modeOf(target), 0640u);
    EXPECT_EQ(namesIn(dir.root()), std::set<std::string>{"out.pdf"});

    // A new name gets the permissions a new file usually gets.
    const mode_t mask = ::umask(022);
    {
        TemporaryFile temp(dir.root(), ".fresh.plait-", dir.path("fresh.pdf").string());
        temp.write("fresh");
        temp.finish();
        temp.replace(dir.path("fresh.pdf").string());
    }
    ::umask(mask);
    EXPECT_EQ(readFile(dir.path("fresh.pdf")), "fresh");
    EXPECT_EQ(modeOf(dir.path("fresh.pdf")), 0644u);
}

TEST(TemporaryFile, FailuresRemoveTheTemporaryFileAndKeepTheTarget) {
    TempDir dir;
    const fs::path target = dir.path("out.pdf");
    writeFile(target, "old");
    const auto expectFailure = [](TemporaryFile::Step step, const std::function<void()>& action) {
        try {
            action();
            ADD_FAILURE() << "no failure";
        } catch (const TemporaryFile::Failure& e) {
            EXPECT_EQ(e.step(), step) << e.what();
        }
    };

    // Abandoned before it was finished, also while its sync runs.
    {
        TemporaryFile temp(dir.root(), ".out.pdf.plait-");
        temp.write("half");
    }
    {
        TemporaryFile temp(dir.root(), ".out.pdf.plait-");
        temp.write("whole");
        temp.startSync();
    }
    EXPECT_EQ(namesIn(dir.root()), std::set<std::string>{"out.pdf"});

    // The disk refuses the data.
    expectFailure(TemporaryFile::Step::Write, [&] {
        TemporaryFile temp(dir.root(), ".out.pdf.plait-");
        const FileSizeLimit limit(1000);
        temp.write(std::string(100000, 'x'));
        temp.finish();
    });
    expectFailure(TemporaryFile::Step::Write, [&] {
        TemporaryFile temp(dir.root(), ".out.pdf.plait-");
        const FileSizeLimit limit(1000);
        temp.write(std::string(100000, 'x'));
        temp.startSync();
    });
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(namesIn(dir.root()), std::set<std::string>{"out.pdf"});

    // The name cannot be taken: a folder with something in it.
    fs::create_directories(dir.path("taken") / "inside");
    expectFailure(TemporaryFile::Step::Rename, [&] {
        TemporaryFile temp(dir.root(), ".taken.plait-");
        temp.write("data");
        temp.finish();
        temp.replace(dir.path("taken").string());
    });
    EXPECT_TRUE(fs::is_directory(dir.path("taken") / "inside"));
    EXPECT_EQ(namesIn(dir.root()), (std::set<std::string>{"out.pdf", "taken"}));

    // No folder to write in.
    expectFailure(TemporaryFile::Step::Create,
                  [&] { TemporaryFile temp(dir.path("missing"), ".out.pdf.plait-"); });
    EXPECT_FALSE(fs::exists(dir.path("missing")));
}

TEST(TemporaryFile, PublishingNeverReplacesAnExistingName) {
    TempDir dir;
    writeFile(dir.path("a.png"), "first");
    TemporaryFile temp(dir.root(), ".plait-image-");
    temp.write("second");
    temp.finish();
    EXPECT_FALSE(temp.publishNew(dir.path("a.png")));
    EXPECT_TRUE(temp.publishNew(dir.path("a-2.png")));
    EXPECT_EQ(readFile(dir.path("a.png")), "first");
    EXPECT_EQ(readFile(dir.path("a-2.png")), "second");
    EXPECT_EQ(namesIn(dir.root()), (std::set<std::string>{"a.png", "a-2.png"}));
}

TEST(OutputFile, AnExistingOutputIsKeptWhenWritingFails) {
    TempDir dir;
    const fs::path target = dir.path("out.pdf");
    writeFile(target, "old");
    try {
        OutputFile output(target.string());
        const FileSizeLimit limit(1000);
        const std::string data(100000, 'x');
        std::fwrite(data.data(), 1, data.size(), output.stream());
        output.commit();
        ADD_FAILURE() << "the commit succeeded";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.failure(), BuildFailure::CannotCreateOutput);
        EXPECT_EQ(e.file(), target.string());
        EXPECT_EQ(std::string(e.what()).rfind("cannot write the output: ", 0), 0u) << e.what();
    }
    EXPECT_EQ(readFile(target), "old");
    EXPECT_EQ(namesIn(dir.root()), std::set<std::string>{"out.pdf"});

    // Committed, it is the output; the temporary name is gone.
    {
        OutputFile output(target.string());
        std::fputs("new", output.stream());
        output.commit();
    }
    EXPECT_EQ(readFile(target), "new");
    EXPECT_EQ(namesIn(dir.root()), std::set<std::string>{"out.pdf"});
}

} // namespace
} // namespace plait::pdf::testing

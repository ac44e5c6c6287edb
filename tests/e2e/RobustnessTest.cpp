// Whole builds over damaged, mutated and special inputs through the batch command: every run
// ends in time with a sound output or a failure that names the file, and leaves nothing
// behind.

#include "pdfengine/DamagedPdfs.h"
#include "pdfengine/Fixtures.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <sys/wait.h>

namespace {

using namespace plait::pdf::testing;

struct Outcome {
    int status = -1; // exit status, or 128 + signal
    std::string err;
};

// Runs `plait` with the arguments in `dir`, bounded to 20 s and 2 GB of address space, so
// that a hang or a runaway allocation fails the test instead of stalling it.
Outcome runBounded(const fs::path& dir, const std::vector<std::string>& args) {
    std::string line = "cd " + quote(dir.string()) + " && ulimit -v 2097152 && exec timeout -s KILL 20 " +
                       quote(PLAIT_CLI_PATH);
    for (const auto& a : args)
        line += " " + quote(a);
    line += " >/dev/null 2>" + quote((dir / ".stderr").string());
    const int raw = std::system(("sh -c " + quote(line)).c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    o.err = readFile(dir / ".stderr");
    fs::remove(dir / ".stderr");
    return o;
}

// Hidden temporary outputs left in the folder.
int leftovers(const fs::path& dir) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().find(".plait-") != std::string::npos)
            ++n;
    }
    return n;
}

TEST(Robustness, SpecialFilesAreRefusedAtOnceNamingThem) {
    TempDir dir;
    const std::string good = makePdf(dir.path("good.pdf"), "good", 1);
    const std::string fifo = dir.path("pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string kind = "it is a device, a pipe or a socket, not a regular file";

    Outcome in = runBounded(dir.root(), {"build", "-o", "out.pdf", fifo});
    EXPECT_EQ(in.status, 2);
    EXPECT_NE(in.err.find("cannot read input '" + fifo + "': " + kind), std::string::npos) << in.err;

    Outcome settings = runBounded(dir.root(), {"build", "--settings", fifo, "-o", "out.pdf", good});
    EXPECT_EQ(settings.status, 2);
    EXPECT_NE(settings.err.find("cannot read settings file '" + fifo + "': " + kind), std::string::npos);

    for (const std::string& markup : {fifo, std::string("/dev/zero")}) {
        Outcome marks = runBounded(dir.root(), {"build", "--bookmarks", markup, "-o", "out.pdf", good});
        EXPECT_NE(marks.status, 0) << markup;
        EXPECT_NE(marks.err.find("cannot read bookmark file '" + markup + "': " + kind), std::string::npos)
            << marks.err;
    }
    Outcome zero = runBounded(dir.root(), {"build", "-o", "out.pdf", "/dev/zero"});
    EXPECT_EQ(zero.status, 2);
    EXPECT_FALSE(fs::exists(dir.path("out.pdf")));
    EXPECT_EQ(leftovers(dir.root()), 0);
}

// One of a few kinds of damage, chosen and placed by the generator.
std::string mutate(std::string bytes, std::mt19937& rng) {
    const auto at = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng() % n); };
    const int edits = 1 + static_cast<int>(rng() % 3);
    for (int e = 0; e < edits && !bytes.empty(); ++e) {
        switch (rng() % 7) {
        case 0: // flip a few bits
            for (int i = 0; i < 4; ++i)
                bytes[at(bytes.size())] ^= static_cast<char>(1u << (rng() % 8));
            break;
        case 1: // cut the file short
            bytes.resize(at(bytes.size()));
            break;
        case 2: { // a run of zeros
            const std::size_t from = at(bytes.size());
            bytes.replace(from, std::min<std::size_t>(64, bytes.size() - from), 64, '\0');
            break;
        }
        case 3: { // a digit changed: offsets, lengths, counts, object numbers
            const std::size_t from = at(bytes.size());
            const std::size_t digit = bytes.find_first_of("0123456789", from);
            if (digit != std::string::npos)
                bytes[digit] = static_cast<char>('0' + rng() % 10);
            break;
        }
        case 4: { // a piece repeated elsewhere
            const std::size_t from = at(bytes.size()), len = at(200);
            const std::string piece = bytes.substr(from, len);
            bytes.insert(at(bytes.size()), piece);
            break;
        }
        case 5: { // a piece removed
            const std::size_t from = at(bytes.size());
            bytes.erase(from, at(300));
            break;
        }
        default: // junk in front
            bytes.insert(0, std::string(at(3000), static_cast<char>('A' + rng() % 26)));
            break;
        }
    }
    return bytes;
}

TEST(Robustness, MutatedInputsGiveASoundOutputOrAFailureNamingTheFile) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"alpha", "beta", "gamma"};
    layout.bookmarks = {{"Start", 1}, {"Middle", 2, 2}, {"End", 3}};
    layout.linkTo = {2, 3, 1};
    layout.title = "Fuzz";
    const std::vector<std::string> bases = {readFile(makePdf(dir.path("base.pdf"), layout)),
                                            soundTwoPagePdf()};
    const fs::path work = dir.path("work");
    fs::create_directory(work);
    int sound = 0, refused = 0;
    for (unsigned seed = 1; seed <= 120; ++seed) {
        std::mt19937 rng(seed);
        const std::string input = mutate(bases[seed % bases.size()], rng);
        writeFile(work / "in.pdf", input);
        fs::remove(work / "out.pdf");
        // Bookmarks kept, so that damaged outlines are walked too.
        std::vector<std::string> args = {"build", "-q", "-o", "out.pdf", "in.pdf"};
        if (seed % 3 == 0)
            args.push_back((dir.path("base.pdf")).string());
        const Outcome o = runBounded(work, args);
        const std::string label = "seed " + std::to_string(seed) + ": " + o.err;
        ASSERT_TRUE(o.status == 0 || o.status == 1) << label << " (status " << o.status << ")";
        EXPECT_EQ(leftovers(work), 0) << label;
        if (o.status == 1) {
            ++refused;
            EXPECT_FALSE(fs::exists(work / "out.pdf")) << label;
            EXPECT_NE(o.err.find("in.pdf"), std::string::npos) << label;
            continue;
        }
        ++sound;
        const std::string out = (work / "out.pdf").string();
        ASSERT_TRUE(fs::exists(out)) << label;
        EXPECT_GT(pageCount(out), 0) << label;
        const ToolResult check = run("qpdf --check " + quote(out));
        EXPECT_EQ(check.output.find("damaged"), std::string::npos) << label << check.output;
        EXPECT_EQ(check.output.find("reconstruct"), std::string::npos) << label << check.output;
        // Warnings may only be about the syntax inside page content, which readers
        // tolerate as the input's own.
        for (std::size_t w = check.output.find("WARNING"); w != std::string::npos;
             w = check.output.find("WARNING", w + 1)) {
            const std::string line = check.output.substr(w, check.output.find('\n', w) - w);
            EXPECT_NE(line.find("(content, offset"), std::string::npos) << label << check.output;
        }
        if (check.exitCode == 2) {
            // Only content the input could not decode either.
            EXPECT_EQ(run("qpdf --check " + quote((work / "in.pdf").string())).exitCode, 2) << label;
        }
        const ToolResult mu = run("mutool info " + quote(out));
        EXPECT_EQ(mu.exitCode, 0) << label << mu.output;
    }
    // The mix holds both kinds, or the generator has lost its teeth.
    EXPECT_GT(sound, 5);
    EXPECT_GT(refused, 0);
}

} // namespace

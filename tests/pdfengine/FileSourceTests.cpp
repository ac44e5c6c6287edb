// Reading inputs: the pread file source against qpdf's in-memory source, the limit on open
// files, and a build with more inputs than that limit.
#include "Fixtures.h"
#include "pdfengine/FileSource.h"

#include <qpdf/Buffer.hh>
#include <qpdf/BufferInputSource.hh>

#include <random>

namespace plait::pdf::testing {
namespace {

std::string sampleBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& c : bytes) {
        // Mostly text, with runs of line ends, as in a PDF.
        const unsigned r = rng() % 40;
        c = r == 0 ? '\r' : r == 1 ? '\n' : static_cast<char>('a' + r % 26);
    }
    return bytes;
}

// Every operation qpdf uses, done in the same random order on both sources, must give the
// same bytes, positions and last offsets; sizes straddle the block and the end of the file.
TEST(FileSource, BehavesLikeQpdfsOwnSource) {
    TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{100}, std::size_t{4096 + 7}, std::size_t{200000}}) {
        const std::string bytes = sampleBytes(size, static_cast<unsigned>(size));
        const auto path = dir.path("f" + std::to_string(size)).string();
        writeFile(path, bytes);
        FileSource mine(path, std::make_shared<OpenFiles>());
        Buffer buffer(reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.data())), bytes.size());
        BufferInputSource reference("ref", &buffer);
        EXPECT_EQ(mine.head(1024), bytes.substr(0, 1024));

        std::mt19937 rng(7);
        // Past the end the two sources of qpdf disagree themselves; stay within the file.
        const auto span = static_cast<qpdf_offset_t>(size) + 1;
        for (int step = 0; step < 3000; ++step) {
            SCOPED_TRACE("size " + std::to_string(size) + " step " + std::to_string(step));
            switch (rng() % 6) {
            case 0: {
                const qpdf_offset_t to = static_cast<qpdf_offset_t>(rng() % static_cast<unsigned>(span));
                mine.seek(to, SEEK_SET);
                reference.seek(to, SEEK_SET);
                break;
            }
            case 1: {
                const qpdf_offset_t back = -static_cast<qpdf_offset_t>(rng() % 50);
                if (reference.tell() + back >= 0) {
                    mine.seek(back, SEEK_CUR);
                    reference.seek(back, SEEK_CUR);
                }
                break;
            }
            case 2: {
                const qpdf_offset_t back = -static_cast<qpdf_offset_t>(rng() % (size + 1));
                mine.seek(back, SEEK_END);
                reference.seek(back, SEEK_END);
                break;
            }
            case 3: {
                // Small reads as the tokenizer makes them, and now and then a large one.
                const std::size_t want = rng() % 10 == 0 ? 40000 : rng() % 300;
                std::string a(want, '\0'), b(want, '\0');
                const std::size_t got = mine.read(a.data(), want);
                ASSERT_EQ(got, reference.read(b.data(), want));
                ASSERT_EQ(a.substr(0, got), b.substr(0, got));
                if (got > 0) { // at the end, qpdf's file and memory sources disagree themselves
                    ASSERT_EQ(mine.getLastOffset(), reference.getLastOffset());
                }
                break;
            }
            case 4:
                if (reference.tell() > 0 && reference.tell() <= static_cast<qpdf_offset_t>(size)) {
                    mine.unreadCh('x');
                    reference.unreadCh('x');
                }
                break;
            case 5:
                ASSERT_EQ(mine.findAndSkipNextEOL(), reference.findAndSkipNextEOL());
                break;
            }
            ASSERT_EQ(mine.tell(), reference.tell());
        }
    }
}

// Started past junk, the source is the rest of the file: offsets and the end count from the
// start, as for a file without the junk; head() still shows the file's own first bytes.
TEST(FileSource, StartedLaterReadsTheRestAsAFileOfItsOwn) {
    TempDir dir;
    const std::string bytes = sampleBytes(20000, 3);
    const auto path = dir.path("junk").string();
    writeFile(path, bytes);
    for (qpdf_offset_t start :
         {qpdf_offset_t{0}, qpdf_offset_t{1}, qpdf_offset_t{5000}, qpdf_offset_t{19999}}) {
        SCOPED_TRACE(start);
        FileSource mine(path, std::make_shared<OpenFiles>());
        mine.startAt(start);
        const std::string rest = bytes.substr(static_cast<std::size_t>(start));
        EXPECT_EQ(mine.head(100), bytes.substr(0, 100));
        EXPECT_EQ(mine.tell(), 0);
        std::mt19937 rng(static_cast<unsigned>(start));
        for (int step = 0; step < 200; ++step) {
            const qpdf_offset_t back = static_cast<qpdf_offset_t>(rng() % (rest.size() + 1));
            mine.seek(-back, SEEK_END);
            ASSERT_EQ(mine.tell(), static_cast<qpdf_offset_t>(rest.size()) - back);
            std::string got(rng() % 6000, '\0');
            got.resize(mine.read(got.data(), got.size()));
            ASSERT_EQ(got, rest.substr(rest.size() - static_cast<std::size_t>(back), got.size()));
        }
    }
}

TEST(FileSource, AnAddedHeaderComesBeforeTheFileAndAnAddedTrailerAfterIt) {
    TempDir dir;
    const std::string bytes = sampleBytes(9000, 5);
    const auto path = dir.path("bare").string();
    writeFile(path, bytes);
    FileSource mine(path, std::make_shared<OpenFiles>());
    mine.addHeader("%PDF-1.4\n");
    mine.addTrailer("\ntrailer << /Root 1 0 R >>\n");
    const std::string seen = "%PDF-1.4\n" + bytes + "\ntrailer << /Root 1 0 R >>\n";
    mine.seek(0, SEEK_END);
    EXPECT_EQ(mine.tell(), static_cast<qpdf_offset_t>(seen.size()));
    for (qpdf_offset_t at : {0, 3, 9, 4000, 9005, 9010, 9030}) {
        mine.seek(at, SEEK_SET);
        std::string got(5000, '\0');
        got.resize(mine.read(got.data(), got.size()));
        EXPECT_EQ(got, seen.substr(static_cast<std::size_t>(at), 5000)) << at;
    }
    EXPECT_EQ(mine.head(20), bytes.substr(0, 20));
}

TEST(FileSource, KeepsAtMostTheLimitOpenAndReopensOnDemand) {
    TempDir dir;
    auto files = std::make_shared<OpenFiles>(3);
    std::vector<std::unique_ptr<FileSource>> sources;
    std::vector<std::string> contents;
    for (int i = 0; i < 8; ++i) {
        contents.push_back(sampleBytes(50000, static_cast<unsigned>(i)));
        const auto path = dir.path("f" + std::to_string(i)).string();
        writeFile(path, contents.back());
        sources.push_back(std::make_unique<FileSource>(path, files));
        EXPECT_LE(files->openCount(), 3u);
    }
    // Interleaved reads, each far enough from the last to miss the cached block.
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const std::size_t at = (round * 20000 + i * 997) % 45000;
            sources[i]->seek(static_cast<qpdf_offset_t>(at), SEEK_SET);
            char got[100];
            ASSERT_EQ(sources[i]->read(got, sizeof got), sizeof got);
            EXPECT_EQ(std::string(got, sizeof got), contents[i].substr(at, sizeof got));
            EXPECT_LE(files->openCount(), 3u);
        }
    }
    sources.clear();
    EXPECT_EQ(files->openCount(), 0u);
    EXPECT_THROW(FileSource(dir.path("missing").string(), files), std::exception);
}

// More inputs than files the run keeps open: stream data is read again from closed files
// when the output is written, in the right order.
TEST(FileSource, BuildWithMoreInputsThanOpenFiles) {
    TempDir dir;
    std::string inputs;
    std::vector<std::string> expected;
    for (int i = 0; i < 150; ++i) {
        const std::string name = "in" + std::to_string(i);
        inputs += (i ? "," : "") + makePdf(dir.path(name + ".pdf"), name, 2);
        expected.push_back(name + " 1");
        expected.push_back(name + " 2");
    }
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {inputs});
    EXPECT_EQ(build.run(), "300");
    EXPECT_EQ(pageTexts(out), expected);
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

} // namespace
} // namespace plait::pdf::testing

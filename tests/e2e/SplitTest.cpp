// `plait split`: what it cuts a PDF into, the names of the parts, and each part read back with
// independent readers (qpdf --check and --json, pdftotext).

#include "cli/SplitPlan.h"
#include "e2e/PlaitProcess.h"
#include "pdfengine/Fixtures.h"

#include <qpdf/JSON.hh>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

using namespace plait::pdf::testing;
using namespace plait::cli::split;
using plait::test::Plait;
using plait::test::Result;
using plait::test::runPlait;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        out.push_back(l);
    }
    return out;
}

std::vector<std::string> pagesOf(const std::vector<Part>& parts) {
    std::vector<std::string> out;
    for (const auto& p : parts) {
        out.push_back(p.pages + (p.title.empty() ? "" : " " + p.title));
    }
    return out;
}

TEST(SplitPlan, PartsByCountAndByRange) {
    EXPECT_THAT(pagesOf(everyParts(7, 3)), ElementsAre("1-3", "4-6", "7"));
    EXPECT_THAT(pagesOf(everyParts(6, 3)), ElementsAre("1-3", "4-6"));
    EXPECT_THAT(pagesOf(everyParts(2, 5)), ElementsAre("1-2"));

    std::string error;
    EXPECT_THAT(pagesOf(rangeParts("1-3;4-10; 11-z;", 12, error)), ElementsAre("1-3", "4-10", " 11-z"));
    EXPECT_EQ(error, "");
    // A range that cannot be read, that is empty, or that selects nothing refuses the whole.
    for (const char* bad : {"1-3;;5", "1-3;x", "1-3;20-30"}) {
        error.clear();
        EXPECT_THAT(rangeParts(bad, 12, error), IsEmpty()) << bad;
        EXPECT_NE(error, "") << bad;
    }
    EXPECT_THAT(error, HasSubstr("range 2"));
}

TEST(SplitPlan, PartsAtBookmarksFollowThePagesNotTheOutline) {
    const std::vector<Bookmark> outline = readListing("<BOOKMARK LEVEL=1 DESCR=\"Two\" PAGE=5>\r\n"
                                                      "<BOOKMARK LEVEL=2 DESCR=\"Two.1\" PAGE=5>\r\n"
                                                      "<BOOKMARK LEVEL=2 DESCR=\"Two.2\" PAGE=7>\r\n"
                                                      "<BOOKMARK LEVEL=1 DESCR=\"One \"quoted\"\" PAGE=3>\r\n"
                                                      "<BOOKMARK LEVEL=1 DESCR=\"Nowhere\" PAGE=>\r\n"
                                                      "<BOOKMARK LEVEL=1 DESCR=\"Past\" PAGE=40>\r\n");
    ASSERT_EQ(outline.size(), 6u);
    EXPECT_EQ(outline[3].title, "One \"quoted\"");
    // Pages before the first bookmark are a part of their own; a page opened by a bookmark and
    // its child starts one part, named after the first of them.
    EXPECT_THAT(pagesOf(bookmarkParts(outline, 1, 9, "doc")),
                ElementsAre("1-2 doc", "3-4 One \"quoted\"", "5-9 Two"));
    EXPECT_THAT(pagesOf(bookmarkParts(outline, 2, 9, "doc")),
                ElementsAre("1-2 doc", "3-4 One \"quoted\"", "5-6 Two", "7-9 Two.2"));
    EXPECT_THAT(bookmarkParts(readListing("<BOOKMARK LEVEL=2 DESCR=\"x\" PAGE=2>"), 1, 9, "doc"), IsEmpty());
}

TEST(SplitPlan, TitlesBecomeNamesEveryFileSystemTakes) {
    EXPECT_EQ(safeFileName("Costs/Benefits\\2024"), "Costs-Benefits-2024");
    EXPECT_EQ(safeFileName("What? \"Now\": <a|b>*"), "What_ _Now__ _a_b__");
    EXPECT_EQ(safeFileName("  Tab\there\r\nand  more  "), "Tab here and more");
    EXPECT_EQ(safeFileName("../../etc/passwd"), "-..-etc-passwd");
    EXPECT_EQ(safeFileName(".hidden."), "hidden");
    EXPECT_EQ(safeFileName(".."), "part");
    EXPECT_EQ(safeFileName(""), "part");
    EXPECT_EQ(safeFileName("Ελληνικά 日本語"), "Ελληνικά 日本語");
    EXPECT_EQ(safeFileName("Latin-1 \xE9t\xE9"), "Latin-1 _t_");
    // Cut between characters, never inside one.
    std::string longTitle;
    for (int i = 0; i < 100; ++i) {
        longTitle += "日";
    }
    const std::string cut = safeFileName(longTitle);
    EXPECT_LE(cut.size(), kMaxTitleBytes);
    EXPECT_EQ(cut.size() % 3, 0u);

    const std::vector<Part> titled(3, Part{"1", "Same"});
    EXPECT_THAT(partFileNames(titled, "doc"), ElementsAre("01 Same.pdf", "02 Same.pdf", "03 Same.pdf"));
    const std::vector<Part> many(120, Part{"1", ""});
    const auto names = partFileNames(many, "report");
    EXPECT_EQ(names.front(), "report-001.pdf");
    EXPECT_EQ(names.back(), "report-120.pdf");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

// What qpdf's JSON says of a PDF: its outline as "LEVEL title -> page" lines, depth first.
std::vector<std::string> outlineOf(const std::string& pdf) {
    const ToolResult r = run("qpdf --json --json-key=outlines " + quote(pdf));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> out;
    std::function<void(const JSON&, int)> walk = [&](const JSON& items, int level) {
        items.forEachArrayItem([&](JSON item) {
            std::string title, page = "none";
            item.forEachDictItem([&](const std::string& key, JSON value) {
                if (key == "title") {
                    value.getString(title);
                } else if (key == "destpageposfrom1") {
                    value.getNumber(page);
                }
            });
            out.push_back(std::to_string(level) + " " + title + " -> " + page);
            item.forEachDictItem([&](const std::string& key, JSON value) {
                if (key == "kids") {
                    walk(value, level + 1);
                }
            });
        });
    };
    JSON::parse(r.output).forEachDictItem([&](const std::string& key, JSON value) {
        if (key == "outlines") {
            walk(value, 1);
        }
    });
    return out;
}

// The page label ranges of a PDF as qpdf's JSON gives them: "index style start".
std::vector<std::string> labelsOf(const std::string& pdf) {
    const ToolResult r = run("qpdf --json --json-key=pagelabels " + quote(pdf));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::vector<std::string> out;
    JSON::parse(r.output).forEachDictItem([&](const std::string& key, JSON value) {
        if (key != "pagelabels") {
            return;
        }
        value.forEachArrayItem([&](JSON range) {
            std::string index, style = "-", start = "1";
            range.forEachDictItem([&](const std::string& k, JSON v) {
                if (k == "index") {
                    v.getNumber(index);
                } else if (k == "label") {
                    v.forEachDictItem([&](const std::string& lk, JSON lv) {
                        if (lk == "/S") {
                            lv.getString(style);
                        } else if (lk == "/St") {
                            lv.getNumber(start);
                        }
                    });
                }
            });
            out.push_back(index + " " + style + " " + start);
        });
    });
    return out;
}

// The names in a folder, sorted, hidden ones included.
std::vector<std::string> namesIn(const fs::path& folder) {
    std::vector<std::string> names;
    if (fs::exists(folder)) {
        for (const auto& e : fs::directory_iterator(folder)) {
            names.push_back(e.path().filename().string());
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

class Split : public ::testing::Test {
protected:
    // Seven pages "doc 1".."doc 7" labelled i, ii, 1, 2, ...; bookmarks at pages 1, 3 (with a
    // child at 4) and 6; page 2 links to page 3 and page 5 to page 1.
    std::string document() {
        PdfSpec layout;
        for (int i = 1; i <= 7; ++i) {
            layout.pageTexts.push_back("doc " + std::to_string(i));
        }
        layout.bookmarks = {{"Front", 1}, {"Costs/Benefits", 3}, {"Details", 4, 2}, {"Ελληνικά 日本", 6}};
        layout.linkTo = {0, 3, 0, 0, 1, 0, 0};
        const std::string plain = makePdf(dir.path("plain.pdf"), layout);
        return editPdf(plain, dir.path("doc.pdf"), [](QPDF& pdf) {
            pdf.getRoot().replaceKey("/PageLabels",
                                     QPDFObjectHandle::parse("<< /Nums [0 << /S /r >> 2 << /S /D >>] >>"));
        });
    }
    int linksOn(const std::string& pdf, int page) {
        QPDF q;
        q.processFile(pdf.c_str());
        QPDFObjectHandle annots = pageOf(q, page - 1).getKey("/Annots");
        return annots.isArray() ? annots.getArrayNItems() : 0;
    }
    TempDir dir;
};

TEST_F(Split, EveryNPagesCarriesTheOutlineLabelsAndLinksOfEachPart) {
    document();
    const Result r = runPlait({"split", "doc.pdf", "-o", "parts", "--every", "3"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(lines(r.out), ElementsAre("parts/doc-01.pdf", "parts/doc-02.pdf", "parts/doc-03.pdf"));
    EXPECT_THAT(namesIn(dir.path("parts")), ElementsAre("doc-01.pdf", "doc-02.pdf", "doc-03.pdf"));
    const std::string one = dir.path("parts/doc-01.pdf").string();
    const std::string two = dir.path("parts/doc-02.pdf").string();
    const std::string three = dir.path("parts/doc-03.pdf").string();
    for (const auto& part : {one, two, three}) {
        EXPECT_EQ(run("qpdf --check " + quote(part)).exitCode, 0) << part;
    }
    const auto texts = pageTexts(two);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_THAT(texts[0], HasSubstr("doc 4"));
    EXPECT_THAT(texts[2], HasSubstr("doc 6"));
    EXPECT_EQ(pageCount(three), 1);

    // Only the bookmarks that open a page of the part, at the part's own pages; a parent whose
    // page is elsewhere stays as long as a child of it is here.
    EXPECT_THAT(outlineOf(one), ElementsAre("1 Front -> 1", "1 Costs/Benefits -> 3"));
    EXPECT_THAT(outlineOf(two),
                ElementsAre("1 Costs/Benefits -> none", "2 Details -> 1", "1 Ελληνικά 日本 -> 3"));
    EXPECT_THAT(outlineOf(three), IsEmpty());
    // The labels go on where they were: i ii 1 | 2 3 4 | 5.
    EXPECT_THAT(labelsOf(one), ElementsAre("0 /r 1", "2 /D 1"));
    EXPECT_THAT(labelsOf(two), ElementsAre("0 /D 2"));
    EXPECT_THAT(labelsOf(three), ElementsAre("0 /D 5"));
    // A link within the part stays; one to a page of another part goes.
    EXPECT_EQ(linksOn(one, 2), 1);
    EXPECT_EQ(linksOn(two, 2), 0);
}

TEST_F(Split, AtBookmarksNamesThePartsAfterTheirTitles) {
    PdfSpec layout;
    for (int i = 1; i <= 6; ++i) {
        layout.pageTexts.push_back("page " + std::to_string(i));
    }
    layout.bookmarks = {
        {"Costs/Benefits", 2}, {"Same", 3}, {"Same", 5}, {"Ελληνικά 日本", 6}, {"Deep", 6, 2}};
    makePdf(dir.path("book.pdf"), layout);
    const Result r = runPlait({"split", "book.pdf", "-o", "out/chapters", "--bookmarks", "1"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(namesIn(dir.path("out/chapters")),
                ElementsAre("01 book.pdf", "02 Costs-Benefits.pdf", "03 Same.pdf", "04 Same.pdf",
                            "05 Ελληνικά 日本.pdf"));
    const fs::path folder = dir.path("out/chapters");
    EXPECT_EQ(pageCount((folder / "01 book.pdf").string()), 1);
    EXPECT_EQ(pageCount((folder / "03 Same.pdf").string()), 2);
    EXPECT_THAT(pageTexts((folder / "04 Same.pdf").string())[0], HasSubstr("page 5"));
    EXPECT_THAT(outlineOf((folder / "05 Ελληνικά 日本.pdf").string()),
                ElementsAre("1 Ελληνικά 日本 -> 1", "2 Deep -> 1"));
    EXPECT_THAT(outlineOf((folder / "02 Costs-Benefits.pdf").string()), ElementsAre("1 Costs/Benefits -> 1"));
    for (const auto& name : namesIn(folder)) {
        EXPECT_EQ(run("qpdf --check " + quote((folder / name).string())).exitCode, 0) << name;
    }

    // A level deeper splits at the child too.
    ASSERT_EQ(runPlait({"split", "book.pdf", "-o", "deep", "--bookmarks", "2"}, dir.root()).exitCode, 0);
    EXPECT_EQ(namesIn(dir.path("deep")).size(), 5u); // "Deep" shares its page with its parent
}

TEST_F(Split, ByRangesAndBySize) {
    document();
    Result r = runPlait({"split", "doc.pdf", "-o", ".", "--ranges", "5-z;1-2;3:90"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(pageTexts(dir.path("doc-01.pdf").string())[0], HasSubstr("doc 5"));
    EXPECT_EQ(pageCount(dir.path("doc-01.pdf").string()), 3);
    EXPECT_EQ(pageCount(dir.path("doc-02.pdf").string()), 2);
    EXPECT_THAT(run("pdfinfo -f 1 -l 1 " + quote(dir.path("doc-03.pdf").string())).output,
                ::testing::ContainsRegex("Page +1 rot: +90"));

    // Parts as large as fit: each at most the size, unless a page alone is larger; together
    // every page once, in order.
    // Letters that do not compress much, so that each page weighs a few kilobytes.
    PdfSpec big;
    unsigned seed = 1;
    for (int i = 1; i <= 12; ++i) {
        std::string letters;
        for (int k = 0; k < 3000; ++k) {
            seed = seed * 1103515245u + 12345u;
            letters += static_cast<char>('a' + (seed >> 16) % 26);
        }
        big.pageTexts.push_back("big " + std::to_string(i) + " " + letters);
    }
    makePdf(dir.path("big.pdf"), big);
    const double limitMb = 0.012;
    r = runPlait({"split", "big.pdf", "-o", "sized", "--max-size", "0.012"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto parts = namesIn(dir.path("sized"));
    ASSERT_GE(parts.size(), 2u);
    std::vector<std::string> texts;
    for (const auto& name : parts) {
        const std::string part = dir.path("sized/" + name).string();
        EXPECT_EQ(run("qpdf --check " + quote(part)).exitCode, 0) << name;
        const auto size = static_cast<double>(fs::file_size(part));
        EXPECT_TRUE(size <= limitMb * 1024 * 1024 || pageCount(part) == 1) << name << " " << size;
        for (const auto& t : pageTexts(part)) {
            texts.push_back(t);
        }
    }
    ASSERT_EQ(texts.size(), 12u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_THAT(texts[static_cast<std::size_t>(i)], HasSubstr("big " + std::to_string(i + 1) + " "));
    }
}

TEST_F(Split, AFailedOrCancelledSplitLeavesNothing) {
    document();
    // The last part's name is taken by a folder that cannot be replaced: the parts already
    // renamed are taken back, and no hidden part stays.
    fs::create_directories(dir.path("parts/doc-03.pdf/inside"));
    Result r = runPlait({"split", "doc.pdf", "-o", "parts", "--every", "3"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("nothing was written"));
    EXPECT_THAT(namesIn(dir.path("parts")), ElementsAre("doc-03.pdf"));

    // Bad arguments and an input that cannot be read make no folder.
    EXPECT_EQ(runPlait({"split", "doc.pdf", "-o", "x", "--every", "0"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"split", "doc.pdf", "-o", "x", "--every", "2", "--ranges", "1"}, dir.root()).exitCode,
              2);
    EXPECT_EQ(runPlait({"split", "doc.pdf", "-o", "x", "--ranges", "1-3;9"}, dir.root()).exitCode, 2);
    EXPECT_EQ(runPlait({"split", "missing.pdf", "-o", "x", "--every", "2"}, dir.root()).exitCode, 1);
    EXPECT_FALSE(fs::exists(dir.path("x")));
    makePdf(dir.path("bare.pdf"), "bare", 2);
    r = runPlait({"split", "bare.pdf", "-o", "y/z", "--bookmarks", "1"}, dir.root());
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_THAT(r.err, HasSubstr("no bookmark"));
    EXPECT_FALSE(fs::exists(dir.path("y")));

    // Interrupted while a part is being built: no part, and the folders it made are gone.
    Plait plait(dir.root(), {"split", "doc.pdf", "-o", "new/cut", "--every", "2"}, "cancellable");
    bool building = false;
    for (int i = 0; i < 3000 && !building; ++i) {
        for (const auto& name : namesIn(dir.path("new/cut"))) {
            building = building || name.find(".plait-") != std::string::npos;
        }
        if (!building) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ASSERT_TRUE(building);
    plait.signal(SIGINT);
    const int status = plait.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_THAT(plait.errors(), HasSubstr("cancelled; nothing was written"));
    EXPECT_FALSE(fs::exists(dir.path("new")));
}

TEST_F(Split, BatchJobsSplitToo) {
    document();
    writeFile(dir.path("jobs.jsonl"),
              "{\"output\": \"by3\", \"inputs\": [\"doc.pdf\"], \"split\": {\"every\": 3}}\n"
              "{\"output\": \"out.pdf\", \"inputs\": [\"doc.pdf\"]}\n"
              "{\"output\": \"halves\", \"inputs\": [\"doc.pdf\"], \"split\": {\"ranges\": \"1-4;5-z\"}}\n");
    Result r = runPlait({"batch", "jobs.jsonl", "-q", "--report", "report.jsonl"}, dir.root());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(namesIn(dir.path("by3")), ElementsAre("doc-01.pdf", "doc-02.pdf", "doc-03.pdf"));
    EXPECT_THAT(namesIn(dir.path("halves")), ElementsAre("doc-01.pdf", "doc-02.pdf"));
    EXPECT_EQ(pageCount(dir.path("halves/doc-02.pdf").string()), 3);
    EXPECT_EQ(pageCount(dir.path("out.pdf").string()), 7);
    EXPECT_THAT(readFile(dir.path("report.jsonl")), HasSubstr("\"output\":\"by3\",\"status\":\"ok\""));

    // A split job cuts one input as it is; anything else is refused before anything runs.
    writeFile(
        dir.path("bad.jsonl"),
        "{\"output\": \"a\", \"inputs\": [\"doc.pdf\", \"doc.pdf\"], \"split\": {\"every\": 3}}\n"
        "{\"output\": \"b\", \"inputs\": [\"doc.pdf\"], \"split\": {\"every\": 0}}\n"
        "{\"output\": \"c\", \"inputs\": [\"doc.pdf\"], \"split\": {\"every\": 2, \"ranges\": \"1\"}}\n"
        "{\"output\": \"d\", \"inputs\": [{\"file\": \"doc.pdf\", \"pages\": \"1\"}], \"split\": {\"every\": "
        "1}}\n"
        "{\"output\": \"e\", \"inputs\": [\"doc.pdf\"], \"mode\": \"overlay\", \"split\": {\"every\": 1}}\n");
    r = runPlait({"batch", "bad.jsonl"}, dir.root());
    EXPECT_EQ(r.exitCode, 2);
    for (const char* line : {"line 1:", "line 2:", "line 3:", "line 4:", "line 5:"}) {
        EXPECT_THAT(r.err, HasSubstr(line));
    }
    for (const char* folder : {"a", "b", "c", "d", "e"}) {
        EXPECT_FALSE(fs::exists(dir.path(folder))) << folder;
    }
}

} // namespace

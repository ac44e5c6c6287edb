// Hostile outlines, name trees, page lists and long loops: each costs time and memory in
// proportion to the file, and a cancel reaches every loop that grows with the input.

#include "Fixtures.h"
#include "engine/Results.h"
#include "pdfengine/Cancel.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/PageCount.h"
#include "pdfengine/PageList.h"
#include "pdfengine/compose/Compose.h"
#include "pdfengine/marking/TextMarking.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDF.hh>

#include <gtest/gtest.h>

namespace plait::pdf::testing {
namespace {

// Seven objects: catalog, page tree, one page with its content, the outline root and two
// items. `catalogExtra` and the item bodies make each kind of damage.
std::string
sevenObjects(const fs::path& path, const std::string& item6, const std::string& item7,
             const std::string& catalogExtra = "",
             const std::string& outlines = "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>") {
    const std::string content = "BT /F1 12 Tf 72 700 Td (Hello) Tj ET";
    return rawPdf(
        path, {
                  "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R " + catalogExtra + " >>",
                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R "
                  "/Resources << /Font << /F1 << /Type /Font /Subtype /Type1 /BaseFont /Helvetica >> "
                  ">> >> >>",
                  "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
                  outlines,
                  item6,
                  item7,
              });
}

std::string listBookmarks(const std::string& in) {
    Build list;
    list.call("setOutFile", {"membuild"}).call("setInFile", {in}).call("setBookmarkOut");
    return list.run();
}

// Keeps the bookmarks of `in` in a two-input merge; returns the output's path.
std::string keepBookmarks(const TempDir& dir, const std::string& in) {
    const auto other = makePdf(dir.path("other.pdf"), "other", 1);
    const auto out = dir.path("out.pdf").string();
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {in + "," + other}).call("setBookmarkKeep");
    EXPECT_EQ(build.run(), "2");
    return out;
}

TEST(HostileOutlines, AnItemThatIsItsOwnNextIsReadOnce) {
    TempDir dir;
    const auto in = sevenObjects(dir.path("self.pdf"),
                                 "<< /Title (Self) /Parent 5 0 R /Next 6 0 R /Dest [3 0 R /Fit] >>", "<< >>");
    // The input itself is sound as far as the checker is concerned.
    ASSERT_EQ(run("qpdf --check " + quote(in)).exitCode, 0);
    EXPECT_EQ(listBookmarks(in), "<BOOKMARK LEVEL=1 DESCR=\"Self\" PAGE=1>\r\n");
    const auto out = keepBookmarks(dir, in);
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    QPDF q;
    q.processFile(out.c_str());
    QPDFObjectHandle first = q.getRoot().getKey("/Outlines").getKey("/First");
    EXPECT_EQ(first.getKey("/Title").getUTF8Value(), "Self");
    EXPECT_FALSE(first.hasKey("/Next"));
}

TEST(HostileOutlines, ChainsAndChildrenThatLeadBackAreCut) {
    TempDir dir;
    // 6 -> 7 -> 6 along /Next.
    const auto chain =
        sevenObjects(dir.path("chain.pdf"), "<< /Title (A) /Parent 5 0 R /Next 7 0 R /Dest [3 0 R /Fit] >>",
                     "<< /Title (B) /Parent 5 0 R /Prev 6 0 R /Next 6 0 R >>");
    EXPECT_EQ(listBookmarks(chain), "<BOOKMARK LEVEL=1 DESCR=\"A\" PAGE=1>\r\n"
                                    "<BOOKMARK LEVEL=1 DESCR=\"B\" PAGE=>\r\n");
    EXPECT_EQ(run("qpdf --check " + quote(keepBookmarks(dir, chain))).exitCode, 0);

    // 7 is the child of 6, and names its parent and the outline root as its own children.
    TempDir dir2;
    const auto nest = sevenObjects(dir2.path("nest.pdf"),
                                   "<< /Title (Parent) /Parent 5 0 R /First 7 0 R /Last 7 0 R /Count 1 >>",
                                   "<< /Title (Child) /Parent 6 0 R /First 6 0 R /Next 5 0 R /Count 1 >>");
    EXPECT_EQ(listBookmarks(nest), "<BOOKMARK LEVEL=1 DESCR=\"Parent\" PAGE=>\r\n"
                                   "<BOOKMARK LEVEL=2 DESCR=\"Child\" PAGE=>\r\n");
    EXPECT_EQ(run("qpdf --check " + quote(keepBookmarks(dir2, nest))).exitCode, 0);
}

TEST(HostileOutlines, ADeepOutlineStopsAtTheDepthLimitWithoutRecursing) {
    TempDir dir;
    // Object 5 is the root; items 6.. each hold the next as their only child.
    constexpr int kItems = 20'000;
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R /Outlines 5 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
        "<< /Length 0 >>\nstream\n\nendstream", "<< /Type /Outlines /First 6 0 R /Last 6 0 R /Count 1 >>"};
    for (int i = 0; i < kItems; ++i) {
        const int self = 6 + i;
        std::string item =
            "<< /Title (L" + std::to_string(i + 1) + ") /Parent " + std::to_string(self - 1) + " 0 R";
        if (i + 1 < kItems) {
            item += " /First " + std::to_string(self + 1) + " 0 R /Last " + std::to_string(self + 1) +
                    " 0 R /Count 1";
        }
        objects.push_back(item + " >>");
    }
    const auto in = rawPdf(dir.path("deep.pdf"), objects);
    const std::string tags = listBookmarks(in);
    const auto parsed = engine::TagReader::parseAll(tags);
    ASSERT_EQ(parsed.size(), 100u);
    EXPECT_NE(tags.find("LEVEL=100 DESCR=\"L100\""), std::string::npos);
    EXPECT_EQ(run("qpdf --check " + quote(keepBookmarks(dir, in))).exitCode, 0);
}

TEST(HostileOutlines, NamedDestinationsInALoopingNameTreeStillResolve) {
    TempDir dir;
    // The name tree's only node is its own kid, and the outline item and the page's link both
    // go by name.
    const std::string tree = "<< /Names [(chapter) [3 0 R /XYZ 0 700 0]] /Kids [7 0 R] >>";
    const auto in = sevenObjects(dir.path("names.pdf"), "<< /Title (Named) /Parent 5 0 R /Dest (chapter) >>",
                                 tree, "/Names << /Dests 7 0 R >>");
    EXPECT_EQ(listBookmarks(in), "<BOOKMARK LEVEL=1 DESCR=\"Named\" PAGE=1>\r\n");
    const auto out = keepBookmarks(dir, in);
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    QPDF q;
    q.processFile(out.c_str());
    QPDFObjectHandle dest = q.getRoot().getKey("/Outlines").getKey("/First").getKey("/Dest");
    ASSERT_TRUE(dest.isArray());
    EXPECT_EQ(dest.getArrayItem(0).getObjGen(), q.getAllPages().front().getObjGen());

    // Two nodes that name each other as kids, with the name in neither: the bookmark is kept
    // and jumps nowhere.
    TempDir dir2;
    const auto loop = sevenObjects(dir2.path("loop.pdf"), "<< /Title (Lost) /Parent 5 0 R /Dest (missing) >>",
                                   "<< /Kids [7 0 R 5 0 R 1 0 R] >>", "/Names << /Dests 7 0 R >>");
    EXPECT_EQ(listBookmarks(loop), "<BOOKMARK LEVEL=1 DESCR=\"Lost\" PAGE=>\r\n");
}

TEST(HostilePageTrees, APageTreeNestedWithoutEndIsRefusedNamingTheFile) {
    TempDir dir;
    // qpdf lists pages recursively: a hundred thousand levels would overflow its stack.
    constexpr int kLevels = 100'000;
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int i = 0; i < kLevels; ++i) {
        objects.push_back("<< /Type /Pages /Kids [" + std::to_string(i + 3) + " 0 R] /Count 1 >>");
    }
    objects.push_back("<< /Type /Page /MediaBox [0 0 612 792] >>");
    const auto in = rawPdf(dir.path("deep.pdf"), objects);
    const auto out = dir.path("out.pdf");
    Build build;
    build.call("setOutFile", {out.string()}).call("setInFile", {in});
    EXPECT_EQ(build.run(), "-4");
    EXPECT_TRUE(build.warned("deep.pdf")) << ::testing::PrintToString(build.engine.warnings());
    EXPECT_TRUE(build.warned("nested more than 1000 levels"));
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root()), fs::directory_iterator()), 1);
    EXPECT_EQ(listBookmarks(in), "-4");

    // A tree of ordinary depth still reads.
    TempDir dir2;
    std::vector<std::string> shallow = {"<< /Type /Catalog /Pages 2 0 R >>"};
    for (int i = 0; i < 50; ++i) {
        shallow.push_back("<< /Type /Pages /Kids [" + std::to_string(i + 3) + " 0 R] /Count 1 >>");
    }
    shallow.push_back("<< /Type /Page /MediaBox [0 0 612 792] >>");
    Build ok;
    ok.call("setOutFile", {dir2.path("out.pdf").string()})
        .call("setInFile", {rawPdf(dir2.path("ok.pdf"), shallow)});
    EXPECT_EQ(ok.run(), "1");
}

// A check that answers "cancel" from its first call on.
struct AlwaysCancelled : CancelScope {
    AlwaysCancelled() : CancelScope([] { return true; }) {}
};

TEST(CancelChecks, TextMarkingOfAHugeTextStopsWhenCancelled) {
    TempDir dir;
    std::string words;
    for (int i = 0; i < 2000; ++i) {
        words += "word ";
    }
    PdfSpec layout;
    layout.pageTexts = {words.substr(0, 400), words.substr(0, 400)};
    const auto in = makePdf(dir.path("words.pdf"), layout);
    QPDF pdf;
    pdf.processFile(in.c_str());
    TextMarking marking;
    marking.find = "word";
    std::vector<std::string> notes;
    const auto openFiles = [] { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); };
    const auto before = openFiles();
    {
        AlwaysCancelled cancel;
        EXPECT_THROW(applyTextMarking(pdf, marking, notes), BuildCancelled);
    }
    EXPECT_EQ(openFiles(), before) << "the copy searched for the text is let go";
    // Outside a build nothing asks to stop, and the same marking runs to the end.
    EXPECT_GT(applyTextMarking(pdf, marking, notes), 0);
}

TEST(CancelChecks, ImpositionAndOverlayStopWhenCancelled) {
    TempDir dir;
    const auto in = makePdf(dir.path("many.pdf"), "p", 40);
    QPDF pdf;
    pdf.processFile(in.c_str());
    ComposeOptions options;
    options.imposition = ComposeOptions::Imposition::OnePageScaled;
    std::vector<OutlineNode> outline;
    std::vector<std::string> notes;
    {
        AlwaysCancelled cancel;
        EXPECT_THROW(imposePages(pdf, options, outline, notes), BuildCancelled);
        options.imposition = ComposeOptions::Imposition::None;
        EXPECT_THROW(overlayInputs(pdf, options, {{"a", 0, 20}, {"b", 20, 20}}, outline, notes),
                     BuildCancelled);
    }
}

TEST(CancelChecks, ABuildCancelledBeforeItStartsWritesNothing) {
    TempDir dir;
    const auto in = makePdf(dir.path("a.pdf"), "a", 3);
    const auto out = dir.path("out.pdf");
    Build build;
    build.call("setOutFile", {out.string()}).call("setInFile", {in});
    build.engine.setCancelBuild(1);
    EXPECT_EQ(build.run(), engine::kCancelledResult);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root()), fs::directory_iterator()), 1);
}

TEST(PageListBounds, AListThatRepeatsWithoutEndIsCut) {
    std::string text;
    for (int i = 0; i < 200'000; ++i) {
        text += "1-3,";
    }
    std::vector<std::string> notes;
    const PageList list = PageList::parse(text, notes);
    EXPECT_TRUE(notes.empty());
    const auto pages = list.resolve(3);
    EXPECT_EQ(pages.size(), PageList::kMaxPages);
    EXPECT_EQ(pages[3], 0);
    // Odd and even items stop at the bound too.
    std::string odd;
    for (int i = 0; i < 5; ++i) {
        odd += "odd,";
    }
    EXPECT_EQ(PageList::parse(odd, notes).resolve(60'000).size(), PageList::kMaxPages);
}

// Flate-compressed `bytes`.
std::string deflated(const std::string& bytes) {
    Pl_Buffer buffer("deflated");
    Pl_Flate flate("deflate", &buffer, Pl_Flate::a_deflate);
    flate.write(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    flate.finish();
    auto data = buffer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
}

// A page whose content is `megabytes` of blanks compressed twice: a few kilobytes that a
// viewer inflates to all of it.
std::string flateBomb(const fs::path& path, std::size_t megabytes) {
    Pl_Buffer once("once");
    Pl_Flate flate("deflate", &once, Pl_Flate::a_deflate);
    const std::string blanks(1 << 20, ' ');
    for (std::size_t i = 0; i < megabytes; ++i) {
        flate.write(reinterpret_cast<const unsigned char*>(blanks.data()), blanks.size());
    }
    flate.finish();
    auto data = once.getBufferSharedPointer();
    const std::string twice =
        deflated(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
    return rawPdf(path, {
                            "<< /Type /Catalog /Pages 2 0 R >>",
                            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R >>",
                            "<< /Length " + std::to_string(twice.size()) +
                                " /Filter [/FlateDecode /FlateDecode] >>\nstream\n" + twice + "\nendstream",
                        });
}

// A preview is measured before a viewer draws it: a page that inflates past the budget is
// too large, whatever its size on disk; a plain page fits.
TEST(HostilePreviews, APageThatInflatesPastTheBudgetIsTooLargeToPreview) {
    TempDir dir;
    const std::string bomb = flateBomb(dir.path("bomb.pdf"), 64);
    ASSERT_LT(fs::file_size(bomb), 64u << 10);
    const PreviewProbe tooLarge = probePreview(bomb, 16u << 20);
    EXPECT_EQ(tooLarge.outcome, PreviewProbe::Outcome::TooLarge);
    EXPECT_EQ(tooLarge.reason, "it decodes to more than 16 MB");
    EXPECT_EQ(probePreview(bomb, 128u << 20).outcome, PreviewProbe::Outcome::Fits);
    EXPECT_EQ(probePreview(makePdf(dir.path("a.pdf"), "a", 30), 1u << 20).outcome,
              PreviewProbe::Outcome::Fits);
    writeFile(dir.path("not.pdf"), "not a PDF");
    EXPECT_EQ(probePreview(dir.path("not.pdf").string(), 1u << 20).outcome,
              PreviewProbe::Outcome::Unreadable);
}

} // namespace
} // namespace plait::pdf::testing

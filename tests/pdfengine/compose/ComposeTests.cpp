// Overlay, repeat, reverse overlay, transparency and blend modes, and imposition, checked on
// rendered pixels, extracted text and page sizes of real builds.

#include "pdfengine/Fixtures.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <qpdf/QUtil.hh>

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fstream>

namespace plait::pdf::testing {
namespace {

using ::testing::HasSubstr;

// A filled rectangle in points (user space, y up) and an RGB colour 0..1.
struct Fill {
    double x, y, w, h;
    std::array<double, 3> rgb;
};
struct ColorPage {
    std::vector<Fill> fills;
    std::string word;
    double width = 612, height = 792;
};

std::string makeColorPdf(const fs::path& path, const std::vector<ColorPage>& pages) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle font = pdf.makeIndirectObject(QPDFObjectHandle::parse(
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
    QPDFPageDocumentHelper helper(pdf);
    const auto n = [](double v) { return QUtil::double_to_string(v, 3, true); };
    for (const auto& p : pages) {
        std::string content;
        for (const auto& f : p.fills) {
            content += n(f.rgb[0]) + " " + n(f.rgb[1]) + " " + n(f.rgb[2]) + " rg " + n(f.x) + " " + n(f.y) +
                       " " + n(f.w) + " " + n(f.h) + " re f\n";
        }
        if (!p.word.empty()) {
            content += "0 0 0 rg BT /F1 14 Tf 20 20 Td (" + p.word + ") Tj ET\n";
        }
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
        page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle({0, 0, p.width, p.height}));
        page.replaceKey("/Resources", QPDFObjectHandle::parse("<< /Font << >> >>"));
        page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, content));
        helper.addPage(QPDFPageObjectHelper(page), false);
    }
    QPDFWriter w(pdf, path.c_str());
    w.setStaticID(true);
    w.write();
    return path.string();
}

struct Rgb {
    int r, g, b;
};
std::ostream& operator<<(std::ostream& os, const Rgb& c) {
    return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}
bool near(const Rgb& c, int r, int g, int b, int tolerance = 12) {
    return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

// Renders one page at 20 dpi and reads the colour at (x, y) points from the bottom-left.
class Rendered {
public:
    Rendered(const std::string& pdf, int page, const fs::path& scratch) {
        const std::string stem = (scratch / ("render-" + std::to_string(page))).string();
        const auto r = run("pdftoppm -r 20 -singlefile -f " + std::to_string(page) + " -l " +
                           std::to_string(page) + " " + quote(pdf) + " " + quote(stem));
        EXPECT_EQ(r.exitCode, 0) << r.output;
        std::ifstream in(stem + ".ppm", std::ios::binary);
        std::string magic;
        int maxValue = 0;
        in >> magic >> width_ >> height_ >> maxValue;
        in.get();
        pixels_.resize(static_cast<std::size_t>(width_ * height_ * 3));
        in.read(reinterpret_cast<char*>(pixels_.data()), static_cast<std::streamsize>(pixels_.size()));
    }
    Rgb at(double xPt, double yPt) const {
        const int x = std::clamp(static_cast<int>(xPt * 20 / 72), 0, width_ - 1);
        const int y = std::clamp(height_ - 1 - static_cast<int>(yPt * 20 / 72), 0, height_ - 1);
        const std::size_t i = static_cast<std::size_t>((y * width_ + x) * 3);
        return {pixels_[i], pixels_[i + 1], pixels_[i + 2]};
    }
    int width() const { return width_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<unsigned char> pixels_;
};

const std::array<double, 3> kRed{1, 0, 0}, kBlue{0, 0, 1}, kYellow{1, 1, 0}, kCyan{0, 1, 1};

struct PageBox {
    double width, height;
};
std::vector<PageBox> pageSizes(const std::string& pdf) {
    QPDF q;
    q.processFile(pdf.c_str());
    std::vector<PageBox> sizes;
    for (auto& p : q.getAllPages()) {
        auto r = QPDFPageObjectHelper(p).getMediaBox().getArrayAsRectangle();
        sizes.push_back({r.urx - r.llx, r.ury - r.lly});
    }
    return sizes;
}

void expectValid(const std::string& pdf) {
    const auto check = run("qpdf --check " + quote(pdf));
    EXPECT_EQ(check.exitCode, 0) << check.output;
}

class Compose : public ::testing::Test {
protected:
    TempDir dir;
    std::string out = dir.path("out.pdf").string();
    // Base: two pages with red on the left half; overlay: one page with blue on the right half.
    std::string base = makeColorPdf(
        dir.path("base.pdf"), {{{{0, 0, 306, 792, kRed}}, "BaseOne"}, {{{0, 0, 306, 792, kRed}}, "BaseTwo"}});
    std::string letterhead =
        makeColorPdf(dir.path("over.pdf"), {{{{306, 400, 306, 392, kBlue}}, "Letterhead"}});
};

TEST_F(Compose, OverlayLaysPageOnPageAndRepeatLaysItOnEveryPage) {
    Build once;
    once.call("setOutFile", {out}).call("setInFile", {base + "," + letterhead}).call("setOverlay");
    ASSERT_EQ(once.run(), "2");
    expectValid(out);
    {
        Rendered p1(out, 1, dir.root()), p2(out, 2, dir.root());
        EXPECT_TRUE(near(p1.at(100, 600), 255, 0, 0)) << p1.at(100, 600);
        EXPECT_TRUE(near(p1.at(500, 600), 0, 0, 255)) << p1.at(500, 600);
        // The overlay has one page: the second base page stays as it was.
        EXPECT_TRUE(near(p2.at(500, 600), 255, 255, 255)) << p2.at(500, 600);
    }
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_THAT(texts[0], HasSubstr("BaseOne"));
    EXPECT_THAT(texts[0], HasSubstr("Letterhead"));
    EXPECT_THAT(texts[1], ::testing::Not(HasSubstr("Letterhead")));

    Build repeated;
    repeated.call("setOutFile", {out})
        .call("setInFile", {base + "," + letterhead})
        .call("setOverlay")
        .call("setRepeat");
    ASSERT_EQ(repeated.run(), "2");
    Rendered p2(out, 2, dir.root());
    EXPECT_TRUE(near(p2.at(500, 600), 0, 0, 255)) << p2.at(500, 600);
    EXPECT_TRUE(near(p2.at(100, 600), 255, 0, 0)) << p2.at(100, 600);
    EXPECT_THAT(pageTexts(out)[1], HasSubstr("Letterhead"));
}

// An overlay page's link to an overlay page that was laid on nothing would be left clickable
// with no target: it goes, while a link to a page that was laid on stays.
TEST_F(Compose, OverlayLinksWhoseTargetShowsNowhereGo) {
    PdfSpec layout;
    layout.pageTexts = {"OverA", "OverB", "OverC"};
    layout.linkTo = {3, 1, 0}; // A links to C (laid on nothing), B to A
    const auto linked = makePdf(dir.path("linked.pdf"), layout);
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {base + "," + linked}).call("setOverlay");
    ASSERT_EQ(build.run(), "2");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    QPDF pdf;
    pdf.processFile(out.c_str());
    const auto links = [&](int page) {
        std::vector<QPDFObjectHandle> found;
        for (auto annot : pageOf(pdf, page).getKey("/Annots").aitems())
            if (annot.getKey("/Subtype").isNameAndEquals("/Link"))
                found.push_back(annot);
        return found;
    };
    EXPECT_TRUE(links(0).empty());
    auto kept = links(1);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].getKey("/Dest").getArrayItem(0).getObjGen(), pageOf(pdf, 0).getObjGen());
}

TEST_F(Compose, OverlayPagesChooseTheReceivingPagesAndSurplusOverlayPagesAreReported) {
    const auto twoPages = makeColorPdf(dir.path("two.pdf"), {{{{306, 400, 306, 392, kBlue}}, "OverA"},
                                                             {{{306, 400, 306, 392, kBlue}}, "OverB"}});
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {base + "," + twoPages}).call("setOverlay");
    build.call("setOverlayPages", {"2"});
    ASSERT_EQ(build.run(), "2");
    const auto texts = pageTexts(out);
    // Page 2 is the first receiving page: it gets the overlay's first page.
    EXPECT_THAT(texts[0], ::testing::Not(HasSubstr("Over")));
    EXPECT_THAT(texts[1], HasSubstr("OverA"));
    EXPECT_TRUE(build.warned("two.pdf: 1 of its pages had no page to be laid on"));
}

TEST_F(Compose, ReverseOverlayPutsTheOverlayUnderneath) {
    const auto fullBlue = makeColorPdf(dir.path("blue.pdf"), {{{{0, 0, 612, 792, kBlue}}, ""}});
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {base + "," + fullBlue})
        .call("setOverlay")
        .call("setRevOverlay");
    ASSERT_EQ(build.run(), "2");
    expectValid(out);
    Rendered p1(out, 1, dir.root());
    EXPECT_TRUE(near(p1.at(100, 600), 255, 0, 0)) << "base on top: " << p1.at(100, 600);
    EXPECT_TRUE(near(p1.at(500, 600), 0, 0, 255)) << "overlay shows beside it: " << p1.at(500, 600);
}

TEST_F(Compose, TransparencyAndBlendModesMixTheLayers) {
    const auto fullBlue = makeColorPdf(dir.path("blue.pdf"), {{{{0, 0, 612, 792, kBlue}}, ""}});
    Build half;
    half.call("setOutFile", {out}).call("setInFile", {base + "," + fullBlue}).call("setOverlay");
    half.call("setTransparency", {"50", ""});
    ASSERT_EQ(half.run(), "2");
    expectValid(out);
    {
        Rendered p1(out, 1, dir.root());
        EXPECT_TRUE(near(p1.at(100, 600), 128, 0, 128, 20)) << p1.at(100, 600);   // over red
        EXPECT_TRUE(near(p1.at(500, 600), 128, 128, 255, 20)) << p1.at(500, 600); // over white
    }

    // Multiply darkens: yellow over cyan is green, where Normal would show yellow.
    const auto cyan = makeColorPdf(dir.path("cyan.pdf"), {{{{0, 0, 612, 792, kCyan}}, ""}});
    const auto yellow = makeColorPdf(dir.path("yellow.pdf"), {{{{0, 0, 306, 792, kYellow}}, ""}});
    Build multiply;
    multiply.call("setOutFile", {out}).call("setInFile", {cyan + "," + yellow}).call("setOverlay");
    multiply.call("setTransparency", {"", "multiply"});
    ASSERT_EQ(multiply.run(), "1");
    {
        Rendered p1(out, 1, dir.root());
        EXPECT_TRUE(near(p1.at(100, 600), 0, 255, 0)) << p1.at(100, 600);
        EXPECT_TRUE(near(p1.at(500, 600), 0, 255, 255)) << p1.at(500, 600);
    }

    // Reversed, the base is the layer on top that blends.
    Build reversed;
    reversed.call("setOutFile", {out}).call("setInFile", {yellow + "," + cyan}).call("setOverlay");
    reversed.call("setRevOverlay").call("setTransparency", {"0", "Multiply"});
    ASSERT_EQ(reversed.run(), "1");
    Rendered p1(out, 1, dir.root());
    EXPECT_TRUE(near(p1.at(100, 600), 0, 255, 0)) << p1.at(100, 600);
}

TEST_F(Compose, OptionsThatNeedAnOverlayAreReportedInAMerge) {
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {base + "," + letterhead}).call("setRevOverlay");
    build.call("setTransparency", {"150", "Sparkle"});
    ASSERT_EQ(build.run(), "3");
    EXPECT_TRUE(build.warned("Reverse overlay (setRevOverlay) has no effect in a merge"));
    EXPECT_TRUE(build.warned("Transparency (setTransparency) has nothing to blend with in a merge"));
    EXPECT_TRUE(build.warned("unknown blend mode \"Sparkle\""));
    EXPECT_TRUE(build.warned("100 is used"));

    // The output has the base's pages: a base that gives none fails like an empty selection.
    Build empty;
    const auto five = makePdf(dir.path("five.pdf"), "five", 5);
    empty.call("setOutFile", {out}).call("setInFile", {base + "," + five}).call("setOverlay");
    empty.call("setPages", {"5"});
    EXPECT_EQ(empty.run(), "-5");

    Build single;
    single.call("setOutFile", {out}).call("setInFile", {base}).call("setOverlay");
    ASSERT_EQ(single.run(), "2");
    EXPECT_TRUE(single.warned("needs two inputs"));
}

TEST_F(Compose, OverlayLinksAreCopiedToEveryPageAndBookmarksOpenTheBasePage) {
    PdfSpec withLinks;
    withLinks.pageTexts = {"first", "second"};
    withLinks.linkTo = {2, 0};
    const auto linked = makePdf(dir.path("linked.pdf"), withLinks);
    // A letterhead whose link and bookmark open its own (only) page.
    PdfSpec marked;
    marked.pageTexts = {"stamp"};
    marked.bookmarks = {{"Stamp", 1}};
    marked.linkTo = {1};
    const auto stamp = makePdf(dir.path("stamp.pdf"), marked);
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {linked + "," + stamp})
        .call("setOverlay")
        .call("setRepeat")
        .call("setBookmarkKeep");
    ASSERT_EQ(build.run(), "2");
    expectValid(out);
    QPDF q;
    q.processFile(out.c_str());
    auto pages = q.getAllPages();
    const auto target = [](QPDFObjectHandle annot) {
        return annot.getKey("/Dest").getArrayItem(0).getObjGen();
    };
    auto first = pages[0].getKey("/Annots");
    ASSERT_EQ(first.getArrayNItems(), 2);
    EXPECT_EQ(target(first.getArrayItem(0)), pages[1].getObjGen()); // the base's own link
    EXPECT_EQ(target(first.getArrayItem(1)), pages[0].getObjGen()); // the letterhead's
    auto second = pages[1].getKey("/Annots");
    ASSERT_EQ(second.getArrayNItems(), 1);
    EXPECT_EQ(target(second.getArrayItem(0)), pages[0].getObjGen());
    EXPECT_NE(second.getArrayItem(0).getObjGen(), first.getArrayItem(1).getObjGen()); // a copy per page
    EXPECT_EQ(second.getArrayItem(0).getKey("/P").getObjGen(), pages[1].getObjGen());
    auto bookmark = q.getRoot().getKey("/Outlines").getKey("/First");
    EXPECT_EQ(bookmark.getKey("/Dest").getArrayItem(0).getObjGen(), pages[0].getObjGen());
}

TEST_F(Compose, TwoUpPutsPagePairsOnLandscapeSheets) {
    PdfSpec layout;
    layout.pageTexts = {"alpha", "beta", "gamma"};
    layout.linkTo = {3, 0, 0};
    layout.bookmarks = {{"Gamma", 3}};
    const auto three = makePdf(dir.path("three.pdf"), layout);
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {three})
        .call("setImpose", {"2-up"})
        .call("setBookmarkKeep");
    ASSERT_EQ(build.run(), "2");
    expectValid(out);
    for (const auto& size : pageSizes(out)) {
        EXPECT_DOUBLE_EQ(size.width, 792);
        EXPECT_DOUBLE_EQ(size.height, 612);
    }
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_THAT(texts[0], HasSubstr("alpha"));
    EXPECT_THAT(texts[0], HasSubstr("beta"));
    EXPECT_THAT(texts[1], HasSubstr("gamma"));

    QPDF q;
    q.processFile(out.c_str());
    auto sheets = q.getAllPages();
    // The link moved with its page into the left half, and now opens the sheet of page 3.
    auto link = sheets[0].getKey("/Annots").getArrayItem(0);
    EXPECT_EQ(link.getKey("/Dest").getArrayItem(0).getObjGen(), sheets[1].getObjGen());
    auto rect = link.getKey("/Rect").getArrayAsRectangle();
    EXPECT_LT(rect.urx, 396);
    EXPECT_EQ(q.getRoot().getKey("/Outlines").getKey("/First").getKey("/Dest").getArrayItem(0).getObjGen(),
              sheets[1].getObjGen());
}

TEST_F(Compose, OnePageScaledFitsEveryPageOnTheFirstPagesSize) {
    const auto five = makePdf(dir.path("five.pdf"), "page", 5);
    Build scaled;
    scaled.call("setOutFile", {out}).call("setInFile", {five}).call("setOnePage", {"scale"});
    ASSERT_EQ(scaled.run(), "1");
    expectValid(out);
    auto sizes = pageSizes(out);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_DOUBLE_EQ(sizes[0].width, 612);
    EXPECT_DOUBLE_EQ(sizes[0].height, 792);
    for (int i = 1; i <= 5; ++i) {
        EXPECT_THAT(pageTexts(out)[0], HasSubstr("page " + std::to_string(i)));
    }

    // Without scaling: a 3 x 2 grid of full-size cells.
    Build full;
    full.call("setOutFile", {out}).call("setInFile", {five}).call("setOnePage", {"noscale"});
    ASSERT_EQ(full.run(), "1");
    expectValid(out);
    sizes = pageSizes(out);
    EXPECT_DOUBLE_EQ(sizes[0].width, 3 * 612);
    EXPECT_DOUBLE_EQ(sizes[0].height, 2 * 792);
}

TEST_F(Compose, ImpositionTakesTheMergedInputsAndCombinesWithOverlay) {
    // Overlay first, then the overlaid pages are imposed.
    Build build;
    build.call("setOutFile", {out})
        .call("setInFile", {base + "," + letterhead})
        .call("setOverlay")
        .call("setRepeat");
    build.call("setImpose", {"2-up"});
    ASSERT_EQ(build.run(), "1");
    expectValid(out);
    const auto text = pageTexts(out)[0];
    EXPECT_THAT(text, HasSubstr("BaseOne"));
    EXPECT_THAT(text, HasSubstr("BaseTwo"));
    Rendered sheet(out, 1, dir.root());
    // Each half shows red on its left and blue at its top right.
    EXPECT_TRUE(near(sheet.at(396 + 100, 300), 255, 0, 0)) << sheet.at(396 + 100, 300);
    EXPECT_TRUE(near(sheet.at(396 + 280, 500), 0, 0, 255)) << sheet.at(396 + 280, 500);
}

// What one side of a booklet sheet shows: the word in each half ("" for a blank half) and
// whether each word stands upright (its text starts near the half's left edge) or is turned.
struct BookletSide {
    std::string left, right;
    bool upright = true;
};
std::vector<BookletSide> bookletSides(const std::string& pdf) {
    std::vector<BookletSide> sides;
    for (int page = 1; page <= pageCount(pdf); ++page) {
        BookletSide side;
        int turned = 0, seen = 0;
        for (const auto& w : words(pdf, page)) {
            const bool inLeft = (w.xMin + w.xMax) / 2 < 396;
            const double start = w.xMin - (inLeft ? 0 : 396);
            (inLeft ? side.left : side.right) = w.text;
            ++seen;
            turned += start > 200 ? 1 : 0;
        }
        side.upright = turned == 0;
        EXPECT_TRUE(turned == 0 || turned == seen) << "side " << page << " mixes turned and upright pages";
        sides.push_back(side);
    }
    return sides;
}

std::string numberedPdf(const fs::path& path, int pages) {
    PdfSpec layout;
    for (int i = 1; i <= pages; ++i) {
        layout.pageTexts.push_back("n" + std::to_string(i));
    }
    return makePdf(path, layout);
}

TEST_F(Compose, BookletsPutPagesInSaddleStitchOrderPaddedWithBlanks) {
    const auto booklet = [&](int pages, const char* layout) {
        const auto in = numberedPdf(dir.path("in" + std::to_string(pages) + ".pdf"), pages);
        Build build;
        build.call("setOutFile", {out}).call("setInFile", {in}).call("setImpose", {layout});
        const int sides = (pages + 3) / 4 * 2;
        EXPECT_EQ(build.run(), std::to_string(sides)) << pages << " pages";
        expectValid(out);
        for (const auto& size : pageSizes(out)) {
            EXPECT_DOUBLE_EQ(size.width, 792);
            EXPECT_DOUBLE_EQ(size.height, 612);
        }
        return bookletSides(out);
    };
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    const auto pairsOf = [](const std::vector<BookletSide>& sides) {
        Pairs p;
        for (const auto& s : sides) {
            p.emplace_back(s.left, s.right);
        }
        return p;
    };

    // One page: a sheet whose front shows it on the right (the front cover), the rest blank.
    EXPECT_EQ(pairsOf(booklet(1, "booklet")), (Pairs{{"", "n1"}, {"", ""}}));
    EXPECT_EQ(pairsOf(booklet(4, "booklet")), (Pairs{{"n4", "n1"}, {"n2", "n3"}}));
    // Five pages take two sheets; pages 6 to 8 are blank.
    EXPECT_EQ(pairsOf(booklet(5, "booklet")), (Pairs{{"", "n1"}, {"n2", ""}, {"", "n3"}, {"n4", "n5"}}));

    // Eighteen pages: five sheets for twenty pages. Facing halves always add up to 21, the
    // outermost side holds the cover, the innermost the middle spread, and every page shows once.
    const auto sides = booklet(18, "booklet");
    ASSERT_EQ(sides.size(), 10u);
    std::vector<int> seen;
    for (std::size_t k = 0; k < sides.size(); ++k) {
        const auto num = [](const std::string& w) { return w.empty() ? 0 : std::stoi(w.substr(1)); };
        int l = num(sides[k].left), r = num(sides[k].right);
        // A blank half stands for page 19 or 20.
        if (l == 0)
            l = 21 - r;
        if (r == 0)
            r = 21 - l;
        EXPECT_EQ(l + r, 21) << "side " << k + 1;
        EXPECT_TRUE(sides[k].upright);
        for (int p : {num(sides[k].left), num(sides[k].right)})
            if (p)
                seen.push_back(p);
    }
    EXPECT_EQ(pairsOf({sides.front()}), (Pairs{{"", "n1"}}));
    EXPECT_EQ(pairsOf({sides[1]}), (Pairs{{"n2", ""}}));
    EXPECT_EQ(pairsOf({sides.back()}), (Pairs{{"n10", "n11"}}));
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(seen.size(), 18u);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(seen[static_cast<std::size_t>(i)], i + 1);
}

TEST_F(Compose, LongEdgeBookletsTurnEveryBackSide) {
    const auto in = numberedPdf(dir.path("in.pdf"), 8);
    Build build;
    build.call("setOutFile", {out}).call("setInFile", {in}).call("setImpose", {"booklet-long"});
    ASSERT_EQ(build.run(), "4");
    expectValid(out);
    const auto sides = bookletSides(out);
    ASSERT_EQ(sides.size(), 4u);
    // Fronts as in a short-edge booklet; each back turned half a turn, so its pages trade halves.
    EXPECT_EQ(sides[0].left, "n8");
    EXPECT_EQ(sides[0].right, "n1");
    EXPECT_TRUE(sides[0].upright);
    EXPECT_EQ(sides[1].left, "n7");
    EXPECT_EQ(sides[1].right, "n2");
    EXPECT_FALSE(sides[1].upright);
    EXPECT_EQ(sides[2].left, "n6");
    EXPECT_EQ(sides[2].right, "n3");
    EXPECT_TRUE(sides[2].upright);
    EXPECT_EQ(sides[3].left, "n5");
    EXPECT_EQ(sides[3].right, "n4");
    EXPECT_FALSE(sides[3].upright);
    // The sheet itself is not rotated: a printer prints it as drawn.
    QPDF q;
    q.processFile(out.c_str());
    for (QPDFObjectHandle page : q.getAllPages())
        EXPECT_FALSE(page.hasKey("/Rotate"));
}

} // namespace
} // namespace plait::pdf::testing

// Bookmarks and links that open a position on a page keep opening on the same content after
// the page was scaled, moved or turned.
#include "../Fixtures.h"
#include "pdfengine/geometry/Geometry.h"

#include <qpdf/QPDFOutlineDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

namespace plait::pdf::testing {
namespace {

using QOH = QPDFObjectHandle;

double at(QOH array, int i) {
    return array.getArrayItem(i).getNumericValue();
}

// Two pages; page 2's heading "body 2" has its top near y 416 at x 40, where a small square
// annotation marks it. Page 1 links there with /XYZ; bookmarks open it with /XYZ, /FitH and
// /FitR.
std::string headingPdf(const TempDir& dir) {
    PdfSpec layout;
    layout.pageTexts = {"body 1", "body 2"};
    layout.linkTo = {2, 0};
    layout.bookmarks = {{"xyz", 2}, {"fith", 2}, {"fitr", 2}};
    return editPdf(makePdf(dir.path("plain.pdf"), layout), dir.path("heading.pdf"), [](QPDF& pdf) {
        QOH two = pageOf(pdf, 1);
        const auto make = [&](const std::string& view) {
            auto d = QOH::parse("[ null " + view + " ]");
            d.setArrayItem(0, two);
            return d;
        };
        pageOf(pdf, 0).getKey("/Annots").getArrayItem(0).replaceKey("/Dest", make("/XYZ 40 416 0"));
        auto item = pdf.getRoot().getKey("/Outlines").getKey("/First");
        item.replaceKey("/Dest", make("/XYZ 40 416 2"));
        item = item.getKey("/Next");
        item.replaceKey("/Dest", make("/FitH 416"));
        item = item.getKey("/Next");
        item.replaceKey("/Dest", make("/FitR 39 400 140 416"));
        two.replaceKey("/Annots", QOH::newArray({pdf.makeIndirectObject(QOH::parse(
                                      "<< /Type /Annot /Subtype /Square /Rect [39 415 41 417] >>"))}));
    });
}

struct Moved {
    QOH link, xyz, fith, fitr;   // the destinations as written
    double markX = 0, markY = 0; // centre of the marker, moved with the page's annotations
};

Moved build(const TempDir& dir, const std::string& in,
            std::initializer_list<std::pair<const char*, const char*>> calls, QPDF& pdf) {
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setBookmarkKeep");
    for (const auto& [op, arg] : calls)
        b.call(op, {arg});
    EXPECT_EQ(b.run(), "2");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    pdf.processFile(out.c_str());
    Moved m;
    m.link = pageOf(pdf, 0).getKey("/Annots").getArrayItem(0).getKey("/Dest");
    auto items = QPDFOutlineDocumentHelper(pdf).getTopLevelOutlines();
    EXPECT_EQ(items.size(), 3u);
    m.xyz = items.at(0).getDest();
    m.fith = items.at(1).getDest();
    m.fitr = items.at(2).getDest();
    const auto r = pageOf(pdf, 1).getKey("/Annots").getArrayItem(0).getKey("/Rect").getArrayAsRectangle();
    m.markX = (r.llx + r.urx) / 2;
    m.markY = (r.lly + r.ury) / 2;
    for (auto d : {m.link, m.xyz, m.fith, m.fitr})
        EXPECT_EQ(d.getArrayItem(0).getObjGen(), pageOf(pdf, 1).getObjGen());
    return m;
}

TEST(Destinations, FollowScaledAndOffsetContent) {
    TempDir dir;
    const auto in = headingPdf(dir);
    QPDF pdf;
    Moved m = build(dir, in, {{"setPageScale", "50"}, {"setPageRight", "100"}, {"setPageDown", "50"}}, pdf);
    // Half size from the top-left corner, then 100 right and 50 down: (40, 416) -> (120, 554).
    EXPECT_NEAR(m.markX, 120, 0.01);
    EXPECT_NEAR(m.markY, 554, 0.01);
    for (auto d : {m.link, m.xyz}) {
        EXPECT_EQ(d.getArrayItem(1).getName(), "/XYZ");
        EXPECT_NEAR(at(d, 2), m.markX, 0.01);
        EXPECT_NEAR(at(d, 3), m.markY, 0.01);
    }
    EXPECT_EQ(at(m.xyz, 4), 2); // the zoom stays
    EXPECT_EQ(m.fith.getArrayItem(1).getName(), "/FitH");
    EXPECT_NEAR(at(m.fith, 2), m.markY, 0.01);
    EXPECT_EQ(m.fitr.unparse(), "[ " + pageOf(pdf, 1).unparse() + " /FitR 119.5 546 170 554 ]");
    // The heading is where the destinations now point (pdftotext: top-down coordinates).
    const auto heading = find(words(dir.path("out.pdf").string(), 2), "body");
    ASSERT_TRUE(heading);
    EXPECT_NEAR(heading->xMin, at(m.link, 2), 1);
    EXPECT_NEAR(792 - heading->yMax, 554 - 12, 6);
}

TEST(Destinations, FollowTurnedPagesAndFreeAngles) {
    TempDir dir;
    const auto in = headingPdf(dir);
    {
        // A quarter turn changes only /Rotate: positions in the page's own space stay.
        QPDF pdf;
        Moved m = build(dir, in, {{"setAngle", "90"}}, pdf);
        EXPECT_EQ(at(m.link, 2), 40);
        EXPECT_EQ(at(m.link, 3), 416);
    }
    {
        // Turned and scaled together: the point goes where the marker went.
        QPDF pdf;
        Moved m = build(dir, in, {{"setAngle", "90"}, {"setPageScale", "50"}}, pdf);
        EXPECT_NEAR(at(m.xyz, 2), m.markX, 0.01);
        EXPECT_NEAR(at(m.xyz, 3), m.markY, 0.01);
    }
    {
        // A free angle: /XYZ moves as a point; /FitH, whose line is no longer level, opens
        // at the point where its line met the page's left edge.
        QPDF pdf;
        Moved m = build(dir, in, {{"setAngle", "30"}}, pdf);
        EXPECT_NEAR(at(m.link, 2), m.markX, 0.01);
        EXPECT_NEAR(at(m.link, 3), m.markY, 0.01);
        EXPECT_EQ(m.fith.getArrayItem(1).getName(), "/XYZ");
        auto r = m.fitr;
        EXPECT_LT(at(r, 2), at(r, 4));
        EXPECT_LT(at(r, 3), at(r, 5));
    }
}

// The moving itself, for what a build cannot easily produce: a content turned a quarter inside
// its page, coordinates left unspecified, a page that did not move.
TEST(Destinations, QuarterTurnsTradeFitHAndFitVAndKeepNulls) {
    QPDF pdf;
    pdf.emptyPDF();
    QOH moved = pdf.makeIndirectObject(QOH::parse("<< /Type /Page >>"));
    QOH still = pdf.makeIndirectObject(QOH::parse("<< /Type /Page >>"));
    const auto dest = [&](QOH page, const std::string& view) {
        auto d = QOH::parse("[ null " + view + " ]");
        d.setArrayItem(0, page);
        return d;
    };
    std::vector<OutlineNode> outline(5);
    outline[0].dest = dest(moved, "/FitH 100");
    outline[1].dest = dest(moved, "/FitBV 30");
    outline[2].dest = dest(moved, "/XYZ null 100 null");
    outline[3].dest = dest(still, "/XYZ 1 2 3");
    outline[4].kids.resize(1);
    outline[4].kids[0].dest = dest(moved, "/Fit");
    // A quarter turn: (x, y) -> (-y + 600, x).
    const PageMoves moves{{moved.getObjGen(), geometry::Affine{0, 1, -1, 0, 600, 0}}};
    moveDestinations(pdf, outline, moves);
    const auto view = [](const OutlineNode& n) {
        auto d = n.dest;
        std::string s;
        for (int i = 1; i < d.getArrayNItems(); ++i)
            s += (i > 1 ? " " : "") + d.getArrayItem(i).unparse();
        return s;
    };
    EXPECT_EQ(view(outline[0]), "/FitV 500");
    EXPECT_EQ(view(outline[1]), "/FitBH 30");
    EXPECT_EQ(view(outline[2]), "/XYZ 500 null null");
    EXPECT_EQ(view(outline[3]), "/XYZ 1 2 3");
    EXPECT_EQ(view(outline[4].kids[0]), "/Fit");
}

} // namespace
} // namespace plait::pdf::testing

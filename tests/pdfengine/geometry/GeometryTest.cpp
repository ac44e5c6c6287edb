#include "pdfengine/geometry/Geometry.h"
#include "pdfengine/geometry/GeometryFixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plait::pdf;
using namespace plait::testing;

namespace {

constexpr double kA4W = 595.276, kA4H = 841.89;

QPDFObjectHandle pageAt(QPDF& pdf, std::size_t index) {
    return QPDFPageDocumentHelper(pdf).getAllPages().at(index).getObjectHandle();
}

// Applies `options` to a fresh document of `pages`, writes it and reads its text back.
struct Result {
    std::unique_ptr<QPDF> pdf;
    std::vector<PageText> text;
    std::vector<std::string> warnings;
};

Result run(const TempDir& dir, const std::vector<TestPage>& pages, const GeometryOptions& options,
           const std::string& name = "out.pdf") {
    Result r;
    r.pdf = makeDocument(pages);
    applyGeometry(*r.pdf, options, r.warnings);
    const std::string path = writeDocument(*r.pdf, dir.file(name));
    std::string output;
    EXPECT_EQ(runCommand("qpdf --check " + quoted(path), &output), 0) << output;
    r.text = readText(path);
    // Read back what was written, so the checks see the file and not the objects in memory.
    r.pdf = std::make_unique<QPDF>();
    r.pdf->processFile(path.c_str());
    return r;
}

Box wordBefore(const TempDir& dir, const std::vector<TestPage>& pages, std::size_t page = 0) {
    auto text = run(dir, pages, {}, "before.pdf").text;
    return text.at(page).words.at("Marker");
}

void expectNear(const Box& actual, double cx, double cy, double tolerance = 1.0) {
    EXPECT_NEAR(actual.cx(), cx, tolerance);
    EXPECT_NEAR(actual.cy(), cy, tolerance);
}

} // namespace

TEST(GeometryOptions, WhatCountsAsNoChange) {
    GeometryOptions o;
    EXPECT_TRUE(o.isNoOp());
    o.center = true; // the default build sets it
    o.scaleUp = o.scaleDown = true;
    o.scalePercent = 100;
    o.angle = 720;
    EXPECT_TRUE(o.isNoOp());
    for (auto change : std::vector<std::function<void(GeometryOptions&)>>{
             [](GeometryOptions& g) { g.angle = 90; },
             [](GeometryOptions& g) { g.angle = -30; },
             [](GeometryOptions& g) { g.scalePercent = 50; },
             [](GeometryOptions& g) { g.down = 1; },
             [](GeometryOptions& g) { g.right = -1; },
             [](GeometryOptions& g) { g.autoRotate = true; },
             [](GeometryOptions& g) { g.pageSize = std::make_pair(100.0, 100.0); },
             [](GeometryOptions& g) {
                 g.trimBox = PdfBox{0, 0, 10, 10};
             },
         }) {
        GeometryOptions g = o;
        change(g);
        EXPECT_FALSE(g.isNoOp());
    }
}

TEST(Geometry, NothingToDoLeavesTheDocumentByteForByte) {
    const std::vector<TestPage> pages = {{}, {.width = 792, .height = 612, .link = true}, {.rotate = 90}};
    auto reference = makeDocument(pages);
    const std::string before = writeToMemory(*reference);

    GeometryOptions defaults;
    defaults.center = true;
    defaults.scalePercent = 100;
    auto doc = makeDocument(pages);
    std::vector<std::string> warnings;
    applyGeometry(*doc, defaults, warnings);
    EXPECT_EQ(writeToMemory(*doc), before);
    EXPECT_TRUE(warnings.empty());

    // Auto rotate on pages that already agree with the first touches nothing either.
    auto same =
        makeDocument({{}, {.width = 500, .height = 700}, {.width = 700, .height = 500, .rotate = 270}});
    const std::string sameBefore = writeToMemory(*same);
    GeometryOptions autoRotate;
    autoRotate.autoRotate = true;
    applyGeometry(*same, autoRotate, warnings);
    EXPECT_EQ(writeToMemory(*same), sameBefore);
}

TEST(Geometry, ExplicitBoxesReplaceEveryPagesBoxes) {
    TempDir dir;
    GeometryOptions o;
    o.mediaBox = PdfBox{0, 0, 500, 600};
    o.trimBox = PdfBox{490, 590, 10, 10}; // corners in any order
    o.cropBox = PdfBox{5, 5, 5, 100};     // no area: ignored with a warning
    auto r = run(dir, {{}, {.width = 300, .height = 300}}, o);
    for (std::size_t i = 0; i < 2; ++i) {
        auto page = pageAt(*r.pdf, i);
        EXPECT_EQ(page.getKey("/MediaBox").unparse(), "[ 0 0 500 600 ]");
        EXPECT_EQ(page.getKey("/TrimBox").unparse(), "[ 10 10 490 590 ]");
        EXPECT_FALSE(page.hasKey("/CropBox"));
    }
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_NE(r.warnings[0].find("crop box"), std::string::npos);
}

TEST(Geometry, QuarterTurnsGoThroughRotateOnly) {
    struct Case {
        int initial;
        double angle;
        int expected;
    };
    for (const Case c : {Case{0, 90, 90}, Case{270, 90, 0}, Case{0, -90, 270}, Case{90, 450, 180},
                         Case{0, 180.0000000001, 180}}) {
        auto doc = makeDocument({{.rotate = c.initial}});
        const auto contentsBefore = pageAt(*doc, 0).getKey("/Contents").unparse();
        GeometryOptions o;
        o.angle = c.angle;
        std::vector<std::string> warnings;
        applyGeometry(*doc, o, warnings);
        auto page = pageAt(*doc, 0);
        EXPECT_EQ(page.getKey("/Rotate").getIntValue(), c.expected) << c.initial << " + " << c.angle;
        EXPECT_EQ(page.getKey("/Contents").unparse(), contentsBefore) << "content must not be wrapped";
        EXPECT_EQ(page.getKey("/MediaBox").unparse(), "[ 0 0 612 792 ]");
    }
}

TEST(Geometry, AutoRotateTurnsPagesToTheFirstPagesOrientation) {
    auto doc = makeDocument({
        {},                                          // portrait: sets the orientation
        {.width = 792, .height = 612},               // landscape: turned
        {.width = 792, .height = 612, .rotate = 90}, // displayed portrait: kept
        {.width = 400, .height = 400},               // square: kept
        {.width = 500, .height = 700},               // portrait: kept
    });
    GeometryOptions o;
    o.autoRotate = true;
    o.angle = 180; // applies to every page after the auto rotation
    std::vector<std::string> warnings;
    applyGeometry(*doc, o, warnings);
    const int expected[] = {180, 270, 270, 180, 180};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(pageAt(*doc, i).getKey("/Rotate").getIntValue(), expected[i]) << "page " << i + 1;
    }
}

TEST(Geometry, ScaleShrinksAboutTheCentreOrTheTopLeftCorner) {
    TempDir dir;
    const std::vector<TestPage> pages = {{.link = true}};
    const Box before = wordBefore(dir, pages);

    GeometryOptions o;
    o.scalePercent = 50;
    o.center = true;
    auto centred = run(dir, pages, o, "centred.pdf");
    const Box w = centred.text.at(0).words.at("Marker");
    expectNear(w, 306 + 0.5 * (before.cx() - 306), 396 + 0.5 * (before.cy() - 396));
    EXPECT_NEAR(w.w(), before.w() / 2, 1.0);
    EXPECT_DOUBLE_EQ(centred.text[0].width, 612); // the page keeps its size
    EXPECT_TRUE(contains(linkBox(pageAt(*centred.pdf, 0)), w.cx(), w.cy()));

    o.center = false;
    auto corner = run(dir, pages, o, "corner.pdf");
    expectNear(corner.text.at(0).words.at("Marker"), before.cx() / 2, before.cy() / 2);
}

TEST(Geometry, OffsetsMoveContentRightAndDownAsDisplayed) {
    TempDir dir;
    GeometryOptions o;
    o.right = 36;
    o.down = 72;
    for (int rotate : {0, 90, 180, 270}) {
        const std::vector<TestPage> pages = {{.rotate = rotate, .link = true}};
        const Box before = wordBefore(dir, pages);
        auto r = run(dir, pages, o);
        expectNear(r.text.at(0).words.at("Marker"), before.cx() + 36, before.cy() + 72);
        if (rotate == 0) {
            const Box w = r.text[0].words.at("Marker");
            EXPECT_TRUE(contains(linkBox(pageAt(*r.pdf, 0)), w.cx(), w.cy()));
        }
    }
    // Negative offsets move up and left.
    o.right = -10;
    o.down = -20;
    const Box before = wordBefore(dir, {{}});
    expectNear(run(dir, {{}}, o).text.at(0).words.at("Marker"), before.cx() - 10, before.cy() - 20);
}

TEST(Geometry, AnnotationsFollowTheirContentOnce) {
    // Two pages share one link object and one annotation array: each page must end with its
    // own link, moved exactly once.
    auto doc = makeDocument({{.link = true}, {}});
    auto first = pageAt(*doc, 0);
    auto second = pageAt(*doc, 1);
    second.replaceKey("/Annots", first.getKey("/Annots"));
    const auto rectBefore = first.getKey("/Annots").getArrayItem(0).getKey("/Rect").getArrayAsRectangle();
    GeometryOptions o;
    o.right = 100;
    std::vector<std::string> warnings;
    applyGeometry(*doc, o, warnings);
    auto a1 = first.getKey("/Annots").getArrayItem(0);
    auto a2 = second.getKey("/Annots").getArrayItem(0);
    EXPECT_NE(a1.getObjGen(), a2.getObjGen());
    for (auto annot : {a1, a2}) {
        EXPECT_NEAR(annot.getKey("/Rect").getArrayAsRectangle().llx, rectBefore.llx + 100, 1e-6);
        EXPECT_NEAR(annot.getKey("/QuadPoints").getArrayItem(0).getNumericValue(), rectBefore.llx + 100,
                    1e-6);
    }
}

TEST(Geometry, PageSizeCentresOrPinsToTheTopLeft) {
    TempDir dir;
    const std::vector<TestPage> letter = {{.link = true}};
    const Box before = wordBefore(dir, letter);

    GeometryOptions o;
    o.pageSize = std::make_pair(kA4W, kA4H);
    o.center = true;
    auto centred = run(dir, letter, o, "centred.pdf");
    EXPECT_NEAR(rectOf(pageAt(*centred.pdf, 0), "/MediaBox").urx, kA4W, 1e-3);
    EXPECT_NEAR(rectOf(pageAt(*centred.pdf, 0), "/MediaBox").ury, kA4H, 1e-3);
    const Box w = centred.text.at(0).words.at("Marker");
    expectNear(w, before.cx() + (kA4W - 612) / 2, before.cy() + (kA4H - 792) / 2);
    EXPECT_NEAR(w.w(), before.w(), 0.5); // no scaling asked for
    EXPECT_TRUE(contains(linkBox(pageAt(*centred.pdf, 0)), w.cx(), w.cy()));

    o.center = false;
    auto pinned = run(dir, letter, o, "pinned.pdf");
    expectNear(pinned.text.at(0).words.at("Marker"), before.cx(), before.cy());

    // The size is the displayed size: a turned page gets its media box the other way round,
    // and its top-left content stays at the displayed top-left.
    const std::vector<TestPage> turned = {{.rotate = 90}};
    const Box turnedBefore = wordBefore(dir, turned);
    o.pageSize = std::make_pair(900.0, 700.0);
    auto r = run(dir, turned, o, "turned.pdf");
    EXPECT_EQ(pageAt(*r.pdf, 0).getKey("/MediaBox").unparse(), "[ 0 0 700 900 ]");
    EXPECT_EQ(pageAt(*r.pdf, 0).getKey("/Rotate").getIntValue(), 90);
    expectNear(r.text.at(0).words.at("Marker"), turnedBefore.cx(), turnedBefore.cy());
}

TEST(Geometry, AutoScaleFitsOnlyInTheAllowedDirection) {
    TempDir dir;
    const std::vector<TestPage> pages = {
        {},                                                // Letter: larger than A4 in width
        {.width = 306, .height = 396, .x = 36, .y = 350},  // half Letter: smaller both ways
        {.width = 792, .height = 612, .x = 200, .y = 500}, // landscape Letter
    };
    const auto before = run(dir, pages, {}, "before.pdf").text;

    auto fit = [&](bool up, bool down, const std::string& name) {
        GeometryOptions o;
        o.pageSize = std::make_pair(612.0, 792.0);
        o.center = true;
        o.scaleUp = up;
        o.scaleDown = down;
        return run(dir, pages, o, name);
    };
    auto both = fit(true, true, "both.pdf");
    // Half Letter doubles; landscape shrinks to the width and sits in the middle.
    EXPECT_NEAR(both.text.at(1).words.at("Marker").w(), 2 * before.at(1).words.at("Marker").w(), 1.0);
    const double s = 612.0 / 792.0;
    const double top = (792 - 612 * s) / 2;
    expectNear(both.text.at(2).words.at("Marker"), s * before.at(2).words.at("Marker").cx(),
               top + s * before.at(2).words.at("Marker").cy());
    for (const auto& page : both.text) {
        EXPECT_DOUBLE_EQ(page.width, 612);
        EXPECT_DOUBLE_EQ(page.height, 792);
    }

    auto downOnly = fit(false, true, "down.pdf");
    EXPECT_NEAR(downOnly.text.at(1).words.at("Marker").w(), before.at(1).words.at("Marker").w(), 0.5);
    EXPECT_LT(downOnly.text.at(2).words.at("Marker").w(), before.at(2).words.at("Marker").w() * 0.8);

    auto upOnly = fit(true, false, "up.pdf");
    EXPECT_NEAR(upOnly.text.at(2).words.at("Marker").w(), before.at(2).words.at("Marker").w(), 0.5);
    EXPECT_GT(upOnly.text.at(1).words.at("Marker").w(), before.at(1).words.at("Marker").w() * 1.8);
}

TEST(Geometry, FreeAnglesTurnTheContentAndGrowThePage) {
    TempDir dir;
    GeometryOptions o;
    o.angle = 30;
    auto r = run(dir, {{.link = true}}, o);
    auto page = pageAt(*r.pdf, 0);
    const double rad = M_PI / 6;
    const auto media = rectOf(page, "/MediaBox");
    EXPECT_NEAR(media.urx - media.llx, 612 * std::cos(rad) + 792 * std::sin(rad), 0.01);
    EXPECT_NEAR(media.ury - media.lly, 612 * std::sin(rad) + 792 * std::cos(rad), 0.01);
    EXPECT_FALSE(page.hasKey("/Rotate"));

    // The word, turned (poppler reads diagonal text in pieces), must still be under its link,
    // and the link's box is the turned box around it.
    const Box w = allWords(r.text.at(0));
    const Box link = linkBox(page);
    EXPECT_TRUE(contains(link, w.cx(), w.cy()));
    EXPECT_NEAR(link.w(), 47 * std::cos(rad) + 16 * std::sin(rad), 0.01);
    EXPECT_LT(w.w(), link.w());

    // On a turned page the page grows around what the reader sees (792 wide, 612 high); the
    // media box is the other way round under the kept /Rotate.
    auto turned = run(dir, {{.rotate = 90}}, o, "turned.pdf");
    const auto turnedMedia = rectOf(pageAt(*turned.pdf, 0), "/MediaBox");
    EXPECT_NEAR(turnedMedia.ury, 792 * std::cos(rad) + 612 * std::sin(rad), 0.01);
    EXPECT_NEAR(turnedMedia.urx, 792 * std::sin(rad) + 612 * std::cos(rad), 0.01);
    std::string output;
    EXPECT_EQ(runCommand("mutool draw -q -o /dev/null -r 20 " + quoted(dir.file("out.pdf")), &output), 0)
        << output;
}

TEST(Geometry, AppearanceStreamsTurnWithTheirAnnotation) {
    auto doc = makeDocument({{}});
    auto appearance = doc->newStream("0 0 1 rg 0 0 20 10 re f\n");
    appearance.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 20 10]"));
    auto stamp = QPDFObjectHandle::parse("<< /Type /Annot /Subtype /Stamp /Rect [100 100 120 110] >>");
    stamp.replaceKey("/AP", QPDFObjectHandle::parse("<< >>"));
    stamp.getKey("/AP").replaceKey("/N", appearance);
    pageAt(*doc, 0).replaceKey("/Annots", QPDFObjectHandle::newArray({doc->makeIndirectObject(stamp)}));

    GeometryOptions o;
    o.angle = 45;
    std::vector<std::string> warnings;
    applyGeometry(*doc, o, warnings);
    auto moved = pageAt(*doc, 0).getKey("/Annots").getArrayItem(0);
    auto n = moved.getKey("/AP").getKey("/N");
    ASSERT_TRUE(n.getDict().getKey("/Matrix").isMatrix());
    const auto m = n.getDict().getKey("/Matrix").getArrayAsMatrix();
    EXPECT_NEAR(m.a, std::cos(M_PI / 4), 1e-4);
    EXPECT_NEAR(m.b, -std::sin(M_PI / 4), 1e-4); // clockwise
    EXPECT_FALSE(appearance.getDict().hasKey("/Matrix")) << "the original stream may be shared";
    const auto rect = moved.getKey("/Rect").getArrayAsRectangle();
    EXPECT_NEAR(rect.urx - rect.llx, (20 + 10) * std::cos(M_PI / 4), 1e-3);
}

TEST(Geometry, ImpossibleValuesAreSkippedWithAWarning) {
    auto doc = makeDocument({{}});
    const std::string before = writeToMemory(*doc);
    GeometryOptions o;
    o.scalePercent = 0;
    o.pageSize = std::make_pair(-5.0, 100.0);
    o.angle = std::nan("");
    std::vector<std::string> warnings;
    applyGeometry(*doc, o, warnings);
    EXPECT_EQ(warnings.size(), 3u);
    EXPECT_EQ(writeToMemory(*doc), before);
}

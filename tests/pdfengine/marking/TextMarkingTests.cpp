// Marking a text wherever it shows on the output: placement, colour, styles, rotated pages.
#include "../Fixtures.h"

#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <regex>
#include <set>
#include <tuple>

namespace plait::pdf::testing {
namespace {

struct Box {
    double x0, y0, x1, y1;
};

// Words of a page as pdftotext -bbox places them (top-down, displayed page).
std::vector<std::pair<std::string, Box>> words(const std::string& pdf, int page) {
    const std::string n = std::to_string(page);
    const auto r = run("pdftotext -bbox -f " + n + " -l " + n + " " + quote(pdf) + " -");
    std::vector<std::pair<std::string, Box>> out;
    static const std::regex re(R"re(<word xMin="([-\d.]+)" yMin="([-\d.]+)" xMax="([-\d.]+)" )re"
                               R"re(yMax="([-\d.]+)">([^<]*)</word>)re");
    for (std::sregex_iterator it(r.output.begin(), r.output.end(), re), end; it != end; ++it) {
        out.push_back(
            {(*it)[5], {std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]), std::stod((*it)[4])}});
    }
    return out;
}

std::vector<QPDFObjectHandle> annotsOf(QPDF& pdf, int page) {
    auto a = pageOf(pdf, page).getKey("/Annots");
    return a.isArray() ? a.getArrayAsVector() : std::vector<QPDFObjectHandle>{};
}

std::vector<double> numbersOf(QPDFObjectHandle a) {
    std::vector<double> v;
    for (auto& x : a.getArrayAsVector())
        v.push_back(x.getNumericValue());
    return v;
}

Box quadBox(QPDFObjectHandle annot) {
    auto q = numbersOf(annot.getKey("/QuadPoints"));
    Box b{q[0], q[1], q[0], q[1]};
    for (std::size_t i = 0; i < q.size(); i += 2) {
        b = {std::min(b.x0, q[i]), std::min(b.y0, q[i + 1]), std::max(b.x1, q[i]), std::max(b.y1, q[i + 1])};
    }
    return b;
}

struct MarkingBuild {
    TempDir dir;
    std::string in, out = dir.path("out.pdf").string();
    Build b;
    QPDF result;
    explicit MarkingBuild(const std::string& input = "") {
        in = input.empty() ? makePdf(dir.path("in.pdf"), "body", 3) : input;
        b.call("setOutFile", {out}).call("setInFile", {in});
    }
    MarkingBuild& call(std::string_view op, std::initializer_list<std::string_view> args = {}) {
        b.call(op, args);
        return *this;
    }
    QPDF& run() {
        EXPECT_EQ(b.run(), "3");
        result.processFile(out.c_str());
        return result;
    }
};

TEST(TextMarking, HighlightCoversTheWordsWhereTheyShowAndOnlyThere) {
    MarkingBuild m;
    QPDF& pdf = m.call("setString", {"body 2"}).call("setStringColor", {"FF8000"}).run();
    EXPECT_TRUE(annotsOf(pdf, 0).empty());
    EXPECT_TRUE(annotsOf(pdf, 2).empty());
    auto annots = annotsOf(pdf, 1);
    ASSERT_EQ(annots.size(), 1u);
    auto a = annots[0];
    EXPECT_EQ(a.getKey("/Subtype").getName(), "/Highlight");
    auto c = numbersOf(a.getKey("/C"));
    ASSERT_EQ(c.size(), 3u);
    EXPECT_NEAR(c[0], 1, 1e-3);
    EXPECT_NEAR(c[1], 128 / 255.0, 1e-3);
    EXPECT_NEAR(c[2], 0, 1e-3);
    EXPECT_EQ(a.getKey("/P").getObjGen(), pageOf(pdf, 1).getObjGen());
    // Its appearance multiplies with the page so the text stays readable.
    auto ap = a.getKey("/AP").getKey("/N");
    ASSERT_TRUE(ap.isStream());
    EXPECT_EQ(ap.getDict().getKey("/Resources").getKey("/ExtGState").getKey("/GS0").getKey("/BM").getName(),
              "/Multiply");

    // The quad spans "body" to "2" as an independent reader lays them out (top-down y).
    auto ws = words(m.out, 2);
    ASSERT_EQ(ws.size(), 2u);
    const Box q = quadBox(a);
    const double h = 792;
    EXPECT_NEAR(q.x0, ws[0].second.x0, 1.0);
    EXPECT_NEAR(q.x1, ws[1].second.x1, 1.0);
    EXPECT_NEAR(h - q.y1, std::min(ws[0].second.y0, ws[1].second.y0), 1.5);
    EXPECT_NEAR(h - q.y0, std::max(ws[0].second.y1, ws[1].second.y1), 1.5);
    EXPECT_TRUE(run("qpdf --check " + quote(m.out)).exitCode == 0);
}

// The copy the search reads is a file with no name in the temporary folder, so nothing is left
// there; with no usable temporary folder the search still runs, on a copy held in memory.
TEST(TextMarking, TheSearchLeavesNothingBehindAndNeedsNoTemporaryFolder) {
    TempDir tmp;
    const fs::path scratch = tmp.path("scratch");
    fs::create_directory(scratch);
    const char* before = std::getenv("TMPDIR");
    const std::string saved = before ? before : "";
    for (const fs::path& folder : {scratch, tmp.path("missing")}) {
        MarkingBuild m;
        ::setenv("TMPDIR", folder.c_str(), 1);
        QPDF& pdf = m.call("setString", {"body 2"}).run();
        before ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
        EXPECT_EQ(annotsOf(pdf, 1).size(), 1u) << folder;
        EXPECT_TRUE(annotsOf(pdf, 0).empty()) << folder;
        EXPECT_TRUE(fs::is_empty(scratch));
    }
}

TEST(TextMarking, EveryOccurrenceIsMarkedCaseSensitively) {
    TempDir dir;
    PdfSpec layout;
    layout.pageTexts = {"ab xab Ab", "ab", "none"};
    MarkingBuild m(makePdf(dir.path("in.pdf"), layout));
    QPDF& pdf = m.call("setString", {"ab"}).run();
    auto first = annotsOf(pdf, 0);
    ASSERT_EQ(first.size(), 2u); // "ab" and the end of "xab", not "Ab"
    EXPECT_LT(quadBox(first[0]).x1, quadBox(first[1]).x0);
    EXPECT_EQ(annotsOf(pdf, 1).size(), 1u);
    EXPECT_TRUE(annotsOf(pdf, 2).empty());
}

TEST(TextMarking, EachModeMakesItsAnnotationAndBadValuesFallBackWithANote) {
    const std::vector<std::pair<std::string, std::string>> modes = {{"HI-R", "/Highlight"},
                                                                    {"OL", "/Square"},
                                                                    {"UL", "/Underline"},
                                                                    {"CO", "/StrikeOut"},
                                                                    {"", "/Highlight"}};
    for (const auto& [mode, subtype] : modes) {
        SCOPED_TRACE(mode);
        MarkingBuild m;
        m.call("setString", {"body 1"});
        if (!mode.empty())
            m.call("setStringColorMode", {mode});
        QPDF& pdf = m.run();
        auto annots = annotsOf(pdf, 0);
        ASSERT_EQ(annots.size(), 1u);
        EXPECT_EQ(annots[0].getKey("/Subtype").getName(), subtype);
        EXPECT_TRUE(annots[0].getKey("/AP").getKey("/N").isStream());
        EXPECT_EQ(annots[0].hasKey("/QuadPoints"), subtype != "/Square");
        if (subtype == "/Square") {
            // The box lies outside the text it surrounds.
            auto ws = words(m.out, 1);
            auto r = numbersOf(annots[0].getKey("/Rect"));
            EXPECT_LT(r[0], ws[0].second.x0);
            EXPECT_GT(792 - r[1], ws[0].second.y1);
        }
        EXPECT_TRUE(run("qpdf --check " + quote(m.out)).exitCode == 0);
    }

    MarkingBuild bad;
    QPDF& pdf = bad.call("setString", {"body 3"})
                    .call("setStringColorMode", {"XX"})
                    .call("setStringColor", {"red"})
                    .run();
    auto annots = annotsOf(pdf, 2);
    ASSERT_EQ(annots.size(), 1u);
    EXPECT_EQ(annots[0].getKey("/Subtype").getName(), "/Highlight");
    EXPECT_EQ(numbersOf(annots[0].getKey("/C")), (std::vector<double>{1, 1, 0}));
    EXPECT_TRUE(bad.b.warned("unknown mode \"XX\""));
    EXPECT_TRUE(bad.b.warned("\"red\" is not an RRGGBB colour"));
}

// Long documents are searched by several workers; each page still gets exactly its own marks,
// and two runs write the same marks in the same order.
TEST(TextMarking, PagesSearchedTogetherEachGetTheirOwnMarks) {
    TempDir dir;
    const std::string input = makePdf(dir.path("long.pdf"), "body", 64);
    std::vector<std::string> runs;
    for (int round = 0; round < 2; ++round) {
        MarkingBuild m(input);
        m.b.call("setString", {"body 1"});
        ASSERT_EQ(m.b.run(), "64");
        QPDF pdf;
        pdf.processFile(m.out.c_str());
        std::string layout;
        for (int page = 0; page < 64; ++page) {
            auto annots = annotsOf(pdf, page);
            // "body 1" shows on page 1 and inside "body 10" to "body 19".
            const bool expected = page == 0 || (page >= 9 && page <= 18);
            EXPECT_EQ(annots.size(), expected ? 1u : 0u) << "page " << page + 1;
            for (auto& a : annots)
                layout += std::to_string(page) + ":" + a.getKey("/QuadPoints").unparse() + "\n";
        }
        runs.push_back(layout);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

TEST(TextMarking, AbsentTextAddsNothingAndSaysSo) {
    MarkingBuild absent;
    QPDF& a = absent.call("setString", {"Body"}).run();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(annotsOf(a, i).empty());
    EXPECT_TRUE(absent.b.warned("\"Body\" does not occur"));
}

TEST(TextReplace, ReplacesWhereOneStringHoldsTheTextAndCountsTheRest) {
    TempDir dir;
    const std::string base = makePdf(dir.path("base.pdf"), "body", 3);
    QPDF in;
    in.processFile(base.c_str());
    // Page 1 shows its text in two pieces, which a single replacement cannot reach.
    pageOf(in, 0).replaceKey(
        "/Contents", QPDFObjectHandle::newStream(&in, "BT /F1 20 Tf 40 700 Td [(bo) 0 (dy 1)] TJ ET\n"));
    const std::string input = dir.path("split.pdf").string();
    QPDFWriter w(in, input.c_str());
    w.write();

    MarkingBuild m(input);
    QPDF& pdf = m.call("setString", {"body"}).call("setStringChange", {"a (new) text"}).run();
    const auto texts = pageTexts(m.out);
    EXPECT_NE(texts[0].find("body 1"), std::string::npos);
    EXPECT_NE(texts[1].find("a (new) text 2"), std::string::npos);
    EXPECT_NE(texts[2].find("a (new) text 3"), std::string::npos);
    EXPECT_TRUE(m.b.warned("1 occurrence(s) of \"body\" could not be replaced"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(annotsOf(pdf, i).empty());
    EXPECT_TRUE(run("qpdf --check " + quote(m.out)).exitCode == 0);

    // A replacement the font's encoding cannot be trusted with leaves everything as it was.
    MarkingBuild accented;
    accented.call("setString", {"body"})
        .call("setStringChange", {"b\xc3\xb6"
                                  "dy"})
        .run();
    EXPECT_NE(pageTexts(accented.out)[1].find("body 2"), std::string::npos);
    EXPECT_TRUE(accented.b.warned("3 occurrence(s)"));
}

// The same words sit at the same place in user space whatever /Rotate and the crop box say;
// only the displayed view changes. The quad must follow the words, not the view.
TEST(TextMarking, RotatedAndCroppedPagesAreMarkedOnTheirText) {
    MarkingBuild plain;
    const Box expected = quadBox(annotsOf(plain.call("setString", {"body 1"}).run(), 0).at(0));

    for (int rotate : {90, 180, 270}) {
        SCOPED_TRACE(rotate);
        TempDir dir;
        const std::string base = makePdf(dir.path("base.pdf"), "body", 3);
        QPDF in;
        in.processFile(base.c_str());
        for (QPDFObjectHandle page : in.getAllPages()) {
            page.replaceKey("/Rotate", QPDFObjectHandle::newInteger(rotate));
            page.replaceKey("/CropBox", QPDFObjectHandle::parse("[20 30 560 700]"));
        }
        const std::string input = dir.path("rotated.pdf").string();
        QPDFWriter w(in, input.c_str());
        w.write();

        MarkingBuild m(input);
        auto annots = annotsOf(m.call("setString", {"body 1"}).run(), 0);
        ASSERT_EQ(annots.size(), 1u);
        const Box q = quadBox(annots[0]);
        EXPECT_NEAR(q.x0, expected.x0, 0.5);
        EXPECT_NEAR(q.y0, expected.y0, 0.5);
        EXPECT_NEAR(q.x1, expected.x1, 0.5);
        EXPECT_NEAR(q.y1, expected.y1, 0.5);
        // The first corner is the text's upper-left: on the left and top of the baseline's run.
        auto qp = numbersOf(annots[0].getKey("/QuadPoints"));
        EXPECT_NEAR(qp[0], expected.x0, 0.5);
        EXPECT_NEAR(qp[1], expected.y1, 0.5);
    }
}

} // namespace
} // namespace plait::pdf::testing

namespace plait::pdf::testing {
namespace {

// Red pixels of page 1 rendered by pdftoppm at 72 dpi, in user space (y up).
std::vector<std::pair<double, double>> redPixels(const std::string& pdf, const fs::path& dir) {
    const fs::path stem = dir / "render";
    EXPECT_EQ(run("pdftoppm -r 72 -f 1 -l 1 -singlefile " + quote(pdf) + " " + quote(stem.string())).exitCode,
              0);
    const std::string ppm = readFile(stem.string() + ".ppm");
    // P6 header: magic, width, height, maximum value, then RGB bytes.
    std::size_t at = 0;
    const auto field = [&] {
        while (at < ppm.size() && std::isspace(static_cast<unsigned char>(ppm[at])))
            ++at;
        const std::size_t start = at;
        while (at < ppm.size() && !std::isspace(static_cast<unsigned char>(ppm[at])))
            ++at;
        return ppm.substr(start, at - start);
    };
    EXPECT_EQ(field(), "P6");
    const int w = std::stoi(field()), h = std::stoi(field());
    field();
    ++at;
    std::vector<std::pair<double, double>> red;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const auto* p = reinterpret_cast<const unsigned char*>(ppm.data() + at + 3 * (y * w + x));
            if (p[0] > 200 && p[1] < 80 && p[2] < 80)
                red.push_back({x + 0.5, h - y - 0.5});
        }
    }
    return red;
}

// Underlines and strike-outs share one appearance per direction of text, stretched onto each
// mark; the band must still lie along the text's own bottom (or middle) whichever way the
// text runs, and marks of one direction must share one appearance.
TEST(TextMarking, BandsLieAlongTheTextWhicheverWayItRunsAndShareOneAppearance) {
    TempDir dir;
    QPDF in;
    in.emptyPDF();
    auto font = in.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>"));
    // "mark" four ways (the text's up: +y, -x, -y, +x), and twice more the plain way.
    const std::string content = "BT /F1 24 Tf 1 0 0 1 80 600 Tm (mark) Tj 1 0 0 1 80 500 Tm (mark) Tj "
                                "1 0 0 1 80 400 Tm (mark) Tj 0 1 -1 0 400 300 Tm (mark) Tj "
                                "-1 0 0 -1 500 150 Tm (mark) Tj 0 -1 1 0 250 300 Tm (mark) Tj ET";
    auto page = in.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
    page.replaceKey("/Resources", QPDFObjectHandle::parse("<< /Font << >> >>"));
    page.getKey("/Resources").getKey("/Font").replaceKey("/F1", font);
    page.replaceKey("/Contents", QPDFObjectHandle::newStream(&in, content));
    in.addPage(page, false);
    const std::string input = dir.path("turned.pdf").string();
    QPDFWriter w(in, input.c_str());
    w.write();

    for (const auto& [mode, from, to] : {std::tuple{"UL", 0.0, 0.2}, std::tuple{"CO", 0.35, 0.65}}) {
        SCOPED_TRACE(mode);
        TempDir out;
        const std::string output = out.path("out.pdf").string();
        Build b;
        b.call("setOutFile", {output}).call("setInFile", {input});
        b.call("setString", {"mark"}).call("setStringColorMode", {mode}).call("setStringColor", {"FF0000"});
        ASSERT_EQ(b.run(), "1");
        QPDF result;
        result.processFile(output.c_str());
        auto annots = annotsOf(result, 0);
        ASSERT_EQ(annots.size(), 6u);
        std::set<QPDFObjGen> appearances;
        for (auto& a : annots)
            appearances.insert(a.getKey("/AP").getKey("/N").getObjGen());
        EXPECT_EQ(appearances.size(), 4u); // one per direction

        const auto red = redPixels(output, out.root());
        for (auto& a : annots) {
            // Corners: upper-left, upper-right, lower-left, lower-right of the text.
            const auto q = numbersOf(a.getKey("/QuadPoints"));
            const Box box = quadBox(a);
            double sx = 0, sy = 0;
            int n = 0;
            for (const auto& [x, y] : red) {
                if (x >= box.x0 && x <= box.x1 && y >= box.y0 && y <= box.y1)
                    sx += x, sy += y, ++n;
            }
            ASSERT_GT(n, 0);
            // Where the band's middle lies between the text's bottom (0) and top (1).
            const double ux = q[0] - q[4], uy = q[1] - q[5];
            const double share = ((sx / n - q[4]) * ux + (sy / n - q[5]) * uy) / (ux * ux + uy * uy);
            EXPECT_GE(share, from);
            EXPECT_LE(share, to);
        }
        EXPECT_EQ(run("qpdf --check " + quote(output)).exitCode, 0);
    }
}

} // namespace
} // namespace plait::pdf::testing

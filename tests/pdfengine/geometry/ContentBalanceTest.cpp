// Pages whose content leaves the graphics state unbalanced: what the engine draws on them
// still lands where it was asked, and the page itself looks as it did.
#include "pdfengine/geometry/ContentBalance.h"
#include "../Fixtures.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <algorithm>
#include <cctype>
#include <string_view>

namespace plait::pdf::testing {
namespace {

using geometry::balanceContents;
using geometry::countStates;

// Page 1 leaves a halved matrix saved-open; page 2 restores once too often and then clips
// everything after it to a 20-point square in the bottom-left corner. Page 3 is plain.
std::string unbalancedPdf(const TempDir& dir, const std::string& name = "body") {
    return editPdf(makePdf(dir.path(name + "-plain.pdf"), name, 3), dir.path(name + ".pdf"), [](QPDF& pdf) {
        QPDFPageObjectHelper(pageOf(pdf, 0))
            .addPageContents(pdf.newStream("q 0.5 0 0 0.5 0 0 cm 0 0 1 rg\n"), false);
        QPDFPageObjectHelper(pageOf(pdf, 1)).addPageContents(pdf.newStream("Q 0 0 20 20 re W n\n"), false);
    });
}

// The fewest dark pixels poppler and mupdf draw inside a box of a page rendered at 18 dpi
// (4 points a pixel); the box is in points from the displayed page's top-left corner.
int darkPixels(const std::string& pdf, int page, const TempDir& dir, double x0, double y0, double x1,
               double y1) {
    const std::string n = std::to_string(page);
    const auto poppler = dir.path("render").string(), mupdf = dir.path("mupdf.pgm").string();
    run("pdftoppm -r 18 -gray -f " + n + " -l " + n + " -singlefile " + quote(pdf) + " " + quote(poppler));
    run("mutool draw -r 18 -c gray -o " + quote(mupdf) + " " + quote(pdf) + " " + n);
    int fewest = -1;
    for (const auto& file : {poppler + ".pgm", mupdf}) {
        const Pixmap grey = readPixmap(file);
        int dark = 0;
        for (int y = static_cast<int>(y0 / 4); y < static_cast<int>(y1 / 4) && y < grey.height; ++y)
            for (int x = static_cast<int>(x0 / 4); x < static_cast<int>(x1 / 4) && x < grey.width; ++x)
                dark += static_cast<unsigned char>(grey.bytes[static_cast<std::size_t>(y * grey.width + x)]) <
                        128;
        fewest = fewest < 0 ? dark : std::min(fewest, dark);
    }
    return fewest;
}

TEST(ContentBalance, CountsOperatorsNotBytesThatLookLikeThem) {
    QPDF pdf;
    pdf.emptyPDF();
    const auto page = [&](const std::string& content) {
        auto p = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>"));
        p.replaceKey("/Contents", pdf.newStream(content));
        return QPDFPageObjectHelper(p);
    };
    // A string, a comment and inline image data that hold q and Q bytes are not operators.
    const auto balanced = countStates(page("q (Q) Tj % Q Q\nBI /W 2 /H 1 /BPC 8 /CS /G ID QQ\nEI Q\n"));
    EXPECT_TRUE(balanced.balanced());
    const auto open = countStates(page("q q 2 0 0 2 0 0 cm Q q\n"));
    EXPECT_EQ(open.open, 2);
    EXPECT_EQ(open.extra, 0);
    const auto extra = countStates(page("Q q Q Q"));
    EXPECT_EQ(extra.open, 0);
    EXPECT_EQ(extra.extra, 2);

    // Escaped and nested parentheses, hexadecimal strings, names, dictionaries and words that
    // merely start with q or Q; inline image data with "EI" inside a run of bytes.
    EXPECT_TRUE(geometry::scanStates("q (a\\) Q (b) Q) Tj <51> Tj /Q gs /q1 BDC << /Q 1 >> BDC EMC Qx qq Q")
                    .balanced());
    EXPECT_TRUE(geometry::scanStates("q BI /W 4 ID xEIQ EIx\nEI Q").balanced());
    EXPECT_EQ(geometry::scanStates("q q(Q)Q").open, 1);
    // Streams of a page are joined by qpdf with a newline: a save in one and its restore in
    // the next balance.
    EXPECT_TRUE(countStates([&] {
                    auto p = page("q 1 0 0 1 0 0 cm");
                    p.addPageContents(pdf.newStream("Q"), false);
                    return p;
                }())
                    .balanced());

    // Balanced content is left exactly as it was; open saves are closed by an added stream
    // without touching the page's own; a stray restore is dropped, and nothing else.
    auto same = page("q 1 0 0 1 5 5 cm Q\n");
    const auto before = same.getObjectHandle().getKey("/Contents").getObjGen();
    EXPECT_TRUE(balanceContents(same).balanced());
    EXPECT_EQ(same.getObjectHandle().getKey("/Contents").getObjGen(), before);

    auto left = page("q 2 0 0 2 0 0 cm\n");
    const auto own = left.getObjectHandle().getKey("/Contents").getObjGen();
    EXPECT_EQ(balanceContents(left).open, 1);
    const auto streams = left.getPageContents();
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].getObjGen(), own);
    EXPECT_TRUE(countStates(left).balanced());

    auto stray = page("Q (a) Tj q Q Q 0 0 1 rg q");
    EXPECT_EQ(balanceContents(stray).extra, 2);
    EXPECT_TRUE(countStates(stray).balanced());
    auto data = stray.getObjectHandle().getKey("/Contents").getStreamData();
    std::string rewritten;
    for (char c : std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()))
        if (!std::isspace(static_cast<unsigned char>(c)) || (!rewritten.empty() && rewritten.back() != ' '))
            rewritten += std::isspace(static_cast<unsigned char>(c)) ? ' ' : c;
    EXPECT_EQ(rewritten, "(a) Tj q Q 0 0 1 rg q Q ");
}

// A stream of `pdf` holding `text` compressed by qpdf's own filter.
QPDFObjectHandle flateStream(QPDF& pdf, const std::string& text) {
    QPDFObjectHandle s = pdf.newStream();
    Pl_Buffer out("deflated");
    Pl_Flate deflate("deflate", &out, Pl_Flate::a_deflate);
    deflate.write(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    deflate.finish();
    auto b = out.getBufferSharedPointer();
    s.replaceStreamData(std::string(reinterpret_cast<const char*>(b->getBuffer()), b->getSize()),
                        QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
    return s;
}

QPDFPageObjectHelper pageWith(QPDF& pdf, const std::vector<QPDFObjectHandle>& streams) {
    auto p = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 100 100] >>"));
    p.replaceKey("/Contents", QPDFObjectHandle::newArray(streams));
    return QPDFPageObjectHelper(p);
}

// Content in several streams is counted as one, with the streams apart as a reader keeps them,
// whether each is decoded whole or through qpdf's filters; content that cannot be read counts as
// balanced either way.
TEST(ContentBalance, ContentInSeveralStreamsCountsAsOne) {
    QPDF pdf;
    pdf.emptyPDF();
    const auto flate = [&](const std::string& text) { return flateStream(pdf, text); };
    const auto page = [&](std::vector<QPDFObjectHandle> streams) { return pageWith(pdf, streams); };
    // "q" ends one stream and "q" starts the next: two saves, not the word "qq".
    for (const auto& second : {flate("q Q"), pdf.newStream("q Q")}) {
        const auto split = countStates(page({flate("1 0 0 1 5 5 cm q"), second}));
        EXPECT_EQ(split.open, 1);
        EXPECT_EQ(split.extra, 0);
    }
    const auto restored = countStates(page({flate("q 2 0 0 2 0 0 cm"), flate("Q Q")}));
    EXPECT_EQ(restored.open, 0);
    EXPECT_EQ(restored.extra, 1);
    // A stream whose data does not decode: the page's content cannot be read.
    QPDFObjectHandle broken = pdf.newStream();
    broken.replaceStreamData("x\x9c garbage", QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
    EXPECT_TRUE(countStates(page({flate("q q q"), broken})).balanced());
}

// Many pages counted together, their content decoded on several threads, give what each page
// gives alone, whatever its content is made of.
TEST(ContentBalance, PagesCountedTogetherGiveWhatEachGivesAlone) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle broken = pdf.newStream();
    broken.replaceStreamData("x\x9c garbage", QPDFObjectHandle::newName("/FlateDecode"),
                             QPDFObjectHandle::newNull());
    std::vector<QPDFPageObjectHelper> pages;
    for (int round = 0; round < 12; ++round) {
        const std::string n = std::to_string(round);
        pages.push_back(pageWith(pdf, {flateStream(pdf, "q " + n + " 0 0 1 0 0 cm Q")}));
        pages.push_back(pageWith(pdf, {flateStream(pdf, "q (Q) Tj q " + n + " w")}));
        pages.push_back(pageWith(pdf, {flateStream(pdf, "Q Q q Q"), flateStream(pdf, "q")}));
        pages.push_back(pageWith(pdf, {pdf.newStream("q q " + n + " w Q")}));
        pages.push_back(pageWith(pdf, {flateStream(pdf, "q q"), pdf.newStream("Q Q Q")}));
        pages.push_back(pageWith(pdf, {flateStream(pdf, "q q q"), broken}));
    }
    const std::vector<geometry::StateBalance> together = countStates(pages);
    ASSERT_EQ(together.size(), pages.size());
    for (std::size_t i = 0; i < pages.size(); ++i) {
        const auto alone = countStates(pages[i]);
        EXPECT_EQ(together[i].open, alone.open) << "page " << i;
        EXPECT_EQ(together[i].extra, alone.extra) << "page " << i;
    }
    EXPECT_EQ(together[1].open, 2);
    EXPECT_EQ(together[2].extra, 2);
    EXPECT_EQ(together[4].extra, 1);
    EXPECT_TRUE(countStates(std::vector<QPDFPageObjectHelper>{}).empty());
}

// Content that decodes to more than the limit is not held: it counts as unreadable, however it
// is compressed and however many streams it is in.
TEST(ContentBalance, ContentPastTheLimitIsNotRead) {
    QPDF pdf;
    pdf.emptyPDF();
    std::string saves;
    for (int i = 0; i < 20000; ++i)
        saves += "q ";
    constexpr std::size_t kLimit = 64 * 1024;
    const std::vector<std::pair<const char*, QPDFPageObjectHelper>> pages = {
        {"one Flate stream", pageWith(pdf, {flateStream(pdf, saves + saves)})},
        {"one plain stream", pageWith(pdf, {pdf.newStream(saves + saves)})},
        {"two Flate streams", pageWith(pdf, {flateStream(pdf, saves), flateStream(pdf, saves)})},
        {"Flate and plain", pageWith(pdf, {flateStream(pdf, saves), pdf.newStream(saves)})},
    };
    for (const auto& [what, page] : pages) {
        EXPECT_EQ(countStates(page).open, 40000) << what;
        EXPECT_TRUE(countStates(page, kLimit).balanced()) << what;
    }
    // Just within the limit, it is read.
    EXPECT_EQ(countStates(pageWith(pdf, {flateStream(pdf, saves)}), saves.size() + 1).open, 20000);
    EXPECT_EQ(countStates(pageWith(pdf, {pdf.newStream(saves)}), saves.size() + 1).open, 20000);
}

TEST(ContentBalance, MarksLandWhereAskedOnUnbalancedPages) {
    TempDir dir;
    const auto in = unbalancedPdf(dir);
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setCmds", {"deterministic"});
    b.call("setPageNum").call("setPageFmt", {"No %1"});
    b.call("setFileDataS",
           {"_text_", "<TEXT PAGES=\"\" SIZE=\"60\" X=300 Y=400 ANGLE=0 COLOR=\"000000\">MMM</TEXT>"});
    b.call("setStrFileIn", {"_text_"});
    ASSERT_EQ(b.run(), "3");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(run("mutool draw -o /dev/null " + quote(out)).output.find("error"), std::string::npos);
    for (int page = 1; page <= 3; ++page) {
        const auto ws = words(out, page);
        const auto number = find(ws, "No");
        ASSERT_TRUE(number) << page;
        EXPECT_NEAR(number->xMin, 36, 1) << page;
        EXPECT_NEAR(number->yMax, 792 - 36, 4) << page;
        const auto text = find(ws, "MMM");
        ASSERT_TRUE(text) << page;
        EXPECT_NEAR(text->xMin, 300, 1) << page;
        EXPECT_NEAR(text->yMax, 792 - 400, 16) << page;
        // The page's own text is still where it was.
        EXPECT_TRUE(find(ws, "body")) << page;
        // Drawn, not clipped away by what the page left behind.
        EXPECT_GT(darkPixels(out, page, dir, 300, 340, 440, 392), 40) << page;
    }
}

// The saves and restores of a form XObject's own content (a form has no /Contents: it is the
// stream).
geometry::StateBalance formStates(QPDFObjectHandle form) {
    const auto data = form.getStreamData();
    return geometry::scanStates(
        std::string_view(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
}

TEST(ContentBalance, OverlaysAndSheetsPlacePagesWhereAsked) {
    TempDir dir;
    const auto base = unbalancedPdf(dir);
    const auto letter = makePdf(dir.path("letter.pdf"), "LETTER", 1);
    const auto out = dir.path("out.pdf").string();
    Build overlay;
    overlay.call("setOutFile", {out}).call("setInFile", {base + "," + letter}).call("setOverlay");
    overlay.call("setRepeat");
    ASSERT_EQ(overlay.run(), "3");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    for (int page = 1; page <= 3; ++page) {
        const auto w = find(words(out, page), "LETTER");
        ASSERT_TRUE(w) << page;
        EXPECT_NEAR(w->xMin, 40, 1) << page; // full size, not halved towards the origin
        EXPECT_NEAR(w->yMax, 396, 20) << page;
        EXPECT_GT(darkPixels(out, page, dir, 40, 376, 120, 396), 20) << page;
    }

    // Pages laid over others are balanced before they become forms, repeated or not.
    const auto plain = makePdf(dir.path("plain.pdf"), "BASE", 4);
    for (const bool repeat : {false, true}) {
        const auto laid = dir.path(repeat ? "laid-repeat.pdf" : "laid.pdf").string();
        Build over;
        over.call("setOutFile", {laid}).call("setInFile", {plain + "," + base}).call("setOverlay");
        if (repeat)
            over.call("setRepeat");
        ASSERT_EQ(over.run(), "4") << repeat;
        QPDF result;
        result.processFile(laid.c_str());
        int forms = 0;
        for (auto& page : result.getAllPages()) {
            for (auto& [name, form] : QPDFPageObjectHelper(page).getFormXObjects()) {
                ++forms;
                EXPECT_TRUE(formStates(form).balanced()) << name << (repeat ? " repeated" : "");
            }
        }
        EXPECT_EQ(forms, repeat ? 4 : 3) << repeat;
    }

    const auto sheets = dir.path("sheets.pdf").string();
    Build twoUp;
    twoUp.call("setOutFile", {sheets}).call("setInFile", {base}).call("setImpose", {"2-up"});
    ASSERT_EQ(twoUp.run(), "2");
    EXPECT_EQ(run("qpdf --check " + quote(sheets)).exitCode, 0);
    QPDF pdf;
    pdf.processFile(sheets.c_str());
    for (auto& page : pdf.getAllPages()) {
        EXPECT_TRUE(countStates(QPDFPageObjectHelper(page)).balanced());
        for (auto& [name, form] : QPDFPageObjectHelper(page).getFormXObjects())
            EXPECT_TRUE(formStates(form).balanced()) << name;
    }
}

} // namespace
} // namespace plait::pdf::testing

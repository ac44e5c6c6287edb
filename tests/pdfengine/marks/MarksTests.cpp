// Marks on the output: page numbers, text areas, stamps, notes, attachments, open actions.
#include "../Fixtures.h"

#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <optional>

#include <sys/stat.h>

namespace plait::pdf::testing {
namespace {

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool checks(const std::string& pdf) {
    return run("qpdf --check " + quote(pdf)).exitCode == 0;
}

// Builds `in` into `out` with the calls; returns the engine's result.
struct MarkBuild {
    TempDir dir;
    std::string in, out = dir.path("out.pdf").string();
    Build b;
    explicit MarkBuild(int pages = 3) {
        in = makePdf(dir.path("in.pdf"), "body", pages);
        b.call("setOutFile", {out}).call("setInFile", {in}).call("setCmds", {"deterministic"});
    }
    MarkBuild& call(std::string_view op, std::initializer_list<std::string_view> args = {}) {
        b.call(op, args);
        return *this;
    }
};

// Pixels of a page rendered at 18 dpi (a quarter of a point per pixel), as RGB triples.
struct Render {
    int width = 0, height = 0;
    std::string rgb;
    bool colouredNear(double fx, double fy, bool red) const { // fractions of width/height from top-left
        const int cx = static_cast<int>(fx * width), cy = static_cast<int>(fy * height);
        for (int y = std::max(0, cy - 25); y < std::min(height, cy + 25); ++y)
            for (int x = std::max(0, cx - 25); x < std::min(width, cx + 25); ++x) {
                const auto p = reinterpret_cast<const unsigned char*>(
                    &rgb[static_cast<std::size_t>(3 * (y * width + x))]);
                if (red ? (p[0] > 150 && p[1] < 90 && p[2] < 90) : (p[2] > 120 && p[0] < 90))
                    return true;
            }
        return false;
    }
};
Render render(const std::string& pdf, int page, const TempDir& dir) {
    const auto base = dir.path("render").string();
    const std::string n = std::to_string(page);
    run("pdftoppm -r 36 -f " + n + " -l " + n + " -singlefile " + quote(pdf) + " " + quote(base));
    Pixmap image = readPixmap(base + ".ppm");
    return {image.width, image.height, std::move(image.bytes)};
}

std::vector<QPDFObjectHandle> annotations(QPDF& pdf, int page, const std::string& subtype) {
    std::vector<QPDFObjectHandle> found;
    QPDFObjectHandle annots = pageOf(pdf, page).getKey("/Annots");
    for (int i = 0; annots.isArray() && i < annots.getArrayNItems(); ++i) {
        auto a = annots.getArrayItem(i);
        if (a.getKey("/Subtype").isNameAndEquals(subtype))
            found.push_back(a);
    }
    return found;
}

TEST(PageNumbers, FormatStylesAndAlignment) {
    MarkBuild m;
    m.call("setPageNum").call("setPageFmt", {"p%1 of %2"});
    ASSERT_EQ(m.b.run(), "3");
    const auto texts = pageTexts(m.out);
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_TRUE(has(texts[0], "p1 of 3")) << texts[0];
    EXPECT_TRUE(has(texts[2], "p3 of 3")) << texts[2];
    EXPECT_FALSE(has(texts[0], "p2 of 3"));
    EXPECT_TRUE(checks(m.out));
    // Default: left margin 36, baseline 36 above the bottom.
    const auto first = find(words(m.out, 1), "p1");
    ASSERT_TRUE(first);
    EXPECT_NEAR(first->xMin, 36, 1);
    EXPECT_NEAR(first->yMax, 792 - 36, 4);

    MarkBuild lower;
    lower.call("setPageNumAlign", {"R"}).call("setPageNum").call("setPageLMargin", {"50"});
    lower.call("setPageBMargin", {"100"})
        .call("setPageFmt", {"Page %1/%2"})
        .call("setPageNumStyle", {"roman"});
    lower.call("setFontSize", {"14"});
    ASSERT_EQ(lower.b.run(), "3");
    const auto w = words(lower.out, 2);
    const auto num = find(w, "ii/iii");
    ASSERT_TRUE(num) << pageTexts(lower.out)[1];
    EXPECT_NEAR(num->xMax, 612 - 50, 1.5);
    EXPECT_NEAR(num->yMax, 792 - 100, 5);

    MarkBuild upper;
    upper.call("setPageNumAlign", {"C"}).call("setPageNum").call("setPageFmt", {"%1"});
    upper.call("setPageNumStyle", {"Roman"});
    ASSERT_EQ(upper.b.run(), "3");
    const auto three = find(words(upper.out, 3), "III");
    ASSERT_TRUE(three);
    EXPECT_NEAR((three->xMin + three->xMax) / 2, 306, 1.5);
}

// The drawings marks add are compressed as the rest of the output is, and left readable when
// the output is written uncompressed.
TEST(PageNumbers, DrawingsFollowTheOutputsCompression) {
    for (const bool compress : {true, false}) {
        MarkBuild m;
        m.call("setCmds", {compress ? "deterministic" : "deterministic compress=no"});
        m.call("setPageNum");
        ASSERT_EQ(m.b.run(), "3");
        EXPECT_TRUE(checks(m.out));
        EXPECT_TRUE(has(pageTexts(m.out)[2], "3 of 3"));
        QPDF pdf;
        pdf.processFile(m.out.c_str());
        QPDFObjectHandle forms = pageOf(pdf, 2).getKey("/Resources").getKey("/XObject");
        ASSERT_TRUE(forms.isDictionary());
        int drawings = 0;
        for (const auto& key : forms.getKeys()) {
            if (key.rfind("/PlaitOver", 0) != 0)
                continue;
            QPDFObjectHandle form = forms.getKey(key);
            auto raw = form.getRawStreamData();
            const std::string bytes(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize());
            ++drawings;
            EXPECT_EQ(form.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"), compress) << key;
            if (!compress) {
                EXPECT_TRUE(has(bytes, "(3 of 3) Tj")) << bytes;
            }
        }
        EXPECT_EQ(drawings, 1);
    }
}

TEST(PageNumbers, FollowRotatedPagesAndLeaveThePageStateAlone) {
    TempDir dir;
    // Page 2 is shown turned a quarter; page 1's content leaves a scaled, red graphics state.
    const auto in = editPdf(makePdf(dir.path("base.pdf"), "body", 2), dir.path("in.pdf"), [](QPDF& pdf) {
        QPDFPageObjectHelper(pageOf(pdf, 0))
            .addPageContents(QPDFObjectHandle::newStream(&pdf, "1 0 0 rg 3 0 0 3 0 0 cm\n"), false);
        pageOf(pdf, 1).replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
    });
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setPageNum").call("setPageFmt", {"No %1"});
    ASSERT_EQ(b.run(), "2");
    EXPECT_TRUE(checks(out));
    const auto one = find(words(out, 1), "No");
    ASSERT_TRUE(one);
    EXPECT_NEAR(one->xMin, 36, 1);
    EXPECT_NEAR(one->yMax, 792 - 36, 4);
    // The turned page is 792 wide as shown; the number sits at its displayed bottom-left.
    const auto two = find(words(out, 2), "No");
    ASSERT_TRUE(two);
    EXPECT_NEAR(two->xMin, 36, 1);
    EXPECT_NEAR(two->yMax, 612 - 36, 4);
    EXPECT_GT(two->xMax, two->xMin); // reads left to right, not turned with the page
}

TEST(PageNumbers, ModifiersAloneChangeNothing) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "body", 2);
    const auto build = [&](const std::string& name, bool modifiers) {
        const auto out = dir.path(name).string();
        Build b;
        b.call("setOutFile", {out}).call("setInFile", {in}).call("setCmds", {"deterministic"});
        if (modifiers)
            b.call("setPageNumOutside").call("setPageNumAlign", {"C"});
        EXPECT_EQ(b.run(), "2");
        EXPECT_TRUE(b.engine.warnings().empty());
        return readFile(out);
    };
    EXPECT_EQ(build("plain.pdf", false), build("modified.pdf", true));
}

TEST(TextArea, PlacedOnListedPagesInUnitsFromEitherCorner) {
    MarkBuild m;
    m.call("setFileDataS", {"_text_", "<UNITS VALUE='in'><TEXT PAGES=\"2\" SIZE=\"12\" X=1 Y=1 ANGLE=0  "
                                      "COLOR=\"FF0000\" >Hello there\r\nSecond line</TEXT>"});
    m.call("setStrFileIn", {"_text_"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    const auto texts = pageTexts(m.out);
    EXPECT_FALSE(has(texts[0], "Hello"));
    EXPECT_TRUE(has(texts[1], "Hello there"));
    EXPECT_FALSE(has(texts[2], "Hello"));
    const auto w = words(m.out, 2);
    const auto hello = find(w, "Hello");
    const auto second = find(w, "Second");
    ASSERT_TRUE(hello && second);
    EXPECT_NEAR(hello->xMin, 72, 1);
    EXPECT_NEAR(second->xMin, 72, 1);
    // The last line's baseline is one inch above the bottom; the first line is above it.
    EXPECT_NEAR(second->yMax, 792 - 72, 4);
    EXPECT_LT(hello->yMax, second->yMin);

    MarkBuild corner;
    corner.call("setFileDataS",
                {"_text_", "<TEXT PAGES=\"\" SIZE=\"10\" X=20 Y=30 ANGLE=0   ALIGN=\"R\"  COLOR=\"000000\" "
                           " FROMTOP  FROMRIGHT >Corner</TEXT>"});
    corner.call("setStrFileIn", {"_text_"});
    ASSERT_EQ(corner.b.run(), "3");
    for (int page = 1; page <= 3; ++page) {
        const auto c = find(words(corner.out, page), "Corner");
        ASSERT_TRUE(c) << page;
        EXPECT_NEAR(c->xMax, 612 - 20, 1);
        EXPECT_NEAR(c->yMin, 30, 3);
    }
}

TEST(TextArea, BadValuesAndForeignCharactersAreNoted) {
    // Greek needs the embedded font; the private-use character of the last plane is in no font.
    const std::string greek = "\xCE\x9A\xCE\xB1\xCE\xBB\xCE\xB7\xCE\xBC\xCE\xAD\xCF\x81\xCE\xB1";
    MarkBuild m;
    m.call("setFileDataS",
           {"_text_", "<TEXT PAGES=\"1,9\" SIZE=\"big\" X=72 Y=72 ANGLE=90  COLOR=\"red\" >Caf\xC3\xA9 " +
                          greek + " \xF4\x8F\xBF\xBD\r\nplain</TEXT>"});
    m.call("setStrFileIn", {"_text_"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    const std::string page = pageTexts(m.out)[0];
    EXPECT_TRUE(has(page, "Caf\xC3\xA9 " + greek + " ?")) << page;
    EXPECT_TRUE(has(page, "plain")) << page;
    const auto fonts = run("pdffonts " + quote(m.out)).output;
    EXPECT_TRUE(has(fonts, "DejaVuSans") && has(fonts, "CID TrueType")) << fonts;
    EXPECT_TRUE(m.b.warned("not a number"));
    EXPECT_TRUE(m.b.warned("RRGGBB"));
    EXPECT_TRUE(m.b.warned("drawn as \"?\""));
    EXPECT_TRUE(m.b.warned("past the end"));
}

TEST(Notes, StickyNoteWithTitleAndTextOnListedPages) {
    MarkBuild m;
    m.call("setFileDataS",
           {"annotes",
            "<A X1=72 Y1=288 X2=288 Y2=72 TITLE=\"Review\" NOTE=\"Check \xC3\xA9 figures\" PAGES=\"1,3\">"});
    m.call("setAnnotesFile", {"annotes"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    QPDF pdf;
    pdf.processFile(m.out.c_str());
    for (int page : {0, 2}) {
        auto notes = annotations(pdf, page, "/Text");
        ASSERT_EQ(notes.size(), 1u) << page;
        EXPECT_EQ(notes[0].getKey("/T").getUTF8Value(), "Review");
        EXPECT_EQ(notes[0].getKey("/Contents").getUTF8Value(), "Check \xC3\xA9 figures");
        // An icon-sized rectangle in the top-left corner of the one asked for, with a look.
        const auto r = notes[0].getKey("/Rect").getArrayAsRectangle();
        EXPECT_DOUBLE_EQ(r.llx, 72);
        EXPECT_DOUBLE_EQ(r.ury, 288);
        EXPECT_DOUBLE_EQ(r.urx - r.llx, 20);
        EXPECT_DOUBLE_EQ(r.ury - r.lly, 20);
        EXPECT_TRUE(notes[0].getKey("/AP").getKey("/N").isStream());
        EXPECT_TRUE(notes[0].getKey("/Popup").getKey("/Subtype").isNameAndEquals("/Popup"));
    }
    EXPECT_TRUE(annotations(pdf, 1, "/Text").empty());
}

// Every reader puts the note's icon where it was asked for, on a turned page too.
TEST(Notes, EveryReaderDrawsTheIconInTheSamePlace) {
    TempDir dir;
    const auto in = editPdf(makePdf(dir.path("base.pdf"), "body", 2), dir.path("in.pdf"), [](QPDF& pdf) {
        pageOf(pdf, 1).replaceKey("/Rotate", QPDFObjectHandle::newInteger(90));
    });
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in});
    b.call("setFileDataS", {"annotes", "<A X1=72 Y1=288 X2=288 Y2=72 TITLE=\"t\" NOTE=\"n\" PAGES=\"\">"});
    b.call("setAnnotesFile", {"annotes"});
    ASSERT_EQ(b.run(), "2");
    EXPECT_TRUE(checks(out));
    // Yellow pixels, as a fraction of the displayed page from its top-left corner.
    const auto yellowAt = [&](const std::string& command, const std::string& ppm, double fx, double fy) {
        run(command);
        const Pixmap image = readPixmap(ppm);
        const int x = static_cast<int>(fx * image.width), y = static_cast<int>(fy * image.height);
        const auto p = reinterpret_cast<const unsigned char*>(
            &image.bytes[static_cast<std::size_t>(3 * (y * image.width + x))]);
        return p[0] > 200 && p[1] > 200 && p[2] < 80;
    };
    for (int page = 1; page <= 2; ++page) {
        const double w = page == 1 ? 612 : 792, h = page == 1 ? 792 : 612;
        // A yellow spot of the icon (clear of its lines): 17 points right of x 72, 17 below y 288.
        const double fx = 89 / w, fy = (h - 271) / h;
        const std::string n = std::to_string(page);
        const auto poppler = dir.path("p").string();
        EXPECT_TRUE(yellowAt("pdftoppm -r 36 -f " + n + " -l " + n + " -singlefile " + quote(out) + " " +
                                 quote(poppler),
                             poppler + ".ppm", fx, fy))
            << "poppler, page " << page;
        const auto mupdf = dir.path("m.ppm").string();
        EXPECT_TRUE(
            yellowAt("mutool draw -r 36 -o " + quote(mupdf) + " " + quote(out) + " " + n, mupdf, fx, fy))
            << "mupdf, page " << page;
    }
}

// Missing files, a pipe (which would block a reader) and a file past the size bound (sparse
// here, so it costs nothing) are each left out with a note, without reading them.
TEST(Attachments, EmbeddedWithDescriptionsAndUnreadableFilesNoted) {
    MarkBuild m;
    writeFile(m.dir.path("data.csv"), "a,b\n1,2\n");
    fs::create_directory(m.dir.path("sub"));
    writeFile(m.dir.path("sub/data.csv"), "other");
    ASSERT_EQ(::mkfifo(m.dir.path("pipe").c_str(), 0600), 0);
    writeFile(m.dir.path("huge.bin"), "");
    fs::resize_file(m.dir.path("huge.bin"), 600ull << 20);
    std::string markup = "<EMBED SRC=\"" + m.dir.path("data.csv").string() + "\" DESCR=\"Figures\">";
    for (const char* name : {"missing.txt", "sub/data.csv", "pipe", "huge.bin"})
        markup += "<EMBED SRC=\"" + m.dir.path(name).string() + "\" DESCR=\"\">";
    m.call("setFileDataS", {"attach", markup}).call("setEmbedFile", {"attach"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    EXPECT_TRUE(m.b.warned("missing.txt cannot be read"));
    EXPECT_TRUE(m.b.warned("pipe cannot be read"));
    EXPECT_TRUE(m.b.warned("huge.bin cannot be read"));
    const auto listed = run("pdfdetach -list " + quote(m.out)).output;
    EXPECT_TRUE(has(listed, "2 embedded files")) << listed;
    QPDF pdf;
    pdf.processFile(m.out.c_str());
    QPDFEmbeddedFileDocumentHelper files(pdf);
    auto first = files.getEmbeddedFile("data.csv");
    ASSERT_TRUE(first);
    EXPECT_EQ(first->getDescription(), "Figures");
    EXPECT_EQ(first->getEmbeddedFileStream().getStreamData()->getSize(), 8u);
    EXPECT_TRUE(files.getEmbeddedFile("data.csv (2)"));
}

TEST(OpenActions, PrintAndMailAskTheReader) {
    MarkBuild m;
    m.call("setPrint").call("setMail");
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    QPDF pdf;
    pdf.processFile(m.out.c_str());
    auto action = pdf.getRoot().getKey("/OpenAction");
    EXPECT_TRUE(action.getKey("/S").isNameAndEquals("/JavaScript"));
    const std::string js = action.getKey("/JS").getUTF8Value();
    EXPECT_TRUE(has(js, "this.print({bUI:true});"));
    EXPECT_TRUE(has(js, "this.mailDoc(true);"));
}

TEST(Stamps, AnnotationWithAppearanceInTheTopRightCorner) {
    MarkBuild m;
    m.call("setStamp", {"Approved"}).call("setStampText", {"by QA"}).call("setOverlayPages", {"2"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    EXPECT_FALSE(m.b.warned("not supported"));
    QPDF pdf;
    pdf.processFile(m.out.c_str());
    EXPECT_TRUE(annotations(pdf, 0, "/Stamp").empty());
    auto stamps = annotations(pdf, 1, "/Stamp");
    ASSERT_EQ(stamps.size(), 1u);
    EXPECT_TRUE(stamps[0].getKey("/AP").getKey("/N").isStream());
    const auto r = stamps[0].getKey("/Rect").getArrayAsRectangle();
    EXPECT_NEAR(r.urx, 612 - 36, 0.5);
    EXPECT_NEAR(r.ury, 792 - 36, 0.5);
    const Render shown = render(m.out, 2, m.dir);
    const auto g = [&] {
        for (std::size_t i = 0; i + 2 < shown.rgb.size(); i += 3)
            if (static_cast<unsigned char>(shown.rgb[i + 1]) > 100 &&
                static_cast<unsigned char>(shown.rgb[i]) < 80)
                return true;
        return false;
    }();
    EXPECT_TRUE(g);
}

TEST(Stamps, BackgroundPlacedTurnedAndScaled) {
    MarkBuild m;
    m.call("setStamp", {"Void,rev"}).call("setAngle", {"30"}).call("setPageScale", {"200"});
    m.call("setUnits", {"in"}).call("setPageRight", {"1"}).call("setPageDown", {"2"});
    ASSERT_EQ(m.b.run(), "3");
    EXPECT_TRUE(checks(m.out));
    QPDF pdf;
    pdf.processFile(m.out.c_str());
    EXPECT_TRUE(annotations(pdf, 0, "/Stamp").empty());
    // Drawn into every page beneath the content, near one inch right and two down.
    for (int page = 1; page <= 3; ++page) {
        const Render shown = render(m.out, page, m.dir);
        EXPECT_TRUE(shown.colouredNear(0.23, 0.23, true)) << page;
        EXPECT_FALSE(shown.colouredNear(0.85, 0.9, true)) << page;
    }
    // The page geometry before setStamp stays with the pages: nothing moved.
    EXPECT_TRUE(has(pageTexts(m.out)[0], "body 1"));
}

TEST(Stamps, ShapesAndUnknownNames) {
    for (const char* name : {"Check", "Cross", "Sign Here", "Mystery"}) {
        MarkBuild m(1);
        m.call("setStamp", {name});
        ASSERT_EQ(m.b.run(), "1") << name;
        EXPECT_TRUE(checks(m.out)) << name;
        QPDF pdf;
        pdf.processFile(m.out.c_str());
        EXPECT_EQ(annotations(pdf, 0, "/Stamp").size(), 1u) << name;
        EXPECT_EQ(m.b.warned("is not one of the stamps"), std::string(name) == "Mystery");
    }
}

} // namespace
} // namespace plait::pdf::testing

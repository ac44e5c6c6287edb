// Text in scripts the bundled font lacks is drawn in a system font that has it, embedded as a
// subset, and reads back as written.
#include "../Fixtures.h"
#include "pdfengine/marks/UnicodeFont.h"

#include <qpdf/QPDF.hh>

namespace plait::pdf::testing {
namespace {

const std::string kTokyo = "\xE6\x9D\xB1\xE4\xBA\xAC"; // two CJK ideographs
const std::string kGreek = "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1";

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(Scripts, CjkTextInPageNumbersTextAreasAndStampsReadsBack) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "body", 2);
    const auto out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setCmds", {"deterministic"});
    b.call("setPageNum").call("setPageFmt", {kTokyo + " %1"});
    // A line mixing three scripts: each character comes from a font that has it.
    b.call("setFileDataS", {"_text_", "<TEXT PAGES=\"\" SIZE=\"20\" X=72 Y=600 ANGLE=0 COLOR=\"000000\">" +
                                          kGreek + " " + kTokyo + " Caf\xC3\xA9</TEXT>"});
    b.call("setStrFileIn", {"_text_"});
    b.call("setStamp", {"Approved"}).call("setStampText", {kTokyo});
    ASSERT_EQ(b.run(), "2");
    EXPECT_FALSE(b.warned("drawn as \"?\""));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(
        run("mutool draw -o /dev/null " + quote(out) + " 2>&1 | grep -v -e 'ICC support' -e '^page '").output,
        "");
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 2u);
    for (const auto& page : texts) {
        EXPECT_TRUE(has(page, kTokyo + " ")) << page; // the page number
        EXPECT_TRUE(has(page, kGreek + " " + kTokyo + " Caf\xC3\xA9")) << page;
    }
    // The number sits where asked, its width measured in the font drawn.
    std::optional<Word> number; // the lowest of the words (the stamp has one too, at the top)
    for (const auto& w : words(out, 2))
        if (w.text == kTokyo && (!number || w.yMax > number->yMax))
            number = w;
    ASSERT_TRUE(number);
    EXPECT_NEAR(number->xMin, 36, 1);
    EXPECT_NEAR(number->yMax, 792 - 36, 5);
    // The stamp is an annotation: its appearance carries the text.
    QPDF pdf;
    pdf.processFile(out.c_str());
    bool stamped = false;
    for (auto annot : pageOf(pdf, 0).getKey("/Annots").aitems())
        stamped = stamped || annot.getKey("/Subtype").isNameAndEquals("/Stamp");
    EXPECT_TRUE(stamped);
    const auto stampText = run("mutool draw -F txt -o - " + quote(out) + " 1").output;
    EXPECT_TRUE(has(stampText, kTokyo)) << stampText;

    // Fonts are embedded subsets: marked as such and far smaller than the fonts themselves.
    const auto fonts = run("pdffonts " + quote(out)).output;
    for (const std::string name : {"PLAITA+DejaVuSans ", "PLAITB+DroidSansFallbackFull "}) {
        const auto line = fonts.find(name);
        ASSERT_NE(line, std::string::npos) << fonts;
        EXPECT_NE(fonts.substr(line, fonts.find('\n', line) - line).find("yes yes yes"), std::string::npos)
            << fonts;
    }
    EXPECT_LT(fs::file_size(out), 400u * 1024);
}

TEST(Scripts, CharactersNoFontHasBecomeQuestionMarksWithAWarning) {
    TempDir dir;
    const auto in = makePdf(dir.path("in.pdf"), "body", 1);
    const auto out = dir.path("out.pdf").string();
    Build b;
    // A private-use character of the last plane: no font has it.
    b.call("setOutFile", {out}).call("setInFile", {in});
    b.call("setPageNum").call("setPageFmt", {kTokyo + "\xF4\x8F\xBF\xBD%1"});
    ASSERT_EQ(b.run(), "1");
    EXPECT_TRUE(b.warned("drawn as \"?\""));
    EXPECT_TRUE(has(pageTexts(out)[0], kTokyo + "?1")) << pageTexts(out)[0];
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

// Only TrueType-outline files are taken; collections, PostScript outlines and other files are
// refused before they are read whole.
TEST(Scripts, OnlyTrueTypeFontFilesAreUsed) {
    TempDir dir;
    marks::UnicodeFont font;
    EXPECT_TRUE(font.load("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    EXPECT_NE(font.glyph(U'\u0391'), 0); // Greek capital alpha
    EXPECT_EQ(font.glyph(U'\U0010FFFD'), 0);
    for (const std::string& head :
         {std::string("ttcf\0\2\0\0", 8), std::string("OTTO\0\x0A", 6), std::string("%PDF-1.7")}) {
        writeFile(dir.path("font.ttf"), head + std::string(64, '\0'));
        EXPECT_FALSE(marks::UnicodeFont().load(dir.path("font.ttf").string())) << head.substr(0, 4);
    }
    // A TrueType header without the tables a font needs.
    writeFile(dir.path("font.ttf"), std::string("\0\1\0\0", 4) + std::string(64, '\0'));
    EXPECT_FALSE(marks::UnicodeFont().load(dir.path("font.ttf").string()));
    EXPECT_FALSE(marks::UnicodeFont().load(dir.root().string()));
}

} // namespace
} // namespace plait::pdf::testing

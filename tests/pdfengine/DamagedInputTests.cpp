// Damaged and odd inputs: each gives an output every reader opens, or a failure that names
// the file; warnings say which input was damaged.
#include "pdfengine/DamagedPdfs.h"
#include "pdfengine/Fixtures.h"
#include "pdfengine/InputType.h"
#include "pdfengine/Soundness.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <regex>
#include <tuple>

#include <sys/stat.h>

namespace plait::pdf::testing {
namespace {

using namespace std::string_literals;
using Strings = std::vector<std::string>;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// What independent readers make of a file: qpdf's check (0 clean; 3 would be warnings, 2
// errors), poppler's page count and mupdf's parse.
void expectSoundPdf(const std::string& path, int pages, const std::string& label) {
    const ToolResult check = run("qpdf --check " + quote(path));
    EXPECT_EQ(check.exitCode, 0) << label << "\n" << check.output;
    EXPECT_EQ(pageCount(path), pages) << label;
    const ToolResult mu = run("mutool info " + quote(path));
    EXPECT_EQ(mu.exitCode, 0) << label << "\n" << mu.output;
    EXPECT_EQ(mu.output.find("error"), std::string::npos) << label << "\n" << mu.output;
}

std::vector<std::string> warningsOf(const Build& b) {
    return b.engine.warnings();
}

TEST(DamagedInput, EachRepairableKindGivesASoundOutputAloneAndMerged) {
    TempDir dir;
    const std::string other = makePdf(dir.path("other.pdf"), "other", 1);
    for (const auto& damaged : repairablePdfs()) {
        const std::string in = dir.path(damaged.name).string();
        writeFile(in, damaged.bytes);
        // Alone, the input is written as it stands; with a second input its pages are copied.
        for (bool merged : {false, true}) {
            const std::string label = damaged.name + (merged ? " merged" : " alone");
            const std::string out = dir.path("out.pdf").string();
            fs::remove(out);
            Build b;
            b.call("setOutFile", {out}).call("setInFile", {merged ? in + "," + other : in});
            ASSERT_EQ(b.run(), merged ? "3" : "2") << label;
            expectSoundPdf(out, merged ? 3 : 2, label);
            const auto texts = pageTexts(out);
            ASSERT_GE(texts.size(), 2u);
            EXPECT_NE(texts[1].find("page two"), std::string::npos) << label;
            // Repairs are told about the input by its name, never as the output's or by number.
            for (const auto& w : warningsOf(b)) {
                EXPECT_EQ(w.find("output:"), std::string::npos) << label << ": " << w;
                EXPECT_EQ(w.find("input 1"), std::string::npos) << label << ": " << w;
                if (w.find("repaired") != std::string::npos) {
                    EXPECT_EQ(w.rfind(damaged.name + " is damaged and was repaired", 0), 0u)
                        << label << ": " << w;
                }
            }
        }
    }
}

TEST(DamagedInput, JunkBeforeTheHeaderIsSkippedAndSaidSo) {
    TempDir dir;
    const std::string in = dir.path("late.pdf").string();
    writeFile(in, std::string(5000, 'x') + soundTwoPagePdf());
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in});
    ASSERT_EQ(b.run(), "2");
    EXPECT_TRUE(
        b.warned("late.pdf is damaged and was repaired: 5000 bytes before its PDF header were skipped"));
    // The objects were found at their own offsets, not by rebuilding the cross-reference.
    EXPECT_FALSE(b.warned("reconstruct"));
    expectSoundPdf(out, 2, "late.pdf");
}

TEST(DamagedInput, APageTreeWithNoPagesIsNamedNotBlamedOnThePageList) {
    TempDir dir;
    const std::string in = dir.path("hollow.pdf").string();
    writeFile(in, replaced(soundTwoPagePdf(), "/Kids [3 0 R 4 0 R] /Count 2", "/Kids [] /Count 0"));
    const std::string good = makePdf(dir.path("good.pdf"), "good", 1);
    const std::string out = dir.path("out.pdf").string();

    Build alone;
    alone.call("setOutFile", {out}).call("setInFile", {in});
    EXPECT_EQ(alone.run(), "-4");
    EXPECT_TRUE(alone.warned("Error parsing input file " + in + ": its page tree holds no pages"));
    EXPECT_FALSE(alone.warned("No pages for output PDF"));
    EXPECT_FALSE(fs::exists(out));

    // With another input the build goes on, and says what the damaged one added.
    Build merged;
    merged.call("setOutFile", {out}).call("setInFile", {in + "," + good});
    EXPECT_EQ(merged.run(), "1");
    EXPECT_TRUE(merged.warned("hollow.pdf: its page tree holds no pages; it adds nothing"));
}

TEST(DamagedInput, ACatalogWhosePagesEntryIsAPageGetsATree) {
    TempDir dir;
    std::string bytes =
        replaced(soundTwoPagePdf(), "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Catalog /Pages 3 0 R >>");
    const std::string in = dir.path("bare.pdf").string();
    writeFile(in, bytes);
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in});
    ASSERT_EQ(b.run(), "1");
    EXPECT_TRUE(b.warned("bare.pdf is damaged and was repaired: its one page had no page tree above it"));
    expectSoundPdf(out, 1, "bare.pdf");
}

TEST(DamagedInput, TextThatLooksLikeAudioIsRefusedByName) {
    TempDir dir;
    const std::string text = "Plain text, not audio.\n";
    std::string le = "\xFF\xFE", be = "\xFE\xFF";
    for (char c : text) {
        le += std::string{c, '\0'};
        be += std::string{'\0', c};
    }
    for (const auto& [name, bytes] : {std::pair{"notes-le.txt", le}, std::pair{"notes-be.txt", be}}) {
        std::string repeated;
        for (int i = 0; i < 50; ++i)
            repeated += i == 0 ? bytes : bytes.substr(2);
        const std::string in = dir.path(name).string();
        writeFile(in, repeated);
        Build b;
        b.call("setOutFile", {dir.path("out.pdf").string()}).call("setInFile", {in});
        EXPECT_EQ(b.run(), "-4") << name;
        EXPECT_TRUE(b.warned(in + ": the file is neither a PDF")) << name;
    }
}

TEST(DamagedInput, SpecialFilesAreRefusedWithoutReading) {
    TempDir dir;
    const std::string fifo = dir.path("pipe.pdf").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string good = makePdf(dir.path("good.pdf"), "good", 1);
    for (const std::string& in : {std::string("/dev/zero"), fifo}) {
        Build b;
        b.call("setOutFile", {dir.path("out.pdf").string()}).call("setInFile", {in});
        EXPECT_EQ(b.run(), "-1") << in;
        EXPECT_TRUE(b.warned("Cannot open input file " + in + ": it is a device, a pipe or a socket")) << in;
    }
    // A bookmark or markup file that is a device is left out with a note; the build goes on.
    Build marks;
    marks.call("setOutFile", {dir.path("out.pdf").string()})
        .call("setInFile", {good})
        .call("setBookmarkFile", {fifo});
    EXPECT_EQ(marks.run(), "1");
    EXPECT_TRUE(marks.warned("The bookmark file " + fifo + " cannot be read (it is a device, a pipe"));
}

TEST(Soundness, PageTreeIsRebuiltOnlyWhenItDisagreesWithItsPages) {
    TempDir dir;
    const auto load = [&](const std::string& bytes) {
        writeFile(dir.path("in.pdf"), bytes);
        auto pdf = std::make_unique<QPDF>();
        pdf->setSuppressWarnings(true);
        pdf->processFile(dir.path("in.pdf").c_str());
        pdf->pushInheritedAttributesToPage();
        return pdf;
    };
    auto sound = load(soundTwoPagePdf());
    EXPECT_FALSE(soundPageTree(*sound, QPDFPageDocumentHelper(*sound).getAllPages()));

    for (const char* count : {"/Count 5", "/Count -3", ""}) {
        auto bad = load(replaced(soundTwoPagePdf(), "/Count 2", count));
        EXPECT_TRUE(soundPageTree(*bad, QPDFPageDocumentHelper(*bad).getAllPages())) << count;
        QPDFObjectHandle tree = bad->getRoot().getKey("/Pages");
        EXPECT_EQ(tree.getKey("/Count").getIntValue(), 2) << count;
        EXPECT_EQ(bad->getAllPages().size(), 2u);
        for (QPDFObjectHandle page : bad->getAllPages())
            EXPECT_TRUE(page.getKey("/Parent").isSameObjectAs(tree));
    }
}

TEST(Soundness, StreamFiltersThatAreNoNamesAreMadeUsable) {
    QPDF pdf;
    pdf.emptyPDF();
    const auto streamWith = [&](const std::string& filter) {
        QPDFObjectHandle s = QPDFObjectHandle::newStream(&pdf, "BT ET");
        s.getDict().replaceKey("/Filter", QPDFObjectHandle::parse(filter));
        s.getDict().replaceKey("/DecodeParms", QPDFObjectHandle::parse("<< /Predictor 12 >>"));
        return pdf.makeIndirectObject(s);
    };
    QPDFObjectHandle number = streamWith("7");
    QPDFObjectHandle text = streamWith("(FlateDecode)"); // but the data is not compressed
    QPDFObjectHandle hex = streamWith("(ASCIIHexDecode)");
    hex.replaceStreamData("4254204554>", QPDFObjectHandle::parse("(ASCIIHexDecode)"),
                          QPDFObjectHandle::newNull());
    QPDFObjectHandle fine = streamWith("/ASCIIHexDecode");
    EXPECT_EQ(soundStreamFilters(pdf), 3);
    EXPECT_FALSE(number.getDict().hasKey("/Filter"));
    EXPECT_FALSE(number.getDict().hasKey("/DecodeParms"));
    EXPECT_FALSE(text.getDict().hasKey("/Filter"));
    EXPECT_TRUE(hex.getDict().getKey("/Filter").isNameAndEquals("/ASCIIHexDecode"));
    EXPECT_EQ(hex.getStreamData(qpdf_dl_all)->getSize(), 5u);
    EXPECT_TRUE(fine.getDict().getKey("/Filter").isName()); // a name is left alone, even if wrong
}

TEST(Soundness, PageContentIsKeptAsFarAsItDecodes) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pages(pdf);
    const auto addPage = [&](const std::string& data, const std::string& filter) {
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
        QPDFObjectHandle content = QPDFObjectHandle::newStream(&pdf);
        content.replaceStreamData(data, QPDFObjectHandle::parse(filter), QPDFObjectHandle::newNull());
        page.replaceKey("/Contents", content);
        pages.addPage(QPDFPageObjectHelper(page), false);
        return content;
    };
    QPDFObjectHandle sound = addPage("4254204554>", "/ASCIIHexDecode");
    QPDFObjectHandle unknown = addPage("BT ET", "/NoSuchDecode");
    // Compressed content whose compression is garbled: nothing of it can be kept.
    std::string text = "BT /F1 12 Tf 72 700 Td (";
    unsigned seed = 1;
    for (int i = 0; i < 3000; ++i) {
        seed = seed * 1103515245u + 12345u;
        text += static_cast<char>('a' + (seed >> 16) % 26);
    }
    text += ") Tj ET";
    Pl_Buffer buffer("compressed");
    Pl_Flate deflate("deflate", &buffer, Pl_Flate::a_deflate);
    deflate.writeString(text);
    deflate.finish();
    auto bytes = buffer.getBufferSharedPointer();
    std::string compressed(reinterpret_cast<const char*>(bytes->getBuffer()), bytes->getSize());
    compressed[0] = 'X'; // no zlib header: nothing decodes
    QPDFObjectHandle cut = addPage(compressed, "/FlateDecode");
    EXPECT_TRUE(contentsSuspect(pdf));
    EXPECT_EQ(soundPageContents(pdf), 2);
    EXPECT_TRUE(sound.getDict().hasKey("/Filter"));
    EXPECT_FALSE(unknown.getDict().hasKey("/Filter"));
    EXPECT_EQ(unknown.getRawStreamData()->getSize(), 0u);
    EXPECT_FALSE(cut.getDict().hasKey("/Filter"));
    auto kept = cut.getRawStreamData();
    const std::string start(reinterpret_cast<const char*>(kept->getBuffer()), kept->getSize());
    EXPECT_EQ(start, "");
    EXPECT_FALSE(contentsSuspect(pdf));
}

TEST(Soundness, WrittenFileCheckCatchesWhatReadersRefuse) {
    TempDir dir;
    const std::string path = dir.path("x.pdf").string();
    writeFile(path, soundTwoPagePdf());
    EXPECT_EQ(checkWrittenPdf(path, 2, ""), "");
    EXPECT_NE(checkWrittenPdf(path, 3, ""), ""); // counts two pages where three were written
    writeFile(path, replaced(soundTwoPagePdf(), "/Count 2", "/Count 2147483647"));
    EXPECT_NE(checkWrittenPdf(path, 2, ""), "");
    writeFile(path, replaced(soundTwoPagePdf(), "/Size 8 ", ""));
    EXPECT_NE(checkWrittenPdf(path, 2, ""), "");
    writeFile(path, replaced(soundTwoPagePdf(), "0000000015 00000 n", "0000000500 00000 n"));
    EXPECT_NE(checkWrittenPdf(path, 2, ""), ""); // would need its cross-reference rebuilt
    writeFile(path, soundTwoPagePdf().substr(0, 300));
    EXPECT_NE(checkWrittenPdf(path, 2, ""), "");
}

TEST(InputSniff, HeaderIsLookedForAsReadersDo) {
    const std::string pdf = soundTwoPagePdf();
    EXPECT_EQ(sniffInput(pdf).type, InputType::Pdf);
    EXPECT_EQ(sniffInput(pdf).pdfStart, 0u);
    const auto late = sniffInput(std::string(3000, ' ') + pdf);
    EXPECT_EQ(late.type, InputType::Pdf);
    EXPECT_EQ(late.pdfStart, 3000u);
    // Header gone, but the body is a PDF's: the parser gets to rebuild it.
    const auto headless = sniffInput(std::string(8, '\0') + pdf.substr(8));
    EXPECT_EQ(headless.type, InputType::Pdf);
    EXPECT_EQ(headless.pdfStart, 0u);
    EXPECT_FALSE(headless.bareBody);
    // An object at the very start: the parser needs a header put in front.
    const auto bare = sniffInput(pdf.substr(pdf.find("1 0 obj")));
    EXPECT_EQ(bare.type, InputType::Pdf);
    EXPECT_TRUE(bare.bareBody);
    // A media signature at the start beats a header found later on.
    EXPECT_EQ(sniffInput("RIFF\x10\0\0\0WAVEfmt "s + std::string(2000, '\0') + "%PDF-1.4").type,
              InputType::Other);
    // A header within the first kilobyte beats everything but an image.
    EXPECT_EQ(sniffInput("ID3\x03\0\0\0\0\0\0%PDF-1.4"s).type, InputType::Pdf);
    EXPECT_EQ(sniffInput(std::string("\x89PNG\r\n\x1A\n", 8) + "%PDF-").type, InputType::Image);
    EXPECT_EQ(sniffInput("Dear reader, objects are obj 12 in this text.").type, InputType::Other);
    EXPECT_EQ(sniffInput("").type, InputType::Other);
}

// A page-tree leaf with no /Kids is a page to every reader, whatever its /Type says: it is kept,
// alone and in a merge.
TEST(DamagedInput, ALeafNotMarkedAsAPageIsKeptAsOne) {
    TempDir dir;
    const std::string other = makePdf(dir.path("other.pdf"), "other", 1);
    // Each the same length as what it replaces, so the cross-reference table stays right.
    for (const auto& [name, type] :
         std::vector<std::pair<std::string, std::string>>{{"untyped-leaf.pdf", "            "},
                                                          {"misnamed-leaf.pdf", "/Type /Pgae "},
                                                          {"leaf-named-a-node.pdf", "/Type /Pages"}}) {
        const std::string in = dir.path(name).string();
        writeFile(in, replaced(soundTwoPagePdf(), "4 0 obj\n<< /Type /Page ", "4 0 obj\n<< " + type));
        ASSERT_EQ(run("qpdf --show-npages " + quote(in)).output, "2\n") << name;
        for (const auto& [label, inputs, texts] : std::vector<std::tuple<std::string, std::string, Strings>>{
                 {"alone", in, {"page one", "page two"}},
                 {"merged", in + "," + other, {"page one", "page two", "other 1"}}}) {
            SCOPED_TRACE(name + " " + label);
            const std::string out = dir.path(label + ".pdf").string();
            Build b;
            b.call("setOutFile", {out}).call("setInFile", {inputs});
            EXPECT_EQ(b.run(), std::to_string(texts.size()));
            expectSoundPdf(out, static_cast<int>(texts.size()), label);
            EXPECT_EQ(pageTexts(out), texts);
            EXPECT_FALSE(b.warned("left out"));
        }
    }
}

// A catalog written directly in the trailer is read by every reader; the output's catalog is an
// object of its own of type /Catalog, which poppler needs to open the file at all.
TEST(DamagedInput, ACatalogWrittenInTheTrailerBecomesAnObject) {
    TempDir dir;
    const std::string other = makePdf(dir.path("other.pdf"), "other", 1);
    const std::string in = dir.path("direct-root.pdf").string();
    writeFile(in, replaced(soundTwoPagePdf(), "/Root 1 0 R", "/Root << /Pages 2 0 R >>"));
    ASSERT_EQ(run("qpdf --show-npages " + quote(in)).output, "2\n");
    for (const auto& [label, inputs, pages] : std::vector<std::tuple<std::string, std::string, int>>{
             {"alone", in, 2}, {"merged", in + "," + other, 3}, {"after", other + "," + in, 3}}) {
        SCOPED_TRACE(label);
        const std::string out = dir.path(label + ".pdf").string();
        Build b;
        b.call("setOutFile", {out}).call("setInFile", {inputs});
        EXPECT_EQ(b.run(), std::to_string(pages));
        expectSoundPdf(out, pages, label);
        const ToolResult info = run("pdfinfo " + quote(out));
        EXPECT_EQ(info.exitCode, 0) << info.output;
        EXPECT_FALSE(has(info.output, "Error")) << info.output;
        const std::string trailer = run("qpdf --show-object=trailer " + quote(out)).output;
        EXPECT_TRUE(std::regex_search(trailer, std::regex(R"(/Root \d+ \d+ R)"))) << trailer;
        QPDF q;
        q.processFile(out.c_str());
        EXPECT_TRUE(q.getRoot().getKey("/Type").isNameAndEquals("/Catalog")) << q.getRoot().unparse();
    }
}

} // namespace
} // namespace plait::pdf::testing

// Objects that several inputs (or pages) hold the same are written once.
#include "pdfengine/Fixtures.h"

#include <qpdf/QPDF.hh>

namespace plait::pdf::testing {
namespace {

// One page showing `text` in an embedded-looking font and painting a 32 by 32 image, each of
// whose pixels is `pixel` (three bytes, RGB); the font's file is 4 KB of `fontByte`. The
// shared parts are as large as a logo and a font subset are, or near it.
std::string invoice(const fs::path& path, const std::string& text, const std::string& pixel,
                    char fontByte = 'F') {
    std::string pixels;
    for (int i = 0; i < 32 * 32; ++i)
        pixels += pixel;
    const std::string fontBytes(4096, fontByte);
    const std::string profile(3000, 'P');
    const std::string content = "q 50 0 0 50 72 600 cm /Im1 Do Q BT /F1 24 Tf 72 700 Td (" + text + ") Tj ET";
    return rawPdf(
        path, {
                  "<< /Type /Catalog /Pages 2 0 R >>",
                  "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                  "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R"
                  " /Resources << /Font << /F1 5 0 R >> /XObject << /Im1 6 0 R >> >> >>",
                  "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
                  "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FontDescriptor 7 0 R >>",
                  "<< /Type /XObject /Subtype /Image /Width 32 /Height 32 /ColorSpace 8 0 R"
                  " /BitsPerComponent 8 /Length 3072 >>\nstream\n" +
                      pixels + "\nendstream",
                  "<< /Type /FontDescriptor /FontName /Helvetica /Flags 32 /FontBBox [0 0 1000 1000]"
                  " /ItalicAngle 0 /Ascent 718 /Descent -207 /CapHeight 718 /StemV 88 /FontFile3 9 0 R >>",
                  "[/ICCBased 10 0 R]",
                  "<< /Subtype /Type1C /Length " + std::to_string(fontBytes.size()) + " >>\nstream\n" +
                      fontBytes + "\nendstream",
                  "<< /N 3 /Alternate /DeviceRGB /Length 3000 >>\nstream\n" + profile + "\nendstream",
              });
}

struct Census {
    int images = 0, fonts = 0, descriptors = 0, fontFiles = 0, profiles = 0;
};

// What a reader finds in the written file (objects reached from its pages, as qpdf reads it).
Census census(const std::string& path) {
    QPDF pdf;
    pdf.processFile(path.c_str());
    Census c;
    for (QPDFObjectHandle obj : pdf.getAllObjects()) {
        QPDFObjectHandle dict = obj.isStream() ? obj.getDict() : obj;
        if (!dict.isDictionary()) {
            if (obj.isArray() && obj.getArrayNItems() > 0 && obj.getArrayItem(0).isNameAndEquals("/ICCBased"))
                ++c.profiles;
            continue;
        }
        c.images += dict.getKey("/Subtype").isNameAndEquals("/Image") ? 1 : 0;
        c.fonts += dict.getKey("/Type").isNameAndEquals("/Font") ? 1 : 0;
        c.descriptors += dict.getKey("/Type").isNameAndEquals("/FontDescriptor") ? 1 : 0;
        c.fontFiles += dict.getKey("/Subtype").isNameAndEquals("/Type1C") ? 1 : 0;
    }
    return c;
}

TEST(SharedObjects, WhatInputsShareIsWrittenOnceWithEveryPageIntact) {
    TempDir dir;
    std::string inputs;
    for (int i = 1; i <= 3; ++i) {
        const std::string in = invoice(dir.path("invoice" + std::to_string(i) + ".pdf"),
                                       "Invoice " + std::to_string(i), "\x10\x20\x30");
        inputs += (inputs.empty() ? "" : ",") + in;
    }
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {inputs});
    ASSERT_EQ(b.run(), "3");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    // The image, its colour space and profile, the font, its descriptor and its file: once each.
    const Census c = census(out);
    EXPECT_EQ(c.images, 1);
    EXPECT_EQ(c.profiles, 1);
    EXPECT_EQ(c.fonts, 1);
    EXPECT_EQ(c.descriptors, 1);
    EXPECT_EQ(c.fontFiles, 1);
    const auto texts = pageTexts(out);
    ASSERT_EQ(texts.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(texts[static_cast<std::size_t>(i)].find("Invoice " + std::to_string(i + 1)),
                  std::string::npos);
}

TEST(SharedObjects, LookalikesThatDifferInTheirDataAreKeptApart) {
    TempDir dir;
    // Same dictionaries and lengths, other pixels and other font bytes: nothing may be folded,
    // and so the fonts (whose files differ) stay apart too.
    const std::string a = invoice(dir.path("a.pdf"), "A", "\x10\x20\x30", 'F');
    const std::string b2 = invoice(dir.path("b.pdf"), "B", "\x10\x20\x31", 'G');
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {a + "," + b2});
    ASSERT_EQ(b.run(), "2");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    const Census c = census(out);
    EXPECT_EQ(c.images, 2);
    EXPECT_EQ(c.fontFiles, 2);
    EXPECT_EQ(c.fonts, 2);
    EXPECT_EQ(c.profiles, 1); // the profile is the same in both
    // Each page still paints its own pixel.
    QPDF pdf;
    pdf.processFile(out.c_str());
    const auto pixelOf = [&pdf](int page) {
        QPDFObjectHandle image = pageOf(pdf, page).getKey("/Resources").getKey("/XObject").getKey("/Im1");
        auto data = image.getStreamData(qpdf_dl_generalized);
        return std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    };
    EXPECT_EQ(pixelOf(0).substr(0, 6), "\x10\x20\x30\x10\x20\x30");
    EXPECT_EQ(pixelOf(1).substr(0, 6), "\x10\x20\x31\x10\x20\x31");
}

} // namespace
} // namespace plait::pdf::testing

#include "pdfengine/export/ImageExport.h"
#include "pdfengine/Fixtures.h"
#include "pdfengine/images/ImageFixtures.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <png.h>

#include <gtest/gtest.h>

#include <set>

namespace plait::pdf::testing {
namespace {

namespace img = plait::testing;

// Left half red, right half blue.
std::uint32_t redBlue(unsigned x, unsigned, unsigned width) {
    return x < width / 2 ? img::rgba(255, 0, 0) : img::rgba(0, 0, 255);
}

struct ReadPng {
    bool ok = false;
    unsigned width = 0, height = 0;
    std::vector<unsigned char> rgba; // 4 bytes a pixel
};

ReadPng readPng(const fs::path& path) {
    ReadPng result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return result;
    }
    image.format = PNG_FORMAT_RGBA;
    result.rgba.resize(PNG_IMAGE_SIZE(image));
    result.ok = png_image_finish_read(&image, nullptr, result.rgba.data(), 0, nullptr) != 0;
    result.width = image.width;
    result.height = image.height;
    return result;
}

std::set<std::string> filesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// A two-page PDF made by the engine: page 1 shows a JPEG (kept as DCT), page 2 an RGB PNG
// (decoded and stored with Flate).
struct TwoImages {
    TempDir dir;
    std::string jpeg = img::makeJpeg({.width = 64, .height = 32});
    std::string pdf = dir.path("both.pdf").string();
    TwoImages() {
        writeFile(dir.path("photo.jpg"), jpeg);
        writeFile(dir.path("pic.png"),
                  img::makePng({.width = 40, .height = 20, .colorType = PNG_COLOR_TYPE_RGB},
                               [](unsigned x, unsigned y) { return redBlue(x, y, 40); }));
        Build build;
        build.call("setOutFile", {pdf})
            .call("setInFile", {dir.path("photo.jpg").string() + "," + dir.path("pic.png").string()});
        EXPECT_EQ(build.run(), "2");
    }
    std::string exportTo(const fs::path& folder, const std::string& pages = "", Build* used = nullptr) {
        Build local;
        Build& build = used ? *used : local;
        build.call("setImgDir").call("setOutFile", {folder.string()}).call("setInFile", {pdf});
        if (!pages.empty())
            build.call("setPages", {pages});
        return build.run();
    }
};

TEST(ImageExport, JpegIsCopiedAsIsAndOtherImagesBecomePng) {
    TwoImages f;
    const fs::path out = f.dir.path("images"); // created by the export
    EXPECT_EQ(f.exportTo(out.string() + "/"), "2");
    EXPECT_EQ(filesIn(out), (std::set<std::string>{"both-p1-1.jpg", "both-p2-1.png"}));
    EXPECT_EQ(readFile(out / "both-p1-1.jpg"), f.jpeg);

    const ReadPng png = readPng(out / "both-p2-1.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.width, 40u);
    EXPECT_EQ(png.height, 20u);
    EXPECT_EQ(std::vector<unsigned char>(png.rgba.begin(), png.rgba.begin() + 4),
              (std::vector<unsigned char>{255, 0, 0, 255}));
    EXPECT_EQ(std::vector<unsigned char>(png.rgba.end() - 4, png.rgba.end()),
              (std::vector<unsigned char>{0, 0, 255, 255}));
    EXPECT_EQ(pageCount(f.pdf), 2); // no PDF was written over anything
}

TEST(ImageExport, PageListRestrictsAndExistingFilesAreNeverReplaced) {
    TwoImages f;
    const fs::path out = f.dir.path("images");
    fs::create_directory(out);
    writeFile(out / "both-p2-1.png", "mine");
    EXPECT_EQ(f.exportTo(out, "2"), "1");
    EXPECT_EQ(f.exportTo(out, "2"), "1");
    EXPECT_EQ(readFile(out / "both-p2-1.png"), "mine");
    EXPECT_EQ(filesIn(out), (std::set<std::string>{"both-p2-1.png", "both-p2-1-2.png", "both-p2-1-3.png"}));
}

TEST(ImageExport, OutputFolderProblemsAndEmptyResults) {
    TwoImages f;
    EXPECT_EQ(f.exportTo(f.dir.path("missing/images")), "-2");
    EXPECT_FALSE(fs::exists(f.dir.path("missing")));
    writeFile(f.dir.path("plain"), "x");
    EXPECT_EQ(f.exportTo(f.dir.path("plain")), "-2");

    // A PDF without images exports nothing, and says so, but it is not a failure.
    const auto text = makePdf(f.dir.path("text.pdf"), "t", 2);
    Build build;
    build.call("setImgDir").call("setOutFile", {f.dir.path("none").string()}).call("setInFile", {text});
    EXPECT_EQ(build.run(), "0");
    EXPECT_TRUE(build.warned("No images were found"));
    EXPECT_TRUE(filesIn(f.dir.path("none")).empty());
}

TEST(ImageExport, ImageInputsAreExportedToo) {
    TwoImages f;
    Build build;
    build.call("setImgDir")
        .call("setOutFile", {f.dir.path("out").string()})
        .call("setInFile", {f.dir.path("photo.jpg").string()});
    EXPECT_EQ(build.run(), "1");
    EXPECT_EQ(readFile(f.dir.path("out/photo-p1-1.jpg")), f.jpeg);
}

QPDFObjectHandle imageStream(QPDF& pdf, const std::string& data, int width, int height, int bits,
                             QPDFObjectHandle colourSpace) {
    QPDFObjectHandle s = pdf.newStream(data);
    QPDFObjectHandle d = s.getDict();
    d.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    d.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    d.replaceKey("/Width", QPDFObjectHandle::newInteger(width));
    d.replaceKey("/Height", QPDFObjectHandle::newInteger(height));
    d.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(bits));
    d.replaceKey("/ColorSpace", colourSpace);
    return s;
}

TEST(ImageExport, SampleLayoutsAndColourSpacesDecode) {
    QPDF pdf;
    pdf.emptyPDF();
    Raster r;
    std::string reason;
    bool approx = false;

    // 1-bit indexed, two entries: green, then white.
    auto indexed = imageStream(pdf, std::string("\x40", 1), 3, 1, 1,
                               QPDFObjectHandle::parse("[/Indexed /DeviceRGB 1 <00FF00FFFFFF>]"));
    ASSERT_TRUE(decodeImage(indexed, r, reason, approx)) << reason;
    EXPECT_EQ(r.components, 3);
    EXPECT_EQ(r.samples, std::string("\x00\xFF\x00\xFF\xFF\xFF\x00\xFF\x00", 9));

    // 16-bit grey keeps the high byte; /Decode [1 0] inverts.
    auto grey16 = imageStream(pdf, std::string("\x12\x34\xFF\xFF", 4), 2, 1, 16,
                              QPDFObjectHandle::newName("/DeviceGray"));
    ASSERT_TRUE(decodeImage(grey16, r, reason, approx)) << reason;
    EXPECT_EQ(r.samples, std::string("\x12\xFF", 2));
    grey16.getDict().replaceKey("/Decode", QPDFObjectHandle::parse("[1 0]"));
    ASSERT_TRUE(decodeImage(grey16, r, reason, approx));
    EXPECT_EQ(r.samples, std::string("\xED\x00", 2));

    // CMYK becomes RGB, flagged as approximate.
    auto cmyk = imageStream(pdf, std::string("\xFF\x00\x00\x00", 4), 1, 1, 8,
                            QPDFObjectHandle::newName("/DeviceCMYK"));
    ASSERT_TRUE(decodeImage(cmyk, r, reason, approx));
    EXPECT_TRUE(approx);
    EXPECT_EQ(r.samples, std::string("\x00\xFF\xFF", 3));

    // What cannot be decoded is refused with a reason, never read past its end.
    auto shortData = imageStream(pdf, "abc", 10, 10, 8, QPDFObjectHandle::newName("/DeviceRGB"));
    EXPECT_FALSE(decodeImage(shortData, r, reason, approx));
    auto lab = imageStream(pdf, "abc", 1, 1, 8, QPDFObjectHandle::parse("[/Lab << /WhitePoint [1 1 1] >>]"));
    EXPECT_FALSE(decodeImage(lab, r, reason, approx));
    EXPECT_NE(reason.find("Lab"), std::string::npos);
}

TEST(ImageExport, SharedImagesOnceAndUndecodableOnesSkippedWithWarning) {
    TempDir dir;
    QPDF pdf;
    pdf.emptyPDF();
    auto shared = pdf.makeIndirectObject(
        imageStream(pdf, std::string(12, '\x80'), 2, 2, 8, QPDFObjectHandle::newName("/DeviceRGB")));
    auto jbig = imageStream(pdf, "junk", 8, 8, 1, QPDFObjectHandle::newName("/DeviceGray"));
    jbig.getDict().replaceKey("/Filter", QPDFObjectHandle::newName("/JBIG2Decode"));
    jbig = pdf.makeIndirectObject(jbig);
    // A form on page 1 shows the shared image again and one of its own.
    auto own = pdf.makeIndirectObject(
        imageStream(pdf, std::string(1, '\x00'), 1, 1, 8, QPDFObjectHandle::newName("/DeviceGray")));
    auto form = pdf.newStream("/Im1 Do /Im2 Do");
    form.getDict().replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    form.getDict().replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    form.getDict().replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 10 10]"));
    auto formXObjects = QPDFObjectHandle::newDictionary();
    formXObjects.replaceKey("/Im1", shared);
    formXObjects.replaceKey("/Im2", own);
    auto formResources = QPDFObjectHandle::newDictionary();
    formResources.replaceKey("/XObject", formXObjects);
    form.getDict().replaceKey("/Resources", formResources);
    form = pdf.makeIndirectObject(form);

    QPDFPageDocumentHelper pages(pdf);
    const auto addPage = [&](std::map<std::string, QPDFObjectHandle> xobjects) {
        auto dict = QPDFObjectHandle::newDictionary();
        for (auto& [k, v] : xobjects)
            dict.replaceKey(k, v);
        auto page = QPDFObjectHandle::parse("<< /Type /Page /MediaBox [0 0 10 10] >>");
        auto resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", dict);
        page.replaceKey("/Resources", resources);
        page.replaceKey("/Contents", pdf.newStream("/X1 Do"));
        pages.addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    };
    addPage({{"/X1", shared}, {"/X2", form}});
    addPage({{"/X1", shared}, {"/X2", jbig}});
    const auto path = dir.path("made.pdf").string();
    QPDFWriter w(pdf, path.c_str());
    w.write();

    Build build;
    build.call("setImgDir").call("setOutFile", {dir.path("out").string()}).call("setInFile", {path});
    EXPECT_EQ(build.run(), "2");
    EXPECT_EQ(filesIn(dir.path("out")), (std::set<std::string>{"made-p1-1.png", "made-p1-2.png"}));
    EXPECT_TRUE(build.warned("made page 2: image X2 was not exported"));
    EXPECT_TRUE(build.warned("Not all images could be exported"));
}

TEST(ImageExport, CancelLeavesNoHalfFiles) {
    TwoImages f;
    Build build;
    build.engine.setCancelBuild(1);
    EXPECT_NE(f.exportTo(f.dir.path("out"), "", &build), "2");
    if (fs::exists(f.dir.path("out"))) {
        EXPECT_TRUE(filesIn(f.dir.path("out")).empty());
    }
}

} // namespace
} // namespace plait::pdf::testing

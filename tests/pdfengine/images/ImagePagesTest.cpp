#include "pdfengine/images/ImagePages.h"
#include "pdfengine/images/ImageFixtures.h"
#include "pdfengine/images/ImageSupport.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <gtest/gtest.h>

using namespace plait::pdf;
using namespace plait::testing;

namespace {

struct Size {
    double width, height;
};

Size pageSize(QPDFObjectHandle page) {
    const auto box = page.getKey("/MediaBox").getArrayAsRectangle();
    return {box.urx - box.llx, box.ury - box.lly};
}

QPDFObjectHandle imageOf(QPDFObjectHandle page) {
    return page.getKey("/Resources").getKey("/XObject").getKey("/Im0");
}

// Every page of every input, in order, into one PDF at `out`.
void writePdf(const std::vector<std::string>& inputs, const std::string& out) {
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper pages(pdf);
    for (const auto& input : inputs) {
        for (auto& page : makeImagePages(pdf, input)) {
            pages.addPage(page, false);
        }
    }
    QPDFWriter writer(pdf, out.c_str());
    writer.setStaticID(true);
    writer.write();
}

// Renders one page at 72 dpi with poppler and returns the PNG's path.
std::string render(const TempDir& dir, const std::string& pdf, int page) {
    const std::string base = dir.file("render-" + std::to_string(page));
    std::string output;
    const int status = runCommand("pdftoppm -r 72 -png -singlefile -f " + std::to_string(page) + " -l " +
                                      std::to_string(page) + " " + quoted(pdf) + " " + quoted(base),
                                  &output);
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output, "") << "poppler complained";
    return base + ".png";
}

void expectPdfIsClean(const std::string& pdf) {
    std::string output;
    EXPECT_EQ(runCommand("qpdf --check " + quoted(pdf), &output), 0) << output;
    EXPECT_EQ(runCommand("mutool draw -q -o /dev/null -r 20 " + quoted(pdf), &output), 0) << output;
    EXPECT_EQ(output.find("error"), std::string::npos) << output;
}

} // namespace

TEST(ImageSniff, DecidesByContentNotByName) {
    TempDir dir;
    writeFile(dir.file("png.jpg"), makePng({}));
    writeFile(dir.file("jpeg.png"), makeJpeg({}));
    writeFile(dir.file("gif.tif"), makeGif(8, 8, -1));
    writeTiff(dir.file("tiff.gif"), {TiffPage{}});
    writeFile(dir.file("junk-then-pdf.jpg"), "garbage\n%PDF-1.7\n%...");
    writeFile(dir.file("text.jpg"), "Just some text, not a picture.\n");
    writeFile(dir.file("empty.png"), "");

    EXPECT_EQ(sniffInputKind(dir.file("png.jpg")), InputKind::Png);
    EXPECT_EQ(sniffInputKind(dir.file("jpeg.png")), InputKind::Jpeg);
    EXPECT_EQ(sniffInputKind(dir.file("gif.tif")), InputKind::Gif);
    EXPECT_EQ(sniffInputKind(dir.file("tiff.gif")), InputKind::Tiff);
    EXPECT_EQ(sniffInputKind(dir.file("junk-then-pdf.jpg")), InputKind::Pdf);
    EXPECT_EQ(sniffInputKind(dir.file("text.jpg")), InputKind::Unknown);
    EXPECT_EQ(sniffInputKind(dir.file("empty.png")), InputKind::Unknown);
    EXPECT_EQ(sniffInputKind(dir.file("missing.png")), InputKind::Unknown);
    EXPECT_EQ(sniffInputKind(dir.file("")), InputKind::Unknown); // the folder itself

    QPDF pdf;
    pdf.emptyPDF();
    EXPECT_EQ(makeImagePages(pdf, dir.file("png.jpg")).size(), 1u);
    EXPECT_THROW(makeImagePages(pdf, dir.file("text.jpg")), ImageLoadError);
    EXPECT_THROW(makeImagePages(pdf, dir.file("junk-then-pdf.jpg")), ImageLoadError);
    EXPECT_THROW(makeImagePages(pdf, dir.file("empty.png")), ImageLoadError);
    EXPECT_THROW(makeImagePages(pdf, dir.file("missing.png")), ImageLoadError);
}

TEST(JpegPages, EmbedsTheFileUnchangedAtItsResolution) {
    TempDir dir;
    JpegOptions options;
    options.width = 300;
    options.height = 150;
    options.densityUnit = 1;
    options.density = 150;
    const std::string jpeg = makeJpeg(options);
    writeFile(dir.file("photo.jpg"), jpeg);
    options.densityUnit = 2; // dots per centimetre
    options.density = 59;
    writeFile(dir.file("metric.jpg"), makeJpeg(options));
    writeFile(dir.file("progressive.jpg"), makeJpeg({.width = 72, .height = 36, .progressive = true}));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("photo.jpg"), dir.file("metric.jpg"), dir.file("progressive.jpg")}, out);

    QPDF result;
    result.processFile(out.c_str());
    auto pages = QPDFPageDocumentHelper(result).getAllPages();
    ASSERT_EQ(pages.size(), 3u);
    auto image = imageOf(pages[0].getObjectHandle());
    EXPECT_EQ(image.getDict().getKey("/Filter").getName(), "/DCTDecode");
    EXPECT_EQ(image.getDict().getKey("/ColorSpace").getName(), "/DeviceRGB");
    const auto raw = image.getRawStreamData();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw->getBuffer()), raw->getSize()), jpeg);

    EXPECT_DOUBLE_EQ(pageSize(pages[0].getObjectHandle()).width, 144.0);
    EXPECT_DOUBLE_EQ(pageSize(pages[0].getObjectHandle()).height, 72.0);
    EXPECT_NEAR(pageSize(pages[1].getObjectHandle()).width, 300 / (59 * 2.54) * 72, 0.01);
    EXPECT_DOUBLE_EQ(pageSize(pages[2].getObjectHandle()).width, 72.0); // no resolution: 72 dpi

    expectPdfIsClean(out);
    const std::string png = render(dir, out, 1);
    unsigned w = 0, h = 0;
    EXPECT_TRUE(isRed(pngPixel(png, 10, 36, &w, &h)));
    EXPECT_TRUE(isBlue(pngPixel(png, 130, 36)));
    EXPECT_EQ(w, 144u);
    EXPECT_EQ(h, 72u);
}

TEST(JpegPages, GreyAndAdobeCmykKeepTheirColours) {
    TempDir dir;
    writeFile(dir.file("grey.jpg"), makeJpeg({.components = 1}));
    writeFile(dir.file("cmyk.jpg"), makeJpeg({.components = 4}));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("grey.jpg"), dir.file("cmyk.jpg")}, out);

    QPDF result;
    result.processFile(out.c_str());
    auto pages = QPDFPageDocumentHelper(result).getAllPages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(imageOf(pages[0].getObjectHandle()).getDict().getKey("/ColorSpace").getName(), "/DeviceGray");
    auto cmyk = imageOf(pages[1].getObjectHandle()).getDict();
    EXPECT_EQ(cmyk.getKey("/ColorSpace").getName(), "/DeviceCMYK");
    EXPECT_EQ(cmyk.getKey("/Decode").unparse(), "[ 1 0 1 0 1 0 1 0 ]");

    const std::string png = render(dir, out, 2);
    EXPECT_TRUE(isRed(pngPixel(png, 5, 16)));
    // Poppler turns full cyan and magenta into a deep violet rather than pure blue.
    const auto violet = pngPixel(png, 60, 16);
    EXPECT_TRUE(blue(violet) > red(violet) + 50 && blue(violet) > green(violet) + 50);
}

TEST(JpegPages, ArithmeticCodingIsDecodedForReadersThatLackIt) {
    TempDir dir;
    writeFile(dir.file("rgb.jpg"), makeJpeg({.arithmetic = true}));
    writeFile(dir.file("cmyk.jpg"), makeJpeg({.components = 4, .arithmetic = true}));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("rgb.jpg"), dir.file("cmyk.jpg")}, out);

    QPDF result;
    result.processFile(out.c_str());
    for (auto& page : QPDFPageDocumentHelper(result).getAllPages()) {
        EXPECT_EQ(imageOf(page.getObjectHandle()).getDict().getKey("/Filter").getName(), "/FlateDecode");
    }
    for (int page : {1, 2}) {
        const std::string png = render(dir, out, page);
        EXPECT_TRUE(isRed(pngPixel(png, 5, 16))) << "page " << page;
    }
}

TEST(JpegPages, ExifResolutionAndOrientationAreHonoured) {
    TempDir dir;
    // Stored 64 x 32 pixels, left red and right blue, to be turned 90 degrees clockwise.
    JpegOptions options;
    options.jfif = false;
    options.exif = makeExif(144, 6);
    writeFile(dir.file("turned.jpg"), makeJpeg(options));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("turned.jpg")}, out);

    QPDF result;
    result.processFile(out.c_str());
    auto page = QPDFPageDocumentHelper(result).getAllPages().at(0).getObjectHandle();
    EXPECT_DOUBLE_EQ(pageSize(page).width, 16.0);
    EXPECT_DOUBLE_EQ(pageSize(page).height, 32.0);

    // Turned clockwise, the stored left edge is at the top.
    const std::string png = render(dir, out, 1);
    EXPECT_TRUE(isRed(pngPixel(png, 8, 4)));
    EXPECT_TRUE(isBlue(pngPixel(png, 8, 28)));
}

TEST(ImagePlacement, EveryOrientationFillsThePage) {
    // Each matrix must map the unit square exactly onto the page.
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const auto m = images::placementFor(orientation, 30, 50);
        double minX = 1e9, minY = 1e9, maxX = -1e9, maxY = -1e9;
        for (double u : {0.0, 1.0}) {
            for (double v : {0.0, 1.0}) {
                const double x = m.a * u + m.c * v + m.e, y = m.b * u + m.d * v + m.f;
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            }
        }
        EXPECT_NEAR(minX, 0, 1e-9) << orientation;
        EXPECT_NEAR(minY, 0, 1e-9) << orientation;
        EXPECT_NEAR(maxX, 30, 1e-9) << orientation;
        EXPECT_NEAR(maxY, 50, 1e-9) << orientation;
    }
}

TEST(PngPages, ColourTypesDepthsAndTransparency) {
    struct Case {
        const char* name;
        PngOptions options;
        bool smask;
        const char* space;
    };
    auto halfTransparent = [](unsigned x, unsigned, unsigned width) {
        return x < width / 2 ? rgba(255, 0, 0, 255) : rgba(0, 0, 255, 0);
    };
    const std::vector<Case> cases = {
        {"rgba-opaque", {.colorType = PNG_COLOR_TYPE_RGB_ALPHA}, false, "/DeviceRGB"},
        {"rgb-16", {.colorType = PNG_COLOR_TYPE_RGB, .bitDepth = 16}, false, "/DeviceRGB"},
        {"grey-16", {.colorType = PNG_COLOR_TYPE_GRAY, .bitDepth = 16}, false, "/DeviceGray"},
        {"palette", {.colorType = PNG_COLOR_TYPE_PALETTE}, false, "/DeviceRGB"},
        {"palette-trns",
         {.colorType = PNG_COLOR_TYPE_PALETTE, .paletteTransparency = true},
         true,
         "/DeviceRGB"},
        {"interlaced", {.colorType = PNG_COLOR_TYPE_RGB, .interlaced = true}, false, "/DeviceRGB"},
    };
    TempDir dir;
    std::vector<std::string> inputs;
    for (const auto& c : cases) {
        inputs.push_back(dir.file(std::string(c.name) + ".png"));
        writeFile(inputs.back(), makePng(c.options));
    }
    inputs.push_back(dir.file("rgba-alpha.png"));
    writeFile(inputs.back(), makePng({}, [&](unsigned x, unsigned y) { return halfTransparent(x, y, 40); }));
    inputs.push_back(dir.file("grey-alpha-dpi.png"));
    writeFile(inputs.back(), makePng({.colorType = PNG_COLOR_TYPE_GRAY_ALPHA, .dpi = 144},
                                     [&](unsigned x, unsigned y) { return halfTransparent(x, y, 40); }));
    const std::string out = dir.file("out.pdf");
    writePdf(inputs, out);

    QPDF result;
    result.processFile(out.c_str());
    auto pages = QPDFPageDocumentHelper(result).getAllPages();
    ASSERT_EQ(pages.size(), inputs.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        auto dict = imageOf(pages[i].getObjectHandle()).getDict();
        EXPECT_EQ(dict.getKey("/SMask").isStream(), cases[i].smask) << cases[i].name;
        EXPECT_EQ(dict.getKey("/ColorSpace").getName(), cases[i].space) << cases[i].name;
        EXPECT_EQ(dict.getKey("/BitsPerComponent").getIntValue(), 8) << cases[i].name;
        EXPECT_DOUBLE_EQ(pageSize(pages[i].getObjectHandle()).width, 40.0) << cases[i].name;
    }
    EXPECT_TRUE(imageOf(pages[cases.size()].getObjectHandle()).getDict().getKey("/SMask").isStream());
    auto greyAlpha = pages.back().getObjectHandle();
    EXPECT_TRUE(imageOf(greyAlpha).getDict().getKey("/SMask").isStream());
    EXPECT_DOUBLE_EQ(pageSize(greyAlpha).width, 20.0);

    expectPdfIsClean(out);
    // Interlaced rows must land where they belong; transparent pixels show the white paper.
    const std::string interlaced = render(dir, out, 6);
    EXPECT_TRUE(isRed(pngPixel(interlaced, 5, 3)));
    EXPECT_TRUE(isBlue(pngPixel(interlaced, 35, 17)));
    const std::string alpha = render(dir, out, static_cast<int>(cases.size()) + 1);
    EXPECT_TRUE(isRed(pngPixel(alpha, 5, 10)));
    EXPECT_TRUE(isWhite(pngPixel(alpha, 35, 10)));
}

TEST(GifPages, FirstFrameWithTransparency) {
    TempDir dir;
    writeFile(dir.file("plain.gif"), makeGif(20, 10, -1));
    writeFile(dir.file("transparent.gif"), makeGif(20, 10, 1, true));
    writeFile(dir.file("animated.gif"), makeGif(20, 10, -1, false, 3));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("plain.gif"), dir.file("transparent.gif"), dir.file("animated.gif")}, out);

    QPDF result;
    result.processFile(out.c_str());
    auto pages = QPDFPageDocumentHelper(result).getAllPages();
    ASSERT_EQ(pages.size(), 3u); // one page per file, animations included
    EXPECT_FALSE(imageOf(pages[0].getObjectHandle()).getDict().getKey("/SMask").isStream());
    EXPECT_TRUE(imageOf(pages[1].getObjectHandle()).getDict().getKey("/SMask").isStream());
    EXPECT_DOUBLE_EQ(pageSize(pages[0].getObjectHandle()).width, 20.0);
    EXPECT_DOUBLE_EQ(pageSize(pages[0].getObjectHandle()).height, 10.0);

    expectPdfIsClean(out);
    const std::string png = render(dir, out, 2);
    EXPECT_TRUE(isRed(pngPixel(png, 3, 2)));
    EXPECT_TRUE(isWhite(pngPixel(png, 16, 8)));
}

TEST(GifPages, InterlacedRowsLandWhereTheyBelong) {
    TempDir dir;
    // Rows 0-3 red, 4-7 blue, 8-11 green, 12-15 white: each pass of the interlace holds some of each.
    writeFile(dir.file("interlaced.gif"),
              makeGif(8, 16, -1, true, 1, [](unsigned, unsigned y) { return static_cast<int>(y / 4); }));
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("interlaced.gif")}, out);
    const std::string png = render(dir, out, 1);
    EXPECT_TRUE(isRed(pngPixel(png, 4, 1)));
    EXPECT_TRUE(isBlue(pngPixel(png, 4, 6)));
    EXPECT_TRUE(isWhite(pngPixel(png, 4, 14)));
}

TEST(TiffPages, EveryPageAtItsResolutionThumbnailsSkipped) {
    TempDir dir;
    writeTiff(dir.file("multi.tif"), {
                                         TiffPage{.width = 30, .height = 20},
                                         TiffPage{.width = 300, .height = 150, .dpi = 300},
                                         TiffPage{.width = 8, .height = 4, .thumbnail = true},
                                         TiffPage{.width = 20, .height = 40, .samples = 1},
                                         TiffPage{.width = 64, .height = 16, .bilevel = true},
                                     });
    writeTiff(dir.file("alpha.tif"), {TiffPage{.samples = 4}},
              [](unsigned x, unsigned) { return x < 15 ? rgba(255, 0, 0, 255) : rgba(0, 0, 255, 0); });
    const std::string out = dir.file("out.pdf");
    writePdf({dir.file("multi.tif"), dir.file("alpha.tif")}, out);

    QPDF result;
    result.processFile(out.c_str());
    auto pages = QPDFPageDocumentHelper(result).getAllPages();
    ASSERT_EQ(pages.size(), 5u);
    EXPECT_DOUBLE_EQ(pageSize(pages[0].getObjectHandle()).width, 30.0);
    EXPECT_DOUBLE_EQ(pageSize(pages[1].getObjectHandle()).width, 72.0);
    EXPECT_DOUBLE_EQ(pageSize(pages[1].getObjectHandle()).height, 36.0);
    EXPECT_EQ(imageOf(pages[2].getObjectHandle()).getDict().getKey("/ColorSpace").getName(), "/DeviceGray");
    auto bilevel = imageOf(pages[3].getObjectHandle()).getDict();
    EXPECT_EQ(bilevel.getKey("/BitsPerComponent").getIntValue(), 1);
    EXPECT_TRUE(imageOf(pages[4].getObjectHandle()).getDict().getKey("/SMask").isStream());

    expectPdfIsClean(out);
    const std::string scan = render(dir, out, 4);
    EXPECT_TRUE(isBlack(pngPixel(scan, 5, 8)));
    EXPECT_TRUE(isWhite(pngPixel(scan, 60, 8)));
    const std::string alpha = render(dir, out, 5);
    EXPECT_TRUE(isRed(pngPixel(alpha, 3, 10)));
    EXPECT_TRUE(isWhite(pngPixel(alpha, 25, 10)));
}

// Image reduction: resolution where images are drawn, encodings, masks, and the page's look.
#include "../Fixtures.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>

namespace plait::pdf::testing {
namespace {

using QOH = QPDFObjectHandle;

QOH imageStream(QPDF& pdf, int width, int height, const std::string& colourSpace, int bits,
                const std::string& samples) {
    QOH image = QOH::newStream(&pdf, samples);
    QOH dict = image.getDict();
    dict.replaceKey("/Type", QOH::newName("/XObject"));
    dict.replaceKey("/Subtype", QOH::newName("/Image"));
    dict.replaceKey("/Width", QOH::newInteger(width));
    dict.replaceKey("/Height", QOH::newInteger(height));
    dict.replaceKey("/BitsPerComponent", QOH::newInteger(bits));
    dict.replaceKey("/ColorSpace", QOH::parse(colourSpace));
    return image;
}

// A photograph: smooth colour with a little noise, so it has thousands of colours.
std::string photo(int size) {
    std::string s;
    std::uint32_t seed = 12345;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28) - 8;
            s += static_cast<char>(std::clamp(x * 255 / size + noise, 0, 255));
            s += static_cast<char>(std::clamp(y * 255 / size + noise, 0, 255));
            s += static_cast<char>(std::clamp(128 + noise, 0, 255));
        }
    }
    return s;
}

// Page 1: the photo (with a round soft mask) 2 inches wide, 1-bit stripes 2 by 1 inch, a
// four-colour indexed image with a stencil mask 1 inch wide, a small image below the target,
// and CCITT data the engine cannot decode. Page 2: the photo again, 4 inches wide through a
// form that doubles it.
std::string makeImagesPdf(const fs::path& path) {
    QPDF pdf;
    pdf.emptyPDF();
    QOH photoImage = imageStream(pdf, 1200, 1200, "/DeviceRGB", 8, photo(1200));
    std::string alpha;
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1200; ++x)
            alpha += static_cast<char>(std::hypot(x - 600, y - 600) < 500 ? 255 : 0);
    photoImage.getDict().replaceKey("/SMask", imageStream(pdf, 1200, 1200, "/DeviceGray", 8, alpha));

    std::string stripes;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 100; ++x) // 800 pixels: 100 bytes a row, 8 pixels black and 8 white
            stripes += static_cast<char>(x % 2 == 0 ? 0x00 : 0xFF);
    QOH lineArt = imageStream(pdf, 800, 400, "/DeviceGray", 1, stripes);

    std::string indexes, stencil;
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 600; ++x)
            indexes += static_cast<char>((x / 150 + y / 300) % 4);
        for (int x = 0; x < 75; ++x)
            stencil += static_cast<char>(y < 300 ? 0x00 : 0xFF);
    }
    QOH indexed =
        imageStream(pdf, 600, 600, "[/Indexed /DeviceRGB 3 <FF000000FF000000FFFFFF00>]", 8, indexes);
    QOH mask = imageStream(pdf, 600, 600, "/DeviceGray", 1, stencil);
    mask.getDict().removeKey("/ColorSpace");
    mask.getDict().removeKey("/BitsPerComponent");
    mask.getDict().replaceKey("/ImageMask", QOH::newBool(true));
    indexed.getDict().replaceKey("/Mask", mask);

    QOH small = imageStream(pdf, 100, 100, "/DeviceRGB", 8, photo(100));
    QOH fax = imageStream(pdf, 1000, 1000, "/DeviceGray", 1, std::string(64, '\x55'));
    fax.replaceStreamData(std::string(64, '\x55'), QOH::newName("/CCITTFaxDecode"), QOH::newNull());

    QOH xobjects = QOH::parse("<< >>");
    xobjects.replaceKey("/Photo", pdf.makeIndirectObject(photoImage));
    xobjects.replaceKey("/Lines", pdf.makeIndirectObject(lineArt));
    xobjects.replaceKey("/Indexed", pdf.makeIndirectObject(indexed));
    xobjects.replaceKey("/Small", pdf.makeIndirectObject(small));
    xobjects.replaceKey("/Fax", pdf.makeIndirectObject(fax));
    QOH resources = QOH::parse("<< >>");
    resources.replaceKey("/XObject", xobjects);

    const auto page = [&](const std::string& content, QOH pageResources) {
        QOH p = QOH::parse("<< /Type /Page /MediaBox [0 0 612 792] >>");
        p.replaceKey("/Contents", pdf.makeIndirectObject(QOH::newStream(&pdf, content)));
        p.replaceKey("/Resources", pageResources);
        QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(p)), false);
    };
    page("q 144 0 0 144 72 600 cm /Photo Do Q q 144 0 0 72 300 600 cm /Lines Do Q "
         "q 72 0 0 72 72 400 cm /Indexed Do Q q 1 0 0 1 300 400 cm 144 0 0 144 0 0 cm /Small Do Q",
         resources);
    QOH form = QOH::newStream(&pdf, "q 144 0 0 144 0 0 cm /Photo Do Q q 1 0 0 1 0 0 cm /Fax Do Q");
    form.getDict().replaceKey("/Subtype", QOH::newName("/Form"));
    form.getDict().replaceKey("/BBox", QOH::parse("[0 0 288 288]"));
    form.getDict().replaceKey("/Matrix", QOH::parse("[2 0 0 2 0 0]"));
    form.getDict().replaceKey("/Resources", resources);
    QOH page2 = QOH::parse("<< /XObject << >> >>");
    page2.getKey("/XObject").replaceKey("/F", pdf.makeIndirectObject(form));
    page("q 1 0 0 1 36 36 cm /F Do Q", page2);

    QPDFWriter w(pdf, path.string().c_str());
    w.setStaticID(true);
    w.write();
    return path.string();
}

// pdfimages' listing: each image's row by its object number (the first occurrence) and each
// soft or stencil mask's row.
struct Listed {
    std::string type, encoding;
    int width = 0, height = 0, bits = 0;
};
std::vector<Listed> listImages(const std::string& pdf) {
    const auto r = run("pdfimages -list " + quote(pdf));
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::istringstream in(r.output);
    std::string line;
    std::vector<Listed> rows;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int page = 0, num = 0;
        Listed l;
        std::string colour, comp;
        if (fields >> page >> num >> l.type >> l.width >> l.height >> colour >> comp >> l.bits >>
            l.encoding) {
            rows.push_back(l);
        }
    }
    return rows;
}

// Mean absolute difference of two renderings of the first page at 150 dpi, in grey levels.
double renderedDifference(const std::string& a, const std::string& b, const TempDir& dir) {
    Pixmap p[2];
    for (int i = 0; i < 2; ++i) {
        const std::string stem = dir.path("render" + std::to_string(i)).string();
        EXPECT_EQ(
            run("pdftoppm -r 150 -gray -singlefile -f 1 -l 1 " + quote(i == 0 ? a : b) + " " + quote(stem))
                .exitCode,
            0);
        p[i] = readPixmap(stem + ".pgm");
    }
    EXPECT_EQ(p[0].bytes.size(), p[1].bytes.size());
    if (p[0].bytes.empty() || p[0].bytes.size() != p[1].bytes.size()) {
        return 255;
    }
    double sum = 0;
    for (std::size_t i = 0; i < p[0].bytes.size(); ++i) {
        sum +=
            std::abs(static_cast<unsigned char>(p[0].bytes[i]) - static_cast<unsigned char>(p[1].bytes[i]));
    }
    return sum / static_cast<double>(p[0].bytes.size());
}

TEST(ImageReduce, ImagesTakeTheResolutionWhereTheyAreDrawnLargestAndKeepTheirMasks) {
    TempDir dir;
    const std::string in = makeImagesPdf(dir.path("images.pdf"));
    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setImageReduce", {"150", "80"});
    ASSERT_EQ(b.run(), "2");
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
    EXPECT_EQ(run("mutool draw -F pgm -o /dev/null " + quote(out) + " 1").exitCode, 0);

    const auto rows = listImages(out);
    ASSERT_EQ(rows.size(), 9u) << run("pdfimages -list " + quote(out)).output;
    // The photo is drawn 4 inches wide on page 2: 600 pixels, JPEG; its soft mask alike.
    EXPECT_EQ(rows[0].type, "image");
    EXPECT_EQ(rows[0].width, 600);
    EXPECT_EQ(rows[0].height, 600);
    EXPECT_EQ(rows[0].encoding, "jpeg");
    EXPECT_EQ(rows[1].type, "smask");
    EXPECT_EQ(rows[1].width, 600);
    EXPECT_EQ(rows[1].encoding, "image");
    // 1-bit line art stays 1-bit and lossless, 2 by 1 inches at 150 dpi.
    EXPECT_EQ(rows[2].width, 300);
    EXPECT_EQ(rows[2].height, 150);
    EXPECT_EQ(rows[2].bits, 1);
    EXPECT_EQ(rows[2].encoding, "image");
    // The indexed image and its stencil mask: 1 inch, lossless, still indexed.
    EXPECT_EQ(rows[3].width, 150);
    EXPECT_EQ(rows[3].encoding, "image");
    EXPECT_EQ(rows[4].type, "mask");
    EXPECT_EQ(rows[4].width, 150);
    EXPECT_EQ(rows[4].height, 150);
    // Below the target: as it was.
    EXPECT_EQ(rows[5].width, 100);
    // Page 2: the photo, the fax image the engine cannot decode left as it was.
    EXPECT_EQ(rows[6].width, 600);
    EXPECT_EQ(rows[8].width, 1000);
    EXPECT_EQ(rows[8].encoding, "ccitt");
    EXPECT_EQ(
        b.engine.warnings(),
        std::vector<std::string>{"Image reduction: 1 image could not be decoded and was left as it was"});

    EXPECT_LT(fs::file_size(out), fs::file_size(in) / 4);
    EXPECT_LT(renderedDifference(in, out, dir), 3.0);

    // The indexed image keeps exactly its four colours: nearest samples, no blends.
    QPDF q;
    q.processFile(out.c_str());
    QOH indexed = QPDFPageDocumentHelper(q)
                      .getAllPages()
                      .at(0)
                      .getObjectHandle()
                      .getKey("/Resources")
                      .getKey("/XObject")
                      .getKey("/Indexed");
    const auto samples = indexed.getStreamData(qpdf_dl_all);
    std::map<int, int> counts;
    for (std::size_t i = 0; i < samples->getSize(); ++i)
        ++counts[samples->getBuffer()[i]];
    EXPECT_EQ(counts.size(), 4u);
}

TEST(ImageReduce, OffByDefaultAndImagesAtTheTargetAreKept) {
    TempDir dir;
    const std::string in = makeImagesPdf(dir.path("images.pdf"));
    for (const char* dpi : {"", "600"}) {
        SCOPED_TRACE(dpi);
        const std::string out = dir.path("out.pdf").string();
        Build b;
        b.call("setOutFile", {out}).call("setInFile", {in});
        if (*dpi != '\0')
            b.call("setImageReduce", {dpi, ""});
        ASSERT_EQ(b.run(), "2");
        const auto rows = listImages(out);
        ASSERT_EQ(rows.size(), 9u);
        EXPECT_EQ(rows[0].width, 1200);
        EXPECT_EQ(rows[0].encoding, "image");
        // At 600 dpi the photo (300 dpi where it is drawn largest), the stripes (400) and the
        // indexed image (600, not above) stay as they are.
        EXPECT_EQ(rows[2].width, 800);
        EXPECT_EQ(rows[3].width, 600);
    }
}

// Sizes whose products do not fit in memory (or in a number) are refused before any data is
// read: the image stays as it is and the build goes on.
TEST(ImageReduce, HostileImageSizesAreLeftAlone) {
    TempDir dir;
    QPDF pdf;
    pdf.emptyPDF();
    QOH huge = imageStream(pdf, 2147483647, 2147483647, "/DeviceRGB", 16, std::string(48, '\x7f'));
    QOH page = QOH::parse("<< /Type /Page /MediaBox [0 0 612 792] /Resources << /XObject << >> >> >>");
    page.getKey("/Resources").getKey("/XObject").replaceKey("/Huge", pdf.makeIndirectObject(huge));
    page.replaceKey("/Contents",
                    pdf.makeIndirectObject(QOH::newStream(&pdf, "q 10 0 0 10 0 0 cm /Huge Do Q")));
    QPDFPageDocumentHelper(pdf).addPage(QPDFPageObjectHelper(pdf.makeIndirectObject(page)), false);
    const std::string in = dir.path("huge.pdf").string();
    QPDFWriter w(pdf, in.c_str());
    w.write();

    const std::string out = dir.path("out.pdf").string();
    Build b;
    b.call("setOutFile", {out}).call("setInFile", {in}).call("setImageReduce", {"72", ""});
    ASSERT_EQ(b.run(), "1");
    EXPECT_TRUE(b.warned("1 image could not be decoded and was left as it was"));
    EXPECT_EQ(run("qpdf --check " + quote(out)).exitCode, 0);
}

} // namespace
} // namespace plait::pdf::testing

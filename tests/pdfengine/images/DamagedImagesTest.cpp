// Truncated, corrupt and forged images: each is either read or refused with ImageLoadError,
// never a crash, a hang or another exception.

#include "pdfengine/images/ImageFixtures.h"
#include "pdfengine/images/ImagePages.h"
#include "pdfengine/images/ImageSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace plait::pdf;
using namespace plait::testing;

namespace {

struct Sample {
    const char* name;
    std::string data;
};

std::vector<Sample> samples(const TempDir& dir) {
    std::vector<TiffPage> pages = {TiffPage{.width = 40, .height = 30}, TiffPage{.bilevel = true}};
    writeTiff(dir.file("sample.tif"), pages);
    return {
        {"jpeg", makeJpeg({.width = 80, .height = 40})},
        {"progressive jpeg", makeJpeg({.width = 80, .height = 40, .progressive = true})},
        {"arithmetic jpeg", makeJpeg({.width = 80, .height = 40, .arithmetic = true})},
        {"png", makePng({.width = 80, .height = 40})},
        {"interlaced png", makePng({.width = 80, .height = 40, .interlaced = true})},
        {"gif", makeGif(80, 40, 0)},
        {"tiff", readFile(dir.file("sample.tif"))},
    };
}

// Returns true when pages were made; fails the test on any exception but ImageLoadError.
bool load(const std::string& data, const std::string& what) {
    QPDF pdf;
    pdf.emptyPDF();
    try {
        return !makeImagePagesFromData(pdf, data, what).empty();
    } catch (const ImageLoadError&) {
        return false;
    } catch (const std::exception& e) {
        ADD_FAILURE() << what << ": unexpected exception " << e.what();
    }
    return false;
}

unsigned long crc32Of(const std::string& bytes) {
    unsigned long crc = 0xFFFFFFFFUL;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320UL & (0UL - (crc & 1)));
        }
    }
    return crc ^ 0xFFFFFFFFUL;
}

} // namespace

TEST(DamagedImages, TruncatedFilesAreRefused) {
    TempDir dir;
    for (const auto& sample : samples(dir)) {
        ASSERT_TRUE(load(sample.data, sample.name)) << sample.name << " must load whole";
        const std::size_t size = sample.data.size();
        // Every cut inside the first 60 % of the file loses pixel data, so it must be refused.
        for (std::size_t cut :
             {std::size_t{0}, std::size_t{1}, std::size_t{7}, size / 4, size / 2, size * 6 / 10}) {
            EXPECT_FALSE(load(sample.data.substr(0, cut), sample.name))
                << sample.name << " cut to " << cut << " of " << size << " bytes was accepted";
        }
        // Cuts near the end may leave a usable picture (a missing trailer); they must just not crash.
        for (std::size_t cut = size * 6 / 10; cut < size; cut += 1 + size / 97) {
            load(sample.data.substr(0, cut), sample.name);
        }
    }
}

TEST(DamagedImages, CorruptBytesNeverCrash) {
    TempDir dir;
    std::mt19937 random(20240611); // fixed seed: the same damage every run
    for (const auto& sample : samples(dir)) {
        for (int round = 0; round < 60; ++round) {
            std::string damaged = sample.data;
            const int hits = 1 + static_cast<int>(random() % 8);
            for (int i = 0; i < hits; ++i) {
                damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
            }
            load(damaged, sample.name);
        }
    }
}

TEST(DamagedImages, HugeDimensionsAreRefusedWithoutDecoding) {
    // JPEG: forge the frame header to 65500 x 65500.
    std::string jpeg = makeJpeg({.width = 16, .height = 16});
    const auto sof = jpeg.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    jpeg[sof + 5] = jpeg[sof + 7] = static_cast<char>(0xFF);
    jpeg[sof + 6] = jpeg[sof + 8] = static_cast<char>(0xDC);
    EXPECT_FALSE(load(jpeg, "huge jpeg"));

    // GIF: a 65535 x 65535 screen and frame.
    std::string gif = makeGif(16, 16, -1);
    for (int i = 6; i < 10; ++i) {
        gif[i] = static_cast<char>(0xFF);
    }
    EXPECT_FALSE(load(gif, "huge gif"));

    // TIFF: a directory that claims 100000 x 100000 pixels and holds none.
    TempDir dir;
    TIFF* tif = TIFFOpen(dir.file("huge.tif").c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 100000);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 100000);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFWriteDirectory(tif);
    TIFFClose(tif);
    EXPECT_FALSE(load(readFile(dir.file("huge.tif")), "huge tiff"));

    // PNG: a 100000 x 100000 header with a valid checksum.
    std::string png = makePng({.width = 16, .height = 16});
    const unsigned char big[8] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
    std::memcpy(&png[16], big, 8);
    const unsigned long crc = crc32Of(png.substr(12, 17));
    for (int i = 0; i < 4; ++i) {
        png[29 + i] = static_cast<char>((crc >> (24 - 8 * i)) & 0xFF);
    }
    EXPECT_FALSE(load(png, "huge png"));

    EXPECT_THROW(images::checkDimensions(100000, 100000, "x"), ImageLoadError);
    EXPECT_THROW(images::checkDimensions(0, 10, "x"), ImageLoadError);
    EXPECT_THROW(images::checkDimensions(0xFFFFFFFFULL, 0xFFFFFFFFULL, "x"), ImageLoadError);
    EXPECT_NO_THROW(images::checkDimensions(20000, 10000, "x"));
}

TEST(DamagedImages, ExifBlocksAreReadWithinBounds) {
    const std::string exif = makeExif(300, 6);
    double x = 0, y = 0;
    int orientation = 1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(exif.data());
    ASSERT_TRUE(images::exifResolution(bytes, exif.size(), x, y, orientation));
    EXPECT_DOUBLE_EQ(x, 300);
    EXPECT_EQ(orientation, 6);
    // Every shorter prefix must be handled without reading past its end.
    for (std::size_t n = 0; n < exif.size(); ++n) {
        std::vector<unsigned char> prefix(bytes, bytes + n);
        images::exifResolution(prefix.data(), prefix.size(), x, y, orientation);
    }
}

// A complete file whose frame header was patched to more rows than its data holds: decoders
// paint the rest grey and readers call the output corrupt, so it is refused naming the file.
// A sound image of every kind of coding still loads.
TEST(DamagedImages, AJpegWhoseDataEndsBeforeItsDeclaredSizeIsRefused) {
    for (const bool progressive : {false, true}) {
        const std::string sound = makeJpeg({.width = 64, .height = 64, .progressive = progressive});
        ASSERT_TRUE(load(sound, "sound"));
        std::string patched = sound;
        const auto sof = patched.find(progressive ? "\xFF\xC2" : "\xFF\xC0");
        ASSERT_NE(sof, std::string::npos);
        patched[sof + 5] = 0x04; // height 64 becomes 1088
        QPDF pdf;
        pdf.emptyPDF();
        try {
            makeImagePagesFromData(pdf, patched, "photo.jpg");
            ADD_FAILURE() << "the patched JPEG was accepted (progressive " << progressive << ")";
        } catch (const ImageLoadError& e) {
            EXPECT_NE(std::string(e.what()).find("photo.jpg: the JPEG data ends before"), std::string::npos)
                << e.what();
        }
    }
    EXPECT_TRUE(load(makeJpeg({.width = 64, .height = 64, .components = 1}), "grey"));
    EXPECT_TRUE(load(makeJpeg({.width = 64, .height = 64, .components = 4}), "cmyk"));
}

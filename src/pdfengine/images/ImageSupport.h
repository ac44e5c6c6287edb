#pragma once

// Pieces shared by the image readers: the decoded-frame description, the builder that
// compresses decoded rows into an image XObject with an optional soft mask, and the page
// that shows one image.

#include "pdfengine/images/ImagePages.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/Pl_Flate.hh>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace plait::pdf::images {

// One picture ready to be placed on a page.
struct PageImage {
    QPDFObjectHandle xobject; // the image XObject, /SMask already attached when needed
    unsigned width = 0;       // pixels as stored
    unsigned height = 0;
    double dpiX = 0; // 0 when the file does not say
    double dpiY = 0;
    int orientation = 1; // EXIF/TIFF orientation 1..8: how stored pixels are turned for display
};

// Throws ImageLoadError when width x height is zero or larger than kMaxImagePixels.
void checkDimensions(unsigned long long width, unsigned long long height, const std::string& name);

// Encoded bytes in memory, handed to a codec library a piece at a time.
struct MemorySource {
    explicit MemorySource(const std::string& bytes)
        : data(reinterpret_cast<const unsigned char*>(bytes.data())), size(bytes.size()) {}
    std::size_t left() const { return pos < size ? size - pos : 0; }
    // Copies up to `length` bytes to `out` and moves past them; returns how many.
    std::size_t read(void* out, std::size_t length) {
        const std::size_t n = std::min(length, left());
        if (n > 0) {
            std::memcpy(out, data + pos, n);
            pos += n;
        }
        return n;
    }

    const unsigned char* data;
    std::size_t size;
    std::size_t pos = 0; // may lie past the end after a seek
};

// The page that shows `image` at its resolution, filling the page. Made indirect in `pdf`.
QPDFObjectHandle makePageForImage(QPDF& pdf, const PageImage& image);

// The placement matrix (a b c d e f) that draws an image's unit square on a page of
// pageWidth x pageHeight points, turned as `orientation` says. pageWidth/pageHeight are the
// page's (displayed) size. Exposed for tests.
struct Placement {
    double a, b, c, d, e, f;
};
Placement placementFor(int orientation, double pageWidth, double pageHeight);

// Takes decoded 8-bit rows, top row first, and builds a Flate-compressed image XObject.
// Alpha, when given, becomes a /SMask, unless every pixel turned out fully opaque.
class RasterBuilder {
public:
    // components: 1 grey, 3 RGB, 4 CMYK. bitsPerComponent 1 is for bilevel grey rows packed
    // eight pixels a byte, most significant bit first (scans stay small that way).
    RasterBuilder(unsigned width, unsigned height, int components, bool withAlpha, int bitsPerComponent = 8);
    RasterBuilder(const RasterBuilder&) = delete;
    RasterBuilder& operator=(const RasterBuilder&) = delete;
    ~RasterBuilder();

    // colour: one row of samples; alpha: width bytes, or null when the builder has none.
    void addRow(const unsigned char* colour, const unsigned char* alpha);
    QPDFObjectHandle finish(QPDF& pdf);

private:
    unsigned width_, height_;
    int components_;
    bool withAlpha_;
    int bits_;
    bool anyTranslucent_ = false;
    unsigned rowsAdded_ = 0;
    std::unique_ptr<Pl_Buffer> colourBuffer_;
    std::unique_ptr<Pl_Flate> colourFlate_;
    std::unique_ptr<Pl_Buffer> alphaBuffer_;
    std::unique_ptr<Pl_Flate> alphaFlate_;
};

// The readers. Each returns one PageImage per page it makes; they throw ImageLoadError.
// readPng, readGif and readTiff call the image module (ImagesModule.h), loading it the first
// time; when it cannot be loaded they throw ImagesModuleMissing, an ImageLoadError.
// readJpeg embeds the bytes unchanged; with a non-empty sourcePath it reads them again from
// that file when the output is written instead of keeping a copy in memory (a few hundred
// photos would otherwise all sit in memory until the end).
std::vector<PageImage> readJpeg(QPDF& pdf, const std::string& data, const std::string& name,
                                const std::string& sourcePath = {});
std::vector<PageImage> readPng(QPDF& pdf, const std::string& data, const std::string& name);
std::vector<PageImage> readGif(QPDF& pdf, const std::string& data, const std::string& name);
std::vector<PageImage> readTiff(QPDF& pdf, const std::string& data, const std::string& name);

// Resolution from an EXIF (APP1) block: the bytes after "Exif\0\0". Returns false when it
// holds none. Exposed for tests.
bool exifResolution(const unsigned char* tiff, std::size_t size, double& dpiX, double& dpiY,
                    int& orientation);

} // namespace plait::pdf::images

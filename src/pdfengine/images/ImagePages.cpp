#include "pdfengine/images/ImagePages.h"
#include "engine/RegularFile.h"
#include "pdfengine/PdfNumber.h"
#include "pdfengine/images/ImageSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace plait::pdf {

namespace {

bool startsWith(const unsigned char* data, std::size_t size, const char* magic, std::size_t magicSize) {
    return size >= magicSize && std::memcmp(data, magic, magicSize) == 0;
}

// Reads a whole regular file, up to the bound of a file taken into an output. Devices and
// pipes are refused: reading them could block forever.
std::string readWholeFile(const std::string& path) {
    std::string reason;
    std::optional<std::string> data = engine::readRegularFile(path, engine::kMaxEmbeddedFileBytes, reason);
    if (!data) {
        throw ImageLoadError(path + ": " + reason);
    }
    return std::move(*data);
}

std::string fileNameOf(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

std::string num(double value) {
    return pdfNumber(value, 4);
}

// A resolution outside this range is almost certainly a broken header; such files are shown
// as if they stated none.
bool plausibleDpi(double dpi) {
    return std::isfinite(dpi) && dpi >= 1.0 && dpi <= 100000.0;
}

} // namespace

InputKind sniffInputKind(const unsigned char* data, std::size_t size) {
    if (startsWith(data, size, "\xFF\xD8\xFF", 3)) {
        return InputKind::Jpeg;
    }
    if (startsWith(data, size, "\x89PNG\r\n\x1A\n", 8)) {
        return InputKind::Png;
    }
    if (startsWith(data, size, "GIF87a", 6) || startsWith(data, size, "GIF89a", 6)) {
        return InputKind::Gif;
    }
    // Classic TIFF and BigTIFF, in either byte order.
    if (startsWith(data, size, "II*\0", 4) || startsWith(data, size, "MM\0*", 4) ||
        startsWith(data, size, "II+\0", 4) || startsWith(data, size, "MM\0+", 4)) {
        return InputKind::Tiff;
    }
    const std::size_t window = size < 1024 ? size : 1024;
    for (std::size_t i = 0; i + 5 <= window; ++i) {
        if (std::memcmp(data + i, "%PDF-", 5) == 0) {
            return InputKind::Pdf;
        }
    }
    return InputKind::Unknown;
}

InputKind sniffInputKind(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return InputKind::Unknown;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return InputKind::Unknown;
    }
    unsigned char head[1024];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    return sniffInputKind(head, static_cast<std::size_t>(in.gcount()));
}

namespace {

std::vector<QPDFObjectHandle> buildPages(QPDF& pdf, const std::string& data, const std::string& name,
                                         const std::string& sourcePath) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    std::vector<images::PageImage> frames;
    switch (sniffInputKind(bytes, data.size())) {
    case InputKind::Jpeg:
        frames = images::readJpeg(pdf, data, name, sourcePath);
        break;
    case InputKind::Png:
        frames = images::readPng(pdf, data, name);
        break;
    case InputKind::Gif:
        frames = images::readGif(pdf, data, name);
        break;
    case InputKind::Tiff:
        frames = images::readTiff(pdf, data, name);
        break;
    case InputKind::Pdf:
        throw ImageLoadError(name + ": is a PDF, not an image");
    case InputKind::Unknown:
        throw ImageLoadError(name + ": not an image of a known kind");
    }
    if (frames.empty()) {
        throw ImageLoadError(name + ": holds no image");
    }
    std::vector<QPDFObjectHandle> pages;
    pages.reserve(frames.size());
    for (const auto& frame : frames) {
        pages.push_back(images::makePageForImage(pdf, frame));
    }
    return pages;
}

} // namespace

std::vector<QPDFObjectHandle> makeImagePagesFromData(QPDF& pdf, std::string data, const std::string& name) {
    return buildPages(pdf, data, name, {});
}

std::vector<QPDFObjectHandle> makeImagePages(QPDF& pdf, const std::string& path) {
    return buildPages(pdf, readWholeFile(path), fileNameOf(path), path);
}

namespace images {

Placement placementFor(int orientation, double w, double h) {
    // Orientations 5 to 8 swap the sides, so here w and h are the page's sides, and the
    // stored picture is h wide and w tall for those. Each matrix maps the image's unit square
    // (first stored row at the top) to the page.
    switch (orientation) {
    case 2: // mirrored left to right
        return {-w, 0, 0, h, w, 0};
    case 3: // turned 180 degrees
        return {-w, 0, 0, -h, w, h};
    case 4: // mirrored top to bottom
        return {w, 0, 0, -h, 0, h};
    case 5: // mirrored along the main diagonal
        return {0, -h, -w, 0, w, h};
    case 6: // to be turned 90 degrees clockwise
        return {0, -h, w, 0, 0, h};
    case 7: // mirrored along the other diagonal
        return {0, h, w, 0, 0, 0};
    case 8: // to be turned 90 degrees anticlockwise
        return {0, h, -w, 0, w, 0};
    default:
        return {w, 0, 0, h, 0, 0};
    }
}

QPDFObjectHandle makePageForImage(QPDF& pdf, const PageImage& image) {
    // No stated resolution: one pixel is one point (72 dpi).
    const double dpiX = plausibleDpi(image.dpiX) ? image.dpiX : 72.0;
    const double dpiY = plausibleDpi(image.dpiY) ? image.dpiY : 72.0;
    double width = image.width * 72.0 / dpiX;
    double height = image.height * 72.0 / dpiY;
    const int orientation = image.orientation >= 1 && image.orientation <= 8 ? image.orientation : 1;
    if (orientation >= 5) {
        std::swap(width, height);
    }
    const Placement m = placementFor(orientation, width, height);

    auto xobjects = QPDFObjectHandle::newDictionary();
    xobjects.replaceKey("/Im0", image.xobject);
    auto resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", xobjects);

    const std::string content = "q " + num(m.a) + " " + num(m.b) + " " + num(m.c) + " " + num(m.d) + " " +
                                num(m.e) + " " + num(m.f) + " cm /Im0 Do Q\n";

    auto page = QPDFObjectHandle::newDictionary();
    page.replaceKey("/Type", QPDFObjectHandle::newName("/Page"));
    page.replaceKey("/MediaBox", QPDFObjectHandle::newFromRectangle({0, 0, width, height}));
    page.replaceKey("/Resources", resources);
    page.replaceKey("/Contents", pdf.newStream(content));
    return pdf.makeIndirectObject(page);
}

} // namespace images
} // namespace plait::pdf

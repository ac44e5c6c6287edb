#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace plait::pdf {

// What a file really is, judged by its first bytes and never by its name: a PNG called
// "photo.jpg" is a PNG, and a text file called "photo.jpg" is Unknown.
enum class InputKind { Pdf, Jpeg, Png, Gif, Tiff, Unknown };

// Unknown when the file cannot be read or is none of the others. A PDF is recognised by
// "%PDF-" anywhere in its first kilobyte, as readers tolerate a little junk before it.
InputKind sniffInputKind(const std::string& path);
InputKind sniffInputKind(const unsigned char* data, std::size_t size);

// The file is missing, unreadable, not an image we read, damaged or too large.
struct ImageLoadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Images larger than this many pixels are refused rather than decoded: a forged header
// could otherwise ask for gigabytes.
inline constexpr unsigned long long kMaxImagePixels = 200'000'000ULL;

// One new page object per image frame, created in `pdf` (MediaBox, Resources, Contents), in
// order; not yet added to the page tree. Throws ImageLoadError when the file is not a
// readable image.
//
// How images become pages:
// - Every image is a page of its own size at its own resolution: width = pixels / dpi * 72
//   points. When the file states no resolution, one pixel is one point (72 dpi), which keeps
//   screenshots and web images at the size they appear on screen at 100%.
// - JPEG: the file's bytes are embedded unchanged (/DCTDecode); grey, RGB and CMYK, with the
//   inverted CMYK that Adobe-marked files carry. Resolution from the JFIF header or, failing
//   that, the EXIF resolution. The EXIF orientation is honoured (the page shows the photo
//   upright, as image viewers do) by the placement matrix, never by re-encoding.
// - PNG: every colour type and depth; decoded, reduced to 8 bits a sample and compressed with
//   Flate. Transparency (alpha or tRNS) becomes a soft mask. Resolution from pHYs.
// - GIF: the first frame only (a page is a still picture; it is the frame every still viewer
//   shows), composed on the logical screen. Transparent pixels and the screen area the frame
//   does not cover become a soft mask.
// - TIFF: every page of a multi-page file becomes a page; reduced-resolution copies
//   (thumbnails) are skipped. Decoded through libtiff's RGBA reader, so every compression and
//   photometric it knows is accepted; grey images stay grey, alpha becomes a soft mask.
// - Truncated or corrupt files throw ImageLoadError; none of them may crash or hang.
std::vector<QPDFObjectHandle> makeImagePages(QPDF& pdf, const std::string& path);

// Same as makeImagePages on bytes already in memory; `name` is used in error messages.
std::vector<QPDFObjectHandle> makeImagePagesFromData(QPDF& pdf, std::string data, const std::string& name);

} // namespace plait::pdf

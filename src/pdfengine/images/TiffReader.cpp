// TIFF: every page (directory) of the file, decoded through libtiff's RGBA reader.

#include "pdfengine/ImagesModule.h"
#include "pdfengine/images/ImageSupport.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <tiffio.h>

namespace plait::pdf::images {

namespace {

struct TiffSource : MemorySource {
    using MemorySource::MemorySource;
    std::string error; // the first error libtiff reported
};

extern "C" tmsize_t tiffRead(thandle_t handle, void* out, tmsize_t length) {
    if (length <= 0) {
        return 0;
    }
    return static_cast<tmsize_t>(
        static_cast<TiffSource*>(handle)->read(out, static_cast<std::size_t>(length)));
}

extern "C" tmsize_t tiffWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

extern "C" toff_t tiffSeek(thandle_t handle, toff_t offset, int whence) {
    auto* src = static_cast<TiffSource*>(handle);
    std::size_t base = 0;
    if (whence == SEEK_CUR) {
        base = src->pos;
    } else if (whence == SEEK_END) {
        base = src->size;
    }
    // Offsets past the end are allowed (reads there return nothing); wrapping is not.
    if (offset > static_cast<toff_t>(-1) - base) {
        return static_cast<toff_t>(-1);
    }
    src->pos = base + static_cast<std::size_t>(offset);
    return src->pos;
}

extern "C" int tiffClose(thandle_t) {
    return 0;
}
extern "C" toff_t tiffSize(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}
extern "C" int tiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
extern "C" void tiffUnmap(thandle_t, void*, toff_t) {}

extern "C" int tiffError(TIFF*, void* user, const char* module, const char* format, va_list args) {
    auto* src = static_cast<TiffSource*>(user);
    if (src->error.empty()) {
        char text[512];
        std::vsnprintf(text, sizeof text, format, args);
        src->error = module && *module ? std::string(module) + ": " + text : std::string(text);
    }
    return 1; // handled: nothing is printed
}

extern "C" int tiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffHandle {
    TIFF* tif = nullptr;
    TIFFOpenOptions* options = nullptr;
    ~TiffHandle() {
        if (tif) {
            TIFFClose(tif);
        }
        if (options) {
            TIFFOpenOptionsFree(options);
        }
    }
};

double resolutionDpi(TIFF* tif, ttag_t tag, uint16_t unit) {
    float value = 0;
    if (unit == RESUNIT_NONE || !TIFFGetField(tif, tag, &value) || !(value > 0)) {
        return 0;
    }
    return unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
}

// libtiff hands out premultiplied colour whenever the picture has alpha; a soft mask wants it
// straight.
void unpremultiply(unsigned char* c, unsigned alpha) {
    if (alpha == 0 || alpha == 255) {
        return;
    }
    const unsigned v = (static_cast<unsigned>(*c) * 255 + alpha / 2) / alpha;
    *c = static_cast<unsigned char>(v > 255 ? 255 : v);
}

// The directory's pixels as RGBA, top row first.
std::vector<uint32_t> readPixels(TIFF* tif, uint32_t width, uint32_t height, TiffSource& source,
                                 const std::string& where) {
    std::vector<uint32_t> raster;
    try {
        raster.resize(static_cast<std::size_t>(width) * height);
    } catch (const std::bad_alloc&) {
        throw ImageLoadError(where + ": not enough memory for the image");
    }
    source.error.clear();
    if (!TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 1)) {
        throw ImageLoadError(where + ": damaged TIFF (" +
                             (source.error.empty() ? "cannot decode" : source.error) + ")");
    }
    return raster;
}

// The resolution; one stated alone stands for both.
void readResolution(TIFF* tif, PageImage& page) {
    uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    page.dpiX = resolutionDpi(tif, TIFFTAG_XRESOLUTION, unit);
    page.dpiY = resolutionDpi(tif, TIFFTAG_YRESOLUTION, unit);
    if (page.dpiX > 0 && page.dpiY == 0) {
        page.dpiY = page.dpiX;
    } else if (page.dpiY > 0 && page.dpiX == 0) {
        page.dpiX = page.dpiY;
    }
}

// Scans stay one bit a pixel (white is 1 in DeviceGray whatever the file's convention).
QPDFObjectHandle bilevelImage(QPDF& pdf, const std::vector<uint32_t>& raster, uint32_t width,
                              uint32_t height) {
    RasterBuilder builder(width, height, 1, false, 1);
    std::vector<unsigned char> row((width + 7) / 8);
    for (uint32_t y = 0; y < height; ++y) {
        std::fill(row.begin(), row.end(), 0);
        const uint32_t* line = &raster[static_cast<std::size_t>(y) * width];
        for (uint32_t x = 0; x < width; ++x) {
            if (TIFFGetR(line[x]) >= 128) {
                row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
        builder.addRow(row.data(), nullptr);
    }
    return builder.finish(pdf);
}

// Grey (components 1) or RGB (3), with a soft mask when `withAlpha`.
QPDFObjectHandle colourImage(QPDF& pdf, const std::vector<uint32_t>& raster, uint32_t width, uint32_t height,
                             int components, bool withAlpha) {
    RasterBuilder builder(width, height, components, withAlpha);
    std::vector<unsigned char> colour(static_cast<std::size_t>(width) * components);
    std::vector<unsigned char> alpha(width);
    for (uint32_t y = 0; y < height; ++y) {
        const uint32_t* line = &raster[static_cast<std::size_t>(y) * width];
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t px = line[x];
            const unsigned a = TIFFGetA(px);
            unsigned char* out = &colour[static_cast<std::size_t>(x) * components];
            out[0] = static_cast<unsigned char>(TIFFGetR(px));
            if (components == 3) {
                out[1] = static_cast<unsigned char>(TIFFGetG(px));
                out[2] = static_cast<unsigned char>(TIFFGetB(px));
            }
            if (withAlpha) {
                for (int i = 0; i < components; ++i) {
                    unpremultiply(&out[i], a);
                }
                alpha[x] = static_cast<unsigned char>(a);
            }
        }
        builder.addRow(colour.data(), withAlpha ? alpha.data() : nullptr);
    }
    return builder.finish(pdf);
}

PageImage readDirectory(QPDF& pdf, TIFF* tif, TiffSource& source, const std::string& where) {
    uint32_t width = 0, height = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    checkDimensions(width, height, where);

    char message[1024] = {};
    if (!TIFFRGBAImageOK(tif, message)) {
        throw ImageLoadError(where + ": unsupported TIFF (" + message + ")");
    }

    uint16_t photometric = PHOTOMETRIC_RGB, bits = 8, samples = 1, extraCount = 0;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extraTypes);
    const bool grey = (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) &&
                      samples - extraCount == 1;
    const bool bilevel = grey && bits == 1 && samples == 1;

    const std::vector<uint32_t> raster = readPixels(tif, width, height, source, where);
    const bool anyAlpha =
        std::any_of(raster.begin(), raster.end(), [](uint32_t px) { return TIFFGetA(px) != 255; });

    PageImage page;
    page.width = width;
    page.height = height;
    readResolution(tif, page);
    page.xobject = bilevel && !anyAlpha ? bilevelImage(pdf, raster, width, height)
                                        : colourImage(pdf, raster, width, height, grey ? 1 : 3, anyAlpha);
    return page;
}

} // namespace

std::vector<PageImage> tiffPages(QPDF& pdf, const std::string& data, const std::string& name) {
    TiffSource source(data);
    TiffHandle handle;
    handle.options = TIFFOpenOptionsAlloc();
    if (!handle.options) {
        throw ImageLoadError(name + ": cannot start the TIFF reader");
    }
    TIFFOpenOptionsSetErrorHandlerExtR(handle.options, tiffError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(handle.options, tiffWarning, &source);
    // No single allocation inside libtiff may exceed what the largest accepted image needs.
    TIFFOpenOptionsSetMaxSingleMemAlloc(handle.options, static_cast<tmsize_t>(kMaxImagePixels * 4));
    // "m": no memory mapping; the bytes are already in memory.
    handle.tif = TIFFClientOpenExt(name.c_str(), "rm", &source, tiffRead, tiffWrite, tiffSeek, tiffClose,
                                   tiffSize, tiffMap, tiffUnmap, handle.options);
    if (!handle.tif) {
        throw ImageLoadError(name + ": damaged TIFF (" +
                             (source.error.empty() ? "cannot open" : source.error) + ")");
    }

    std::vector<PageImage> pages;
    for (int index = 1;; ++index) {
        uint32_t subfile = 0;
        TIFFGetField(handle.tif, TIFFTAG_SUBFILETYPE, &subfile);
        // Reduced-resolution copies are thumbnails of another page, not pages of their own.
        if (!(subfile & FILETYPE_REDUCEDIMAGE)) {
            pages.push_back(
                readDirectory(pdf, handle.tif, source, name + " (page " + std::to_string(index) + ")"));
        }
        if (TIFFLastDirectory(handle.tif)) {
            break;
        }
        source.error.clear();
        if (!TIFFReadDirectory(handle.tif)) {
            // A link to a further page that cannot be read: that page would be lost silently.
            throw ImageLoadError(name + ": damaged TIFF after page " + std::to_string(index) + " (" +
                                 (source.error.empty() ? "cannot read the next page" : source.error) + ")");
        }
    }
    return pages;
}

} // namespace plait::pdf::images

// PNG: decoded by libpng to 8-bit grey or RGB, with alpha split off into a soft mask.

#include "pdfengine/images/ImageSupport.h"

#include <cmath>
#include <cstring>
#include <png.h>

namespace plait::pdf::images {

namespace {

struct PngSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

struct PngErrorText {
    char text[256];
};

extern "C" void pngReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > src->size - src->pos) {
        png_error(png, "unexpected end of file");
    }
    std::memcpy(out, src->data + src->pos, length);
    src->pos += length;
}

extern "C" void pngErrorExit(png_structp png, png_const_charp message) {
    auto* err = static_cast<PngErrorText*>(png_get_error_ptr(png));
    std::strncpy(err->text, message ? message : "unknown error", sizeof err->text - 1);
    err->text[sizeof err->text - 1] = '\0';
    png_longjmp(png, 1);
}

extern "C" void pngWarning(png_structp, png_const_charp) {}

// Frees libpng's structures however the reader leaves.
struct PngHandle {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngHandle() {
        if (png) {
            png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        }
    }
};

// PNG stores whole pixels per metre, so 300 dpi arrives as 299.9994; a page of 2550 such
// pixels should still be exactly 8.5 inches wide.
// Kept out of line: inlined into the reader, its locals would live across setjmp.
[[gnu::noinline]] double dpiFromPixelsPerMetre(png_uint_32 ppm) {
    const double dpi = ppm * 0.0254;
    const double whole = std::round(dpi);
    return std::fabs(dpi - whole) < 0.02 ? whole : dpi;
}

} // namespace

std::vector<PageImage> readPng(QPDF& pdf, const std::string& data, const std::string& name) {
    // Everything with a destructor lives before setjmp: a longjmp out of libpng must not skip
    // one. Only libpng calls can jump, and they jump back to the setjmp below.
    PngSource source{reinterpret_cast<const unsigned char*>(data.data()), data.size(), 0};
    PngErrorText err{};
    PngHandle handle;
    std::vector<unsigned char> pixels; // one row, or the whole image when interlaced
    std::vector<png_bytep> rows;
    std::vector<unsigned char> colour, alpha;
    std::unique_ptr<RasterBuilder> builder;
    PageImage page;

    handle.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &err, pngErrorExit, pngWarning);
    if (!handle.png) {
        throw ImageLoadError(name + ": cannot start the PNG reader");
    }
    handle.info = png_create_info_struct(handle.png);
    if (!handle.info) {
        throw ImageLoadError(name + ": cannot start the PNG reader");
    }
    png_structp png = handle.png;
    png_infop info = handle.info;
    if (setjmp(png_jmpbuf(png))) {
        throw ImageLoadError(name + ": damaged PNG (" + err.text + ")");
    }
    png_set_read_fn(png, &source, pngReadFromMemory);
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    checkDimensions(width, height, name);

    png_uint_32 resX = 0, resY = 0;
    int resUnit = 0;
    if (png_get_pHYs(png, info, &resX, &resY, &resUnit) && resUnit == PNG_RESOLUTION_METER) {
        page.dpiX = dpiFromPixelsPerMetre(resX);
        page.dpiY = dpiFromPixelsPerMetre(resY);
    }

    // Palette, low-depth grey and tRNS become plain 8-bit samples with alpha; 16-bit samples
    // are reduced to 8, which every viewer reads.
    png_set_expand(png);
    png_set_strip_16(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int channels = png_get_channels(png, info);
    const bool hasAlpha = channels == 2 || channels == 4;
    const int components = hasAlpha ? channels - 1 : channels;
    if (components != 1 && components != 3) {
        throw ImageLoadError(name + ": unexpected PNG layout");
    }
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (rowBytes != static_cast<std::size_t>(width) * static_cast<std::size_t>(channels)) {
        throw ImageLoadError(name + ": unexpected PNG layout");
    }

    builder = std::make_unique<RasterBuilder>(width, height, components, hasAlpha);
    colour.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(components));
    alpha.resize(hasAlpha ? width : 0);

    auto emitRow = [&](const unsigned char* row) {
        if (!hasAlpha) {
            builder->addRow(row, nullptr);
            return;
        }
        for (png_uint_32 x = 0; x < width; ++x) {
            const unsigned char* px = row + static_cast<std::size_t>(x) * channels;
            std::memcpy(&colour[static_cast<std::size_t>(x) * components], px, components);
            alpha[x] = px[components];
        }
        builder->addRow(colour.data(), alpha.data());
    };

    if (passes > 1) {
        // Interlaced rows arrive in several passes, so the whole image is needed first.
        pixels.resize(rowBytes * height);
        rows.resize(height);
        for (png_uint_32 y = 0; y < height; ++y) {
            rows[y] = pixels.data() + rowBytes * y;
        }
        png_read_image(png, rows.data());
        for (png_uint_32 y = 0; y < height; ++y) {
            emitRow(rows[y]);
        }
    } else {
        pixels.resize(rowBytes);
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, pixels.data(), nullptr);
            emitRow(pixels.data());
        }
    }

    page.width = width;
    page.height = height;
    page.xobject = builder->finish(pdf);
    return {page};
}

} // namespace plait::pdf::images

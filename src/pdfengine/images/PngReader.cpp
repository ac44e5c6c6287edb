// PNG: decoded by libpng to 8-bit grey or RGB, with alpha split off into a soft mask.

#include "pdfengine/ImagesModule.h"
#include "pdfengine/images/ImageSupport.h"

#include <cmath>
#include <cstring>
#include <png.h>

namespace plait::pdf::images {

namespace {

struct PngErrorText {
    char text[256];
};

extern "C" void pngReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* src = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (length > src->left()) {
        png_error(png, "unexpected end of file");
    }
    src->read(out, length);
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

// The decoded layout, after the reader's transformations.
struct PngLayout {
    png_uint_32 width = 0, height = 0;
    int channels = 0;   // samples a pixel as decoded
    int components = 0; // colour samples a pixel (1 or 3), alpha aside
    bool hasAlpha = false;
    std::size_t rowBytes = 0;
    int passes = 1;
};

// Reads the header and resolution and asks for plain 8-bit samples. libpng may jump out of
// here to the reader's setjmp, so nothing here has a destructor to skip.
[[gnu::noinline]] PngLayout readLayout(png_structp png, png_infop info, PageImage& page,
                                       const std::string& name) {
    png_read_info(png, info);
    PngLayout layout;
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    checkDimensions(layout.width, layout.height, name);

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
    layout.passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    layout.channels = png_get_channels(png, info);
    layout.hasAlpha = layout.channels == 2 || layout.channels == 4;
    layout.components = layout.hasAlpha ? layout.channels - 1 : layout.channels;
    layout.rowBytes = png_get_rowbytes(png, info);
    if ((layout.components != 1 && layout.components != 3) ||
        layout.rowBytes !=
            static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.channels)) {
        throw ImageLoadError(name + ": unexpected PNG layout");
    }
    return layout;
}

// What the reader holds while libpng runs. Everything with a destructor lives here, made
// before setjmp: a longjmp out of libpng must not skip one.
struct PngRead {
    explicit PngRead(const std::string& data) : source(data) {}
    MemorySource source;
    PngErrorText err{};
    PngHandle handle;
    std::vector<unsigned char> pixels; // one row, or the whole image when interlaced
    std::vector<png_bytep> rows;
    std::vector<unsigned char> colour, alpha;
    std::unique_ptr<RasterBuilder> builder;
    PageImage page;
};

// Hands one decoded row to the builder, its alpha split off.
void addRow(PngRead& r, const PngLayout& layout, const unsigned char* row) {
    if (!layout.hasAlpha) {
        r.builder->addRow(row, nullptr);
        return;
    }
    const auto components = static_cast<std::size_t>(layout.components);
    for (png_uint_32 x = 0; x < layout.width; ++x) {
        const unsigned char* px =
            row + static_cast<std::size_t>(x) * static_cast<std::size_t>(layout.channels);
        std::memcpy(&r.colour[x * components], px, components);
        r.alpha[x] = px[components];
    }
    r.builder->addRow(r.colour.data(), r.alpha.data());
}

// Decodes the rows into the builder. libpng may jump out of here, as in readLayout.
[[gnu::noinline]] void readRows(png_structp png, PngRead& r, const PngLayout& layout) {
    if (layout.passes > 1) {
        // Interlaced rows arrive in several passes, so the whole image is needed first.
        r.pixels.resize(layout.rowBytes * layout.height);
        r.rows.resize(layout.height);
        for (png_uint_32 y = 0; y < layout.height; ++y) {
            r.rows[y] = r.pixels.data() + layout.rowBytes * y;
        }
        png_read_image(png, r.rows.data());
        for (png_uint_32 y = 0; y < layout.height; ++y) {
            addRow(r, layout, r.rows[y]);
        }
        return;
    }
    r.pixels.resize(layout.rowBytes);
    for (png_uint_32 y = 0; y < layout.height; ++y) {
        png_read_row(png, r.pixels.data(), nullptr);
        addRow(r, layout, r.pixels.data());
    }
}

} // namespace

std::vector<PageImage> pngPages(QPDF& pdf, const std::string& data, const std::string& name) {
    PngRead r(data);
    r.handle.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.err, pngErrorExit, pngWarning);
    if (!r.handle.png) {
        throw ImageLoadError(name + ": cannot start the PNG reader");
    }
    r.handle.info = png_create_info_struct(r.handle.png);
    if (!r.handle.info) {
        throw ImageLoadError(name + ": cannot start the PNG reader");
    }
    png_structp png = r.handle.png;
    if (setjmp(png_jmpbuf(png))) {
        throw ImageLoadError(name + ": damaged PNG (" + r.err.text + ")");
    }
    png_set_read_fn(png, &r.source, pngReadFromMemory);
    const PngLayout layout = readLayout(png, r.handle.info, r.page, name);
    r.builder =
        std::make_unique<RasterBuilder>(layout.width, layout.height, layout.components, layout.hasAlpha);
    r.colour.resize(static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(layout.components));
    r.alpha.resize(layout.hasAlpha ? layout.width : 0);
    readRows(png, r, layout);

    r.page.width = layout.width;
    r.page.height = layout.height;
    r.page.xobject = r.builder->finish(pdf);
    return {r.page};
}

} // namespace plait::pdf::images

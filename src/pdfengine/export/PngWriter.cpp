// The PNG writer of image export, in the image module (ImagesModule.h).
#include "pdfengine/ImagesModule.h"

#include <png.h>

#include <stdexcept>

namespace plait::pdf {
namespace {

void pngWrite(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), size);
}

void pngWarning(png_structp, png_const_charp) {}

// libpng reports errors by longjmp, so nothing here may need destroying on the way out.
bool writePng(png_structp png, png_infop info, const Raster& raster, std::string* out) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, out, pngWrite, nullptr);
    png_set_IHDR(png, info, raster.width, raster.height, 8,
                 raster.components == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride =
        static_cast<std::size_t>(raster.width) * static_cast<std::size_t>(raster.components);
    for (unsigned y = 0; y < raster.height; ++y) {
        png_write_row(png, reinterpret_cast<png_const_bytep>(raster.samples.data() + y * stride));
    }
    png_write_end(png, info);
    return true;
}

} // namespace

std::string pngFile(const Raster& raster) {
    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, pngWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || !writePng(png, info, raster, &bytes)) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("the PNG file cannot be made");
    }
    png_destroy_write_struct(&png, &info);
    return bytes;
}

} // namespace plait::pdf

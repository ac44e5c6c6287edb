#pragma once

// Small images of every kind, written with the codec libraries, plus a temporary folder and
// helpers that run the independent PDF tools. Header-only so each test file can use it.

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdio> // before jpeglib.h
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <random>
#include <stdexcept>
#include <string>
#include <tiffio.h>
#include <vector>

namespace plait::testing {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() {
        std::random_device rd;
        path_ = fs::temp_directory_path() / ("plait-img-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline void writeFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Runs a shell command; returns its exit status and puts stdout (and stderr) in `output`.
inline int runCommand(const std::string& command, std::string* output = nullptr) {
    std::string text;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) {
        return -1;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        text.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (output) {
        *output = text;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string quoted(const std::string& path) {
    return "'" + path + "'";
}

// Pixels are given as a function (x, y) -> RGBA.
using PixelFn = std::function<std::uint32_t(unsigned x, unsigned y)>;
inline std::uint8_t red(std::uint32_t c) {
    return c >> 24;
}
inline std::uint8_t green(std::uint32_t c) {
    return (c >> 16) & 0xFF;
}
inline std::uint8_t blue(std::uint32_t c) {
    return (c >> 8) & 0xFF;
}
inline std::uint8_t alphaOf(std::uint32_t c) {
    return c & 0xFF;
}
inline std::uint32_t rgba(unsigned r, unsigned g, unsigned b, unsigned a = 255) {
    return (r << 24) | (g << 16) | (b << 8) | a;
}

// Left half red, right half blue, opaque.
inline std::uint32_t halves(unsigned x, unsigned, unsigned width) {
    return x < width / 2 ? rgba(255, 0, 0) : rgba(0, 0, 255);
}

struct JpegOptions {
    unsigned width = 64, height = 32;
    int components = 3;  // 1, 3 or 4
    int densityUnit = 0; // JFIF: 0 none, 1 dpi, 2 dots per cm
    unsigned density = 0;
    bool jfif = true;
    std::string exif{}; // the APP1 payload after "Exif\0\0", empty for none
    bool progressive = false;
    bool arithmetic = false;
};

inline std::string makeJpeg(const JpegOptions& o, const PixelFn& pixel = {}) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = o.width;
    cinfo.image_height = o.height;
    cinfo.input_components = o.components;
    cinfo.in_color_space = o.components == 1 ? JCS_GRAYSCALE : o.components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.write_JFIF_header = o.jfif && o.components != 4;
    cinfo.density_unit = static_cast<UINT8>(o.densityUnit);
    cinfo.X_density = static_cast<UINT16>(o.density ? o.density : 1);
    cinfo.Y_density = static_cast<UINT16>(o.density ? o.density : 1);
    if (o.progressive) {
        jpeg_simple_progression(&cinfo);
    }
    cinfo.arith_code = o.arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (!o.exif.empty()) {
        std::string app1 = std::string("Exif\0\0", 6) + o.exif;
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(app1.data()),
                          static_cast<unsigned>(app1.size()));
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(o.width) * o.components);
    while (cinfo.next_scanline < cinfo.image_height) {
        const unsigned y = cinfo.next_scanline;
        for (unsigned x = 0; x < o.width; ++x) {
            const std::uint32_t c = pixel ? pixel(x, y) : halves(x, y, o.width);
            unsigned char* p = &row[static_cast<std::size_t>(x) * o.components];
            if (o.components == 1) {
                p[0] = red(c);
            } else if (o.components == 3) {
                p[0] = red(c), p[1] = green(c), p[2] = blue(c);
            } else {
                // Adobe-marked CMYK stores inverted ink: no ink is 255.
                p[0] = red(c), p[1] = green(c), p[2] = blue(c), p[3] = 255;
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string data(reinterpret_cast<char*>(out), outSize);
    std::free(out);
    return data;
}

// A big-endian EXIF block with XResolution/YResolution (inches) and an orientation.
inline std::string makeExif(unsigned dpi, unsigned orientation) {
    std::string t = std::string("MM\0*", 4);
    auto u16 = [&](unsigned v) { t += static_cast<char>(v >> 8), t += static_cast<char>(v & 0xFF); };
    auto u32 = [&](unsigned long v) {
        for (int s = 24; s >= 0; s -= 8) {
            t += static_cast<char>((v >> s) & 0xFF);
        }
    };
    u32(8);
    const unsigned entries = 4;
    u16(entries);
    const unsigned long dataAt = 8 + 2 + entries * 12 + 4;
    u16(0x0112), u16(3), u32(1), u16(orientation), u16(0);
    u16(0x011A), u16(5), u32(1), u32(dataAt);
    u16(0x011B), u16(5), u32(1), u32(dataAt + 8);
    u16(0x0128), u16(3), u32(1), u16(2), u16(0);
    u32(0);
    u32(dpi), u32(1), u32(dpi), u32(1);
    return t;
}

struct PngOptions {
    unsigned width = 40, height = 20;
    int colorType = PNG_COLOR_TYPE_RGB_ALPHA; // any PNG_COLOR_TYPE_*
    int bitDepth = 8;
    bool interlaced = false;
    unsigned dpi = 0;                 // 0: no pHYs chunk
    bool paletteTransparency = false; // palette images: entry 0 transparent via tRNS
};

inline void pngWriteToString(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Palette images use two entries: 0 red, 1 blue (left and right halves).
inline std::string makePng(const PngOptions& o, const PixelFn& pixel = {}) {
    std::string data;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(png, &data, pngWriteToString, nullptr);
    png_set_IHDR(png, info, o.width, o.height, o.bitDepth, o.colorType,
                 o.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (o.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_color palette[2] = {{255, 0, 0}, {0, 0, 255}};
        png_set_PLTE(png, info, palette, 2);
        if (o.paletteTransparency) {
            png_byte trans[1] = {0};
            png_set_tRNS(png, info, trans, 1, nullptr);
        }
    }
    if (o.dpi) {
        const auto ppm = static_cast<png_uint_32>(o.dpi / 0.0254 + 0.5);
        png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    if (o.bitDepth == 16) {
        png_set_swap(png); // we fill samples in host order
    }
    const int channels = o.colorType == PNG_COLOR_TYPE_GRAY         ? 1
                         : o.colorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                         : o.colorType == PNG_COLOR_TYPE_RGB        ? 3
                         : o.colorType == PNG_COLOR_TYPE_PALETTE    ? 1
                                                                    : 4;
    const std::size_t bytesPerSample = o.bitDepth == 16 ? 2 : 1;
    std::vector<std::vector<unsigned char>> rows(o.height);
    for (unsigned y = 0; y < o.height; ++y) {
        auto& row = rows[y];
        row.assign(static_cast<std::size_t>(o.width) * channels * bytesPerSample, 0);
        for (unsigned x = 0; x < o.width; ++x) {
            const std::uint32_t c = pixel ? pixel(x, y) : halves(x, y, o.width);
            if (o.colorType == PNG_COLOR_TYPE_PALETTE) {
                row[x] = blue(c) > red(c) ? 1 : 0;
                continue;
            }
            unsigned v[4] = {red(c), green(c), blue(c), alphaOf(c)};
            if (channels <= 2) {
                v[1] = alphaOf(c);
            }
            for (int ch = 0; ch < channels; ++ch) {
                if (bytesPerSample == 2) {
                    const std::uint16_t s = static_cast<std::uint16_t>(v[ch] * 257);
                    std::memcpy(&row[(static_cast<std::size_t>(x) * channels + ch) * 2], &s, 2);
                } else {
                    row[static_cast<std::size_t>(x) * channels + ch] = static_cast<unsigned char>(v[ch]);
                }
            }
        }
    }
    std::vector<png_bytep> pointers;
    for (auto& r : rows) {
        pointers.push_back(r.data());
    }
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return data;
}

inline int gifWriteToString(GifFileType* gif, const GifByteType* data, int length) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), length);
    return length;
}

// Palette: 0 red, 1 blue, 2 green, 3 white. Index `transparent` (or -1) is transparent.
// `frames` frames of the same picture follow the first (an animation).
inline std::string makeGif(unsigned width, unsigned height, int transparent, bool interlace = false,
                           int frames = 1, const std::function<int(unsigned, unsigned)>& index = {}) {
    std::string data;
    int error = 0;
    GifFileType* gif = EGifOpen(&data, gifWriteToString, &error);
    GifColorType colours[4] = {{255, 0, 0}, {0, 0, 255}, {0, 255, 0}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, static_cast<int>(width), static_cast<int>(height), 2, 0, map);
    for (int f = 0; f < frames; ++f) {
        GraphicsControlBlock gcb{};
        gcb.TransparentColor = transparent;
        gcb.DelayTime = 10;
        GifByteType ext[4];
        const size_t n = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext);
        EGifPutImageDesc(gif, 0, 0, static_cast<int>(width), static_cast<int>(height), interlace, nullptr);
        std::vector<GifPixelType> line(width);
        auto putRow = [&](unsigned y) {
            for (unsigned x = 0; x < width; ++x) {
                line[x] = static_cast<GifPixelType>(index ? index(x, y) : (x < width / 2 ? 0 : 1));
            }
            EGifPutLine(gif, line.data(), static_cast<int>(width));
        };
        if (interlace) {
            const unsigned start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
            for (int pass = 0; pass < 4; ++pass) {
                for (unsigned y = start[pass]; y < height; y += step[pass]) {
                    putRow(y);
                }
            }
        } else {
            for (unsigned y = 0; y < height; ++y) {
                putRow(y);
            }
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return data;
}

struct TiffPage {
    unsigned width = 30, height = 20;
    unsigned dpi = 0; // 0: no resolution tags
    int samples = 3;  // 1 grey, 3 RGB, 4 RGBA (unassociated alpha)
    bool bilevel = false;
    bool thumbnail = false; // marked as a reduced-resolution image
};

// Writes a (multi-page) TIFF; pixels follow halves() (grey: red channel; bilevel: left black).
inline void writeTiff(const std::string& path, const std::vector<TiffPage>& pages,
                      const PixelFn& pixel = {}) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    for (const auto& p : pages) {
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, p.width);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, p.height);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, p.bilevel ? COMPRESSION_CCITTFAX4 : COMPRESSION_LZW);
        if (p.thumbnail) {
            TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
        }
        if (p.bilevel) {
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        } else {
            TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
            TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, p.samples);
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, p.samples == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
            if (p.samples == 4) {
                uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
                TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
            }
        }
        if (p.dpi) {
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(p.dpi));
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(p.dpi));
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        }
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 8);
        const std::size_t rowBytes =
            p.bilevel ? (p.width + 7) / 8 : static_cast<std::size_t>(p.width) * p.samples;
        std::vector<unsigned char> row(rowBytes);
        for (unsigned y = 0; y < p.height; ++y) {
            std::fill(row.begin(), row.end(), 0);
            for (unsigned x = 0; x < p.width; ++x) {
                const std::uint32_t c = pixel ? pixel(x, y) : halves(x, y, p.width);
                if (p.bilevel) {
                    if (red(c) > 128) { // MINISWHITE: a set bit is black
                        row[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                    }
                    continue;
                }
                unsigned char* px = &row[static_cast<std::size_t>(x) * p.samples];
                if (p.samples == 1) {
                    px[0] = red(c);
                } else {
                    px[0] = red(c), px[1] = green(c), px[2] = blue(c);
                    if (p.samples == 4) {
                        px[3] = alphaOf(c);
                    }
                }
            }
            TIFFWriteScanline(tif, row.data(), y, 0);
        }
        TIFFWriteDirectory(tif);
    }
    TIFFClose(tif);
}

// Reads a PNG rendered by pdftoppm and returns the RGB of one pixel.
inline std::uint32_t pngPixel(const std::string& path, unsigned x, unsigned y, unsigned* width = nullptr,
                              unsigned* height = nullptr) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        throw std::runtime_error("cannot read " + path);
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> buffer(PNG_IMAGE_SIZE(image));
    png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr);
    if (width) {
        *width = image.width;
    }
    if (height) {
        *height = image.height;
    }
    const unsigned char* p = &buffer[(static_cast<std::size_t>(y) * image.width + x) * 3];
    return rgba(p[0], p[1], p[2]);
}

// Colour classes, loose enough for JPEG noise and anti-aliasing.
inline bool isRed(std::uint32_t c) {
    return red(c) > 200 && green(c) < 80 && blue(c) < 80;
}
inline bool isBlue(std::uint32_t c) {
    return red(c) < 80 && green(c) < 80 && blue(c) > 200;
}
inline bool isWhite(std::uint32_t c) {
    return red(c) > 230 && green(c) > 230 && blue(c) > 230;
}
inline bool isBlack(std::uint32_t c) {
    return red(c) < 50 && green(c) < 50 && blue(c) < 50;
}

} // namespace plait::testing

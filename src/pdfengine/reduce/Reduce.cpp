// Image reduction: what an image holds, resampling it, and storing it again.
#include "Reduce.h"

#include "Placements.h"
#include "pdfengine/Cancel.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstdlib>
#include <cstring>
#include <exception>
#include <jpeglib.h>
#include <libdeflate.h>
#include <memory>
#include <optional>
#include <unordered_set>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

// Decoded images larger than this are left alone rather than held in memory.
constexpr std::size_t kMaxDecoded = 256u << 20;
// An image is reduced only when its resolution exceeds the target by more than this share.
constexpr double kSlack = 1.1;

enum class Kind { Gray, Rgb, Cmyk, Indexed, Stencil };

// One image's samples, one byte each (unpacked), and how to store them again.
struct Raster {
    int width = 0, height = 0, components = 1;
    int bits = 8; // the stored bit depth (16 is read as 8)
    Kind kind = Kind::Gray;
    std::vector<std::uint8_t> samples; // scaled to 0..255, except Indexed (palette indexes)
};

// The kind and component count of an image's colour space; none for spaces the engine does
// not resample.
std::optional<std::pair<Kind, int>> colourKind(QOH dict) {
    if (dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue()) {
        return std::pair{Kind::Stencil, 1};
    }
    QOH cs = dict.getKey("/ColorSpace");
    std::string family = cs.isName() ? cs.getName() : "";
    if (cs.isArray() && cs.getArrayNItems() > 0 && cs.getArrayItem(0).isName()) {
        family = cs.getArrayItem(0).getName();
    }
    if (family == "/DeviceGray" || family == "/CalGray" || family == "/G") {
        return std::pair{Kind::Gray, 1};
    }
    if (family == "/DeviceRGB" || family == "/CalRGB" || family == "/RGB") {
        return std::pair{Kind::Rgb, 3};
    }
    if (family == "/DeviceCMYK" || family == "/CMYK") {
        return std::pair{Kind::Cmyk, 4};
    }
    if (family == "/Indexed" || family == "/I") {
        return std::pair{Kind::Indexed, 1};
    }
    if (family == "/ICCBased" && cs.getArrayNItems() > 1 && cs.getArrayItem(1).isStream()) {
        QOH n = cs.getArrayItem(1).getDict().getKey("/N");
        switch (n.isInteger() ? n.getIntValue() : 0) {
        case 1:
            return std::pair{Kind::Gray, 1};
        case 3:
            return std::pair{Kind::Rgb, 3};
        case 4:
            return std::pair{Kind::Cmyk, 4};
        default:
            break;
        }
    }
    return std::nullopt;
}

bool decodable(QOH dict) {
    QOH filter = dict.getKey("/Filter");
    std::vector<QOH> filters = filter.isArray() ? filter.getArrayAsVector() : std::vector<QOH>{filter};
    for (QOH f : filters) {
        if (f.isName() && (f.getName() == "/JPXDecode" || f.getName() == "/JBIG2Decode" ||
                           f.getName() == "/CCITTFaxDecode" || f.getName() == "/CCF")) {
            return false;
        }
    }
    return true;
}

int intKey(QOH dict, const char* key) {
    QOH v = dict.getKey(key);
    return v.isInteger() ? v.getIntValueAsInt() : 0;
}

// The samples of an image or mask stream, unpacked; none when it cannot be decoded.
std::optional<Raster> readRaster(QOH image) {
    QOH dict = image.getDict();
    const auto kind = colourKind(dict);
    Raster r;
    r.width = intKey(dict, "/Width");
    r.height = intKey(dict, "/Height");
    r.bits = kind && kind->first == Kind::Stencil ? 1 : intKey(dict, "/BitsPerComponent");
    if (!kind || !decodable(dict) || r.width <= 0 || r.height <= 0 ||
        (r.bits != 1 && r.bits != 2 && r.bits != 4 && r.bits != 8 && r.bits != 16)) {
        return std::nullopt;
    }
    r.kind = kind->first;
    r.components = kind->second;
    // Both the stored samples and their unpacked bytes (eight times as many at 1 bit) are
    // bounded, compared by division so that no product of hostile sizes can wrap.
    const std::size_t rowBytes = (static_cast<std::size_t>(r.width) * r.components * r.bits + 7) / 8;
    const std::size_t perRow = static_cast<std::size_t>(r.width) * r.components;
    const auto height = static_cast<std::size_t>(r.height);
    if (rowBytes > kMaxDecoded / height || perRow > kMaxDecoded / height) {
        return std::nullopt;
    }
    std::shared_ptr<Buffer> data;
    try {
        data = image.getStreamData(qpdf_dl_all);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (data->getSize() < rowBytes * static_cast<std::size_t>(r.height)) {
        return std::nullopt;
    }
    const std::uint8_t* bytes = data->getBuffer();
    r.samples.resize(perRow * static_cast<std::size_t>(r.height));
    const int max = (1 << std::min(r.bits, 8)) - 1;
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* row = bytes + rowBytes * static_cast<std::size_t>(y);
        std::uint8_t* to = r.samples.data() + perRow * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < perRow; ++i) {
            int v;
            if (r.bits == 16) {
                v = row[2 * i];
            } else if (r.bits == 8) {
                v = row[i];
            } else {
                const std::size_t bit = i * static_cast<std::size_t>(r.bits);
                v = (row[bit / 8] >> (8 - r.bits - static_cast<int>(bit % 8))) & max;
            }
            to[i] = static_cast<std::uint8_t>(r.kind == Kind::Indexed || r.bits >= 8 ? v : v * 255 / max);
        }
    }
    if (r.bits == 16) {
        r.bits = 8;
    }
    return r;
}

// `r` resampled to w x h: by area averaging, or by taking each new pixel's centre sample
// where averaging would make values the image does not have (palette indexes, colour keys).
Raster resample(const Raster& r, int w, int h, bool nearest) {
    Raster out = r;
    out.width = w;
    out.height = h;
    const int n = r.components;
    out.samples.assign(static_cast<std::size_t>(w) * h * n, 0);
    CancelPoll poll(64);
    for (int y = 0; y < h; ++y) {
        poll();
        const int y0 = static_cast<int>(static_cast<long long>(y) * r.height / h);
        const int y1 = std::max(y0 + 1, static_cast<int>(static_cast<long long>(y + 1) * r.height / h));
        for (int x = 0; x < w; ++x) {
            const int x0 = static_cast<int>(static_cast<long long>(x) * r.width / w);
            const int x1 = std::max(x0 + 1, static_cast<int>(static_cast<long long>(x + 1) * r.width / w));
            std::uint8_t* to = &out.samples[(static_cast<std::size_t>(y) * w + x) * n];
            if (nearest) {
                const std::uint8_t* from =
                    &r.samples[(static_cast<std::size_t>((y0 + y1) / 2) * r.width + (x0 + x1) / 2) * n];
                std::copy(from, from + n, to);
                continue;
            }
            for (int c = 0; c < n; ++c) {
                unsigned sum = 0;
                for (int sy = y0; sy < y1; ++sy) {
                    const std::uint8_t* row = &r.samples[static_cast<std::size_t>(sy) * r.width * n];
                    for (int sx = x0; sx < x1; ++sx) {
                        sum += row[sx * n + c];
                    }
                }
                const unsigned count = static_cast<unsigned>((y1 - y0) * (x1 - x0));
                to[c] = static_cast<std::uint8_t>((sum + count / 2) / count);
            }
        }
    }
    return out;
}

// The samples packed at the raster's bit depth, rows starting on a byte, as PDF stores them.
std::string pack(const Raster& r) {
    const std::size_t perRow = static_cast<std::size_t>(r.width) * r.components;
    if (r.bits == 8) {
        return std::string(r.samples.begin(), r.samples.end());
    }
    const std::size_t rowBytes = (perRow * static_cast<std::size_t>(r.bits) + 7) / 8;
    std::string out(rowBytes * static_cast<std::size_t>(r.height), '\0');
    const int max = (1 << r.bits) - 1;
    for (int y = 0; y < r.height; ++y) {
        const std::uint8_t* from = &r.samples[perRow * static_cast<std::size_t>(y)];
        char* row = &out[rowBytes * static_cast<std::size_t>(y)];
        for (std::size_t i = 0; i < perRow; ++i) {
            // Averaged samples go back to the nearest level; a 1-bit image is thresholded.
            const int v = r.kind == Kind::Indexed ? from[i] : (from[i] * max + 127) / 255;
            const std::size_t bit = i * static_cast<std::size_t>(r.bits);
            row[bit / 8] = static_cast<char>(row[bit / 8] | (v << (8 - r.bits - static_cast<int>(bit % 8))));
        }
    }
    return out;
}

std::string deflate(const std::string& data) {
    std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(libdeflate_alloc_compressor(9),
                                                                               libdeflate_free_compressor);
    std::string out(libdeflate_zlib_compress_bound(c.get(), data.size()), '\0');
    out.resize(libdeflate_zlib_compress(c.get(), data.data(), data.size(), out.data(), out.size()));
    return out;
}

struct JpegError {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

extern "C" void reduceJpegErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// Keeps to plain C objects between setjmp and any longjmp: no destructor may be skipped.
// The caller frees *out with free().
bool encodeJpeg(const std::uint8_t* samples, int width, int height, int components, int quality,
                unsigned char** out, unsigned long* size) {
    jpeg_compress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = reduceJpegErrorExit;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, out, size);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(width) * components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

std::optional<std::string> jpeg(const Raster& r, int quality) {
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const bool ok = encodeJpeg(r.samples.data(), r.width, r.height, r.components, quality, &buffer, &size);
    std::optional<std::string> out;
    if (ok && buffer != nullptr) {
        out.emplace(reinterpret_cast<const char*>(buffer), size);
    }
    std::free(buffer);
    return out;
}

// More than 256 colours (grey: 64 levels) make a photograph rather than line art.
bool manyColours(const Raster& r) {
    const std::size_t limit = r.components == 1 ? 64 : 256;
    std::unordered_set<std::uint32_t> colours;
    const std::size_t n = static_cast<std::size_t>(r.components);
    for (std::size_t i = 0; i + n <= r.samples.size(); i += n) {
        std::uint32_t key = 0;
        for (std::size_t c = 0; c < n; ++c) {
            key = key << 8 | r.samples[i + c];
        }
        if (colours.insert(key).second && colours.size() > limit) {
            return true;
        }
    }
    return false;
}

bool isDct(QOH dict) {
    QOH f = dict.getKey("/Filter");
    if (f.isArray() && f.getArrayNItems() == 1) {
        f = f.getArrayItem(0);
    }
    return f.isName() && (f.getName() == "/DCTDecode" || f.getName() == "/DCT");
}

std::size_t storedSize(QOH stream) {
    QOH length = stream.getDict().getKey("/Length");
    if (length.isInteger() && length.getIntValue() >= 0) {
        return static_cast<std::size_t>(length.getIntValue());
    }
    return stream.getRawStreamData()->getSize();
}

void store(QOH stream, const Raster& r, std::string data, bool dct) {
    QOH dict = stream.getDict();
    stream.replaceStreamData(data, QOH::newName(dct ? "/DCTDecode" : "/FlateDecode"), QOH::newNull());
    dict.replaceKey("/Width", QOH::newInteger(r.width));
    dict.replaceKey("/Height", QOH::newInteger(r.height));
    if (r.kind != Kind::Stencil) {
        dict.replaceKey("/BitsPerComponent", QOH::newInteger(r.bits));
    }
}

// A soft mask or stencil mask made the image's new size, losslessly; left as it is when it
// cannot be read (a mask may have a size of its own).
void reduceMask(QOH mask, int width, int height, std::set<QPDFObjGen>& done) {
    if (!mask.isStream() || !done.insert(mask.getObjGen()).second) {
        return;
    }
    auto r = readRaster(mask);
    if (!r || (r->width <= width && r->height <= height) || r->components != 1) {
        return;
    }
    const Raster small = resample(*r, std::min(width, r->width), std::min(height, r->height), false);
    store(mask, small, deflate(pack(small)), false);
}

} // namespace

int reduceImages(QPDF& pdf, const ImageReduce& options, std::vector<std::string>& notes) {
    if (!options.wanted()) {
        return 0;
    }
    const reduce::Placements placements = reduce::findPlacements(pdf);
    std::set<QPDFObjGen> masksDone;
    int reduced = 0, undecodable = 0;
    for (const auto& [og, size] : placements.drawn) {
        checkCancel();
        if (placements.unknown.count(og) != 0) {
            continue;
        }
        QOH image = pdf.getObject(og);
        QOH dict = image.getDict();
        const double inchesW = size.width / 72, inchesH = size.height / 72;
        const int width = intKey(dict, "/Width"), height = intKey(dict, "/Height");
        if (width <= 0 || height <= 0 || inchesW <= 0 || inchesH <= 0 ||
            (width <= options.dpi * inchesW * kSlack && height <= options.dpi * inchesH * kSlack)) {
            continue;
        }
        const int w = std::clamp(static_cast<int>(std::ceil(options.dpi * inchesW)), 1, width);
        const int h = std::clamp(static_cast<int>(std::ceil(options.dpi * inchesH)), 1, height);
        QOH keyMask = dict.getKey("/Mask");
        // Colour keys compare stored values, which a 16-bit image read as 8 no longer has.
        if (keyMask.isArray() && intKey(dict, "/BitsPerComponent") == 16) {
            continue;
        }
        auto raster = readRaster(image);
        if (!raster) {
            ++undecodable;
            continue;
        }
        const bool nearest = raster->kind == Kind::Indexed || keyMask.isArray();
        Raster small = resample(*raster, w, h, nearest);
        raster.reset();
        const bool photo = !nearest && small.bits == 8 &&
                           (small.kind == Kind::Gray || small.kind == Kind::Rgb) &&
                           (isDct(dict) || manyColours(small));
        std::optional<std::string> data = photo ? jpeg(small, options.quality) : deflate(pack(small));
        if (!data || data->size() >= storedSize(image)) {
            continue;
        }
        store(image, small, std::move(*data), photo);
        reduceMask(dict.getKey("/SMask"), w, h, masksDone);
        reduceMask(keyMask, w, h, masksDone);
        ++reduced;
    }
    if (undecodable > 0) {
        notes.push_back("Image reduction: " + std::to_string(undecodable) +
                        (undecodable == 1 ? " image could not be decoded and was left as it was"
                                          : " images could not be decoded and were left as they were"));
    }
    return reduced;
}

} // namespace plait::pdf

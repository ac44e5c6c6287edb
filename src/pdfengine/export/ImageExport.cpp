#include "ImageExport.h"

#include "pdfengine/ImagesModule.h"
#include "pdfengine/TemporaryFile.h"
#include "pdfengine/images/ImagePages.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace plait::pdf {
namespace {

// The stream's filter when it has exactly one, else "" (a chain, or none).
std::string onlyFilter(QPDFObjectHandle dict) {
    QPDFObjectHandle filter = dict.getKey("/Filter");
    if (filter.isArray() && filter.getArrayNItems() == 1) {
        filter = filter.getArrayItem(0);
    }
    return filter.isName() ? filter.getName() : std::string();
}

std::string filterNames(QPDFObjectHandle dict) {
    QPDFObjectHandle filter = dict.getKey("/Filter");
    return filter.isNull() ? std::string("none") : filter.unparse();
}

// Colour spaces reduced to what the samples mean.
struct ColourSpace {
    enum Family { Gray, Rgb, Cmyk, Indexed, Unsupported } family = Unsupported;
    Family base = Unsupported; // of an indexed space
    int hival = 0;
    std::string lookup;
    std::string name; // for messages
};

ColourSpace::Family deviceFamily(QPDFObjectHandle cs, std::string& name) {
    if (cs.isArray() && cs.getArrayNItems() >= 1 && cs.getArrayItem(0).isName()) {
        const std::string head = cs.getArrayItem(0).getName();
        if (head == "/ICCBased" && cs.getArrayNItems() >= 2 && cs.getArrayItem(1).isStream()) {
            // The profile's alternate is what a reader without colour management shows.
            QPDFObjectHandle n = cs.getArrayItem(1).getDict().getKey("/N");
            const int components = n.isInteger() ? n.getIntValueAsInt() : 0;
            return components == 1   ? ColourSpace::Gray
                   : components == 3 ? ColourSpace::Rgb
                   : components == 4 ? ColourSpace::Cmyk
                                     : (name = "ICC profile", ColourSpace::Unsupported);
        }
        if (head == "/CalGray")
            return ColourSpace::Gray;
        if (head == "/CalRGB")
            return ColourSpace::Rgb;
        name = head.substr(1);
        return ColourSpace::Unsupported;
    }
    if (cs.isName()) {
        const std::string n = cs.getName();
        if (n == "/DeviceGray" || n == "/G" || n == "/CalGray")
            return ColourSpace::Gray;
        if (n == "/DeviceRGB" || n == "/RGB" || n == "/CalRGB")
            return ColourSpace::Rgb;
        if (n == "/DeviceCMYK" || n == "/CMYK")
            return ColourSpace::Cmyk;
        name = n.substr(1);
    }
    return ColourSpace::Unsupported;
}

ColourSpace colourSpaceOf(QPDFObjectHandle cs) {
    ColourSpace result;
    if (cs.isArray() && cs.getArrayNItems() == 4 && cs.getArrayItem(0).isName() &&
        (cs.getArrayItem(0).getName() == "/Indexed" || cs.getArrayItem(0).getName() == "/I")) {
        result.base = deviceFamily(cs.getArrayItem(1), result.name);
        QPDFObjectHandle hival = cs.getArrayItem(2);
        QPDFObjectHandle lookup = cs.getArrayItem(3);
        result.hival = hival.isInteger() ? hival.getIntValueAsInt() : -1;
        if (lookup.isString()) {
            result.lookup = lookup.getStringValue();
        } else if (lookup.isStream()) {
            auto data = lookup.getStreamData(qpdf_dl_all);
            result.lookup.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        }
        if (result.base == ColourSpace::Unsupported || result.base == ColourSpace::Indexed ||
            result.hival < 0 || result.hival > 255) {
            result.name = "Indexed " + result.name;
            return result; // Unsupported
        }
        result.family = ColourSpace::Indexed;
        return result;
    }
    result.family = deviceFamily(cs, result.name);
    return result;
}

int componentsOf(ColourSpace::Family f) {
    return f == ColourSpace::Gray ? 1 : f == ColourSpace::Rgb ? 3 : f == ColourSpace::Cmyk ? 4 : 1;
}

void cmykToRgb(const unsigned char* cmyk, unsigned char* rgb) {
    const int k = 255 - cmyk[3];
    for (int i = 0; i < 3; ++i) {
        rgb[i] = static_cast<unsigned char>((255 - cmyk[i]) * k / 255);
    }
}

// Sample `index` of a row packed at `bits` bits a sample, as stored.
unsigned sampleAt(const unsigned char* row, std::size_t index, int bits) {
    switch (bits) {
    case 8:
        return row[index];
    case 16:
        return (static_cast<unsigned>(row[2 * index]) << 8) | row[2 * index + 1];
    default: {
        const std::size_t bit = index * static_cast<std::size_t>(bits);
        const unsigned byte = row[bit / 8];
        const unsigned shift = 8 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 8);
        return (byte >> shift) & ((1u << bits) - 1);
    }
    }
}

// What an image's dictionary says about its samples.
struct SampleLayout {
    unsigned long long width = 0, height = 0;
    bool stencil = false;
    ColourSpace cs;
    int bits = 1;
    bool invert = false; // a /Decode of [1 0] (per component), or a stencil mask
};

// The layout, or false with the reason when the samples cannot be turned into plain pixels.
bool readLayout(QPDFObjectHandle dict, SampleLayout& layout, std::string& reason) {
    QPDFObjectHandle w = dict.getKey("/Width"), h = dict.getKey("/Height");
    if (!w.isInteger() || !h.isInteger() || w.getIntValue() <= 0 || h.getIntValue() <= 0) {
        reason = "it has no size";
        return false;
    }
    layout.width = static_cast<unsigned long long>(w.getIntValue());
    layout.height = static_cast<unsigned long long>(h.getIntValue());
    if (layout.width * layout.height > kMaxImagePixels || layout.width > 1'000'000 ||
        layout.height > 1'000'000) {
        reason = "it is too large";
        return false;
    }
    layout.stencil = dict.getKey("/ImageMask").isBool() && dict.getKey("/ImageMask").getBoolValue();
    if (layout.stencil) {
        layout.cs.family = ColourSpace::Gray;
    } else {
        layout.cs = colourSpaceOf(dict.getKey("/ColorSpace"));
        QPDFObjectHandle bpc = dict.getKey("/BitsPerComponent");
        layout.bits = bpc.isInteger() ? bpc.getIntValueAsInt() : 0;
    }
    const ColourSpace& cs = layout.cs;
    if (cs.family == ColourSpace::Unsupported) {
        reason = "its colour space " +
                 (cs.name.empty() ? std::string("is unknown") : cs.name + " is not supported");
        return false;
    }
    const int bits = layout.bits;
    if (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16) {
        reason = "it has " + std::to_string(bits) + " bits a sample";
        return false;
    }
    if (cs.family == ColourSpace::Indexed && bits == 16) {
        reason = "its palette index has 16 bits";
        return false;
    }
    // A /Decode of [1 0] (per component) inverts the samples; other ranges are rare.
    layout.invert = layout.stencil;
    QPDFObjectHandle decode = dict.getKey("/Decode");
    if (decode.isArray() && decode.getArrayNItems() >= 2 && cs.family != ColourSpace::Indexed) {
        QPDFObjectHandle d0 = decode.getArrayItem(0), d1 = decode.getArrayItem(1);
        if (d0.isNumber() && d1.isNumber() && d0.getNumericValue() > d1.getNumericValue()) {
            layout.invert = !layout.invert;
        }
    }
    return true;
}

// The samples of one row, `rowBytes` long, as 8-bit grey or RGB pixels at `out`.
void convertRow(const unsigned char* row, const SampleLayout& layout, ColourSpace::Family outFamily,
                int outComponents, unsigned char* out) {
    const ColourSpace& cs = layout.cs;
    const unsigned maxValue = layout.bits == 16 ? 65535u : (1u << layout.bits) - 1;
    const int baseComponents = componentsOf(outFamily);
    unsigned char pixel[4] = {};
    for (unsigned long long x = 0; x < layout.width; ++x) {
        if (cs.family == ColourSpace::Indexed) {
            const unsigned index =
                std::min<unsigned>(sampleAt(row, x, layout.bits), static_cast<unsigned>(cs.hival));
            for (int c = 0; c < baseComponents; ++c) {
                const std::size_t at =
                    index * static_cast<std::size_t>(baseComponents) + static_cast<std::size_t>(c);
                pixel[c] = at < cs.lookup.size() ? static_cast<unsigned char>(cs.lookup[at]) : 0;
            }
        } else {
            for (int c = 0; c < baseComponents; ++c) {
                unsigned v =
                    sampleAt(row, x * static_cast<std::size_t>(baseComponents) + static_cast<std::size_t>(c),
                             layout.bits);
                v = v * 255 / maxValue;
                pixel[c] = static_cast<unsigned char>(layout.invert ? 255 - v : v);
            }
        }
        if (outFamily == ColourSpace::Cmyk) {
            cmykToRgb(pixel, out);
        } else {
            std::memcpy(out, pixel, static_cast<std::size_t>(baseComponents));
        }
        out += outComponents;
    }
}

} // namespace

bool decodeImage(QPDFObjectHandle image, Raster& raster, std::string& reason, bool& approximated) {
    QPDFObjectHandle dict = image.getDict();
    SampleLayout layout;
    if (!readLayout(dict, layout, reason)) {
        return false;
    }
    std::shared_ptr<Buffer> data;
    try {
        data = image.getStreamData(qpdf_dl_all);
    } catch (const std::exception&) {
        reason = "its compression (" + filterNames(dict) + ") cannot be decoded";
        return false;
    }
    const ColourSpace& cs = layout.cs;
    const int inComponents = cs.family == ColourSpace::Indexed ? 1 : componentsOf(cs.family);
    const std::size_t samplesPerRow =
        static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(inComponents);
    const std::size_t rowBytes = (samplesPerRow * static_cast<std::size_t>(layout.bits) + 7) / 8;
    if (data->getSize() < rowBytes * layout.height) {
        reason = "its data is shorter than its size says";
        return false;
    }

    const ColourSpace::Family outFamily = cs.family == ColourSpace::Indexed ? cs.base : cs.family;
    raster.width = static_cast<unsigned>(layout.width);
    raster.height = static_cast<unsigned>(layout.height);
    raster.components = outFamily == ColourSpace::Gray ? 1 : 3;
    const std::size_t stride =
        static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(raster.components);
    raster.samples.assign(stride * static_cast<std::size_t>(layout.height), '\0');
    approximated = outFamily == ColourSpace::Cmyk;
    auto* out = reinterpret_cast<unsigned char*>(raster.samples.data());
    for (unsigned long long y = 0; y < layout.height; ++y) {
        convertRow(data->getBuffer() + y * rowBytes, layout, outFamily, raster.components, out + y * stride);
    }
    return true;
}

fs::path writeNewFile(const fs::path& folder, const std::string& stem, const std::string& ext,
                      const std::string& bytes) {
    std::optional<TemporaryFile> temp;
    try {
        temp.emplace(folder, ".plait-image-");
    } catch (const TemporaryFile::Failure& e) {
        throw std::runtime_error("cannot create a file in " + folder.string() + ": " + e.reason());
    }
    const std::string tempPath = temp->path();
    try {
        temp->write(bytes);
        temp->finish();
    } catch (const TemporaryFile::Failure& e) {
        throw std::runtime_error("cannot write " + tempPath + ": " + e.reason());
    }
    for (int n = 1;; ++n) {
        const fs::path target = folder / (stem + (n == 1 ? std::string() : "-" + std::to_string(n)) + ext);
        try {
            if (temp->publishNew(target)) {
                return target;
            }
        } catch (const TemporaryFile::Failure& e) {
            throw std::runtime_error("cannot write " + target.string() + ": " + e.reason());
        }
    }
}

ImageExporter::ImageExporter(fs::path folder, Warn warn, std::function<void()> checkCancel)
    : folder_(std::move(folder)), warn_(std::move(warn)), checkCancel_(std::move(checkCancel)) {}

void ImageExporter::startDocument(std::string baseName) {
    base_ = std::move(baseName);
    seen_.clear();
}

void ImageExporter::exportPage(QPDFPageObjectHelper page, int pageNumber) {
    // Collected first: the files are written outside qpdf's walk over the resources.
    std::vector<std::pair<std::string, QPDFObjectHandle>> images;
    page.forEachImage(true, [&](QPDFObjectHandle& obj, QPDFObjectHandle&, std::string const& key) {
        if (!obj.isIndirect() || seen_.insert(obj.getObjGen()).second) {
            images.emplace_back(key, obj);
        }
    });
    const std::string stem = base_ + "-p" + std::to_string(pageNumber) + "-";
    int n = 0;
    for (auto& [key, image] : images) {
        checkCancel_();
        const std::string where = base_ + " page " + std::to_string(pageNumber) + ": image " + key.substr(1);
        std::string bytes, ext, reason;
        const std::string filter = onlyFilter(image.getDict());
        try {
            if (filter == "/DCTDecode" || filter == "/JPXDecode") {
                // Stored as a file of that format already. (Chained behind another filter,
                // qpdf decodes the JPEG to samples below, and a PNG is written instead.)
                auto data = image.getRawStreamData();
                bytes.assign(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
                ext = filter == "/DCTDecode" ? ".jpg" : ".jp2";
            } else {
                Raster raster;
                bool approximated = false;
                if (decodeImage(image, raster, reason, approximated)) {
                    bytes = encodePng(raster);
                    ext = ".png";
                    approximated_ = approximated_ || approximated;
                }
            }
        } catch (const ImagesModuleMissing&) {
            throw; // no image of any document could be exported: the build fails
        } catch (const std::exception& e) {
            reason = e.what();
            ext.clear();
        }
        if (ext.empty()) {
            warn_(where + " was not exported: " + reason);
            ++skipped_;
            continue;
        }
        writeNewFile(folder_, stem + std::to_string(++n), ext, bytes);
        ++written_;
    }
}

} // namespace plait::pdf

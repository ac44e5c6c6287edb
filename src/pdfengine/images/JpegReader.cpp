// JPEG: libjpeg reads the header only; the file's bytes go into the PDF unchanged.

#include "pdfengine/images/ImageSupport.h"

#include <qpdf/Pipeline.hh>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first
#include <cstring>
#include <fstream>
#include <jerror.h>
#include <jpeglib.h>
#include <memory>
#include <vector>

namespace plait::pdf::images {

namespace {

struct JpegHeader {
    unsigned width = 0, height = 0;
    int components = 0;
    int precision = 0;
    bool adobe = false;
    bool jfif = false;
    bool arithmetic = false;
    int densityUnit = 0;
    unsigned densityX = 0, densityY = 0;
    std::size_t scanStart = 0; // offset just past the first scan header
    std::string exif;          // APP1 payload after "Exif\0\0", when present
};

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void jpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// libjpeg would print warnings (e.g. "premature end of data") to stderr; we check for
// truncation ourselves.
extern "C" void jpegQuiet(j_common_ptr, int) {}

// Keeps to plain C objects between setjmp and any longjmp: no destructor may be skipped.
bool readJpegHeader(const unsigned char* data, std::size_t size, JpegHeader& out, char* message) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegErrorExit;
    err.pub.emit_message = jpegQuiet;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        std::memcpy(message, err.message, JMSG_LENGTH_MAX);
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
        std::strcpy(message, "no image in the JPEG data");
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    out.width = cinfo.image_width;
    out.height = cinfo.image_height;
    out.components = cinfo.num_components;
    out.precision = cinfo.data_precision;
    out.adobe = cinfo.saw_Adobe_marker;
    out.jfif = cinfo.saw_JFIF_marker;
    out.arithmetic = cinfo.arith_code;
    out.densityUnit = cinfo.density_unit;
    out.densityX = cinfo.X_density;
    out.densityY = cinfo.Y_density;
    out.scanStart = size - cinfo.src->bytes_in_buffer;
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length > 6 && std::memcmp(m->data, "Exif\0\0", 6) == 0) {
            out.exif.assign(reinterpret_cast<const char*>(m->data) + 6, m->data_length - 6);
            break;
        }
    }
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct DecompressGuard {
    jpeg_decompress_struct* cinfo = nullptr;
    ~DecompressGuard() {
        if (cinfo) {
            jpeg_destroy_decompress(cinfo);
        }
    }
};

// Arithmetic-coded JPEGs are legal but most PDF readers cannot show them through /DCTDecode,
// so those are decoded and stored losslessly instead. Everything with a destructor is created
// before setjmp, as in readJpegHeader.
QPDFObjectHandle decodeJpeg(QPDF& pdf, const std::string& data, const std::string& name, bool invertedCmyk) {
    jpeg_decompress_struct cinfo;
    JpegErrorManager err;
    DecompressGuard guard;
    std::unique_ptr<RasterBuilder> builder;
    std::vector<unsigned char> row;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = jpegErrorExit;
    err.pub.emit_message = jpegQuiet;
    err.message[0] = '\0';
    if (setjmp(err.jump)) {
        throw ImageLoadError(name + ": damaged JPEG (" + err.message + ")");
    }
    jpeg_create_decompress(&cinfo);
    guard.cinfo = &cinfo;
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    const int components = cinfo.output_components;
    if (components != 1 && components != 3 && components != 4) {
        throw ImageLoadError(name + ": unexpected JPEG layout");
    }
    builder = std::make_unique<RasterBuilder>(cinfo.output_width, cinfo.output_height, components, false);
    row.resize(static_cast<std::size_t>(cinfo.output_width) * static_cast<std::size_t>(components));
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[1] = {row.data()};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) {
            throw ImageLoadError(name + ": damaged JPEG (rows missing)");
        }
        if (invertedCmyk) {
            for (auto& sample : row) {
                sample = static_cast<unsigned char>(255 - sample);
            }
        }
        builder->addRow(row.data(), nullptr);
    }
    jpeg_finish_decompress(&cinfo);
    return builder->finish(pdf);
}

// The warnings that say the coded data ends before the frame its header declares is filled:
// a decoder then paints the rest grey, and readers call the file corrupt.
struct JpegEndWatch {
    JpegErrorManager err;
    bool endedEarly = false;
    char warning[JMSG_LENGTH_MAX];
};

extern "C" void jpegWatchEnd(j_common_ptr cinfo, int level) {
    auto* watch = reinterpret_cast<JpegEndWatch*>(cinfo->err);
    const int code = cinfo->err->msg_code;
    if (level < 0 && !watch->endedEarly && (code == JWRN_HIT_MARKER || code == JWRN_JPEG_EOF)) {
        watch->endedEarly = true;
        (*cinfo->err->format_message)(cinfo, watch->warning);
    }
}

// Decodes the whole coded data at 1/8 scale (the cheapest a decoder offers: every coefficient
// is read, only the DC term is transformed) to see whether it fills the frame. Returns the
// decoder's account when it does not; empty when it does, and when the image cannot be
// checked within a modest memory (a huge progressive image, whose decoder keeps all its
// coefficients): those are left to the checks of the header and the end marker. Plain C
// objects only between setjmp and longjmp.
std::string jpegDataEndsEarly(const unsigned char* data, std::size_t size) {
    jpeg_decompress_struct cinfo;
    JpegEndWatch watch;
    cinfo.err = jpeg_std_error(&watch.err.pub);
    watch.err.pub.error_exit = jpegErrorExit;
    watch.err.pub.emit_message = jpegWatchEnd;
    watch.err.message[0] = '\0';
    watch.warning[0] = '\0';
    JSAMPARRAY rows = nullptr;
    if (setjmp(watch.err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return std::string(); // not decodable here; the other checks decide
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = 128L << 20;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.scale_num = 1;
    cinfo.scale_denom = 8;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&cinfo);
    rows =
        (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                   cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);
    while (cinfo.output_scanline < cinfo.output_height && !watch.endedEarly) {
        jpeg_read_scanlines(&cinfo, rows, 1);
    }
    const bool early = watch.endedEarly;
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return early ? std::string(watch.warning) : std::string();
}

// Entropy-coded data never holds FF D9 (every FF there is followed by 00 or a restart
// marker), so the end-of-image marker after the first scan tells a complete file from a
// truncated one. Trailing bytes after it, which some cameras write, are allowed.
bool hasEndOfImage(const unsigned char* data, std::size_t size, std::size_t from) {
    for (std::size_t i = size; i >= from + 2; --i) {
        if (data[i - 2] == 0xFF && data[i - 1] == 0xD9) {
            return true;
        }
    }
    return false;
}

// Reads the file again when the output is written, and refuses to write something other
// than what was checked.
class JpegFileProvider {
public:
    JpegFileProvider(std::string path, std::size_t size) : path_(std::move(path)), size_(size) {}
    void operator()(Pipeline* pipeline) const {
        std::ifstream in(path_, std::ios::binary);
        char buffer[65536];
        std::size_t total = 0;
        while (in) {
            in.read(buffer, sizeof buffer);
            const auto got = static_cast<std::size_t>(in.gcount());
            if (got == 0) {
                break;
            }
            total += got;
            if (total > size_) {
                break;
            }
            pipeline->write(reinterpret_cast<const unsigned char*>(buffer), got);
        }
        if (total != size_) {
            throw std::runtime_error(path_ + ": the image changed or vanished while the PDF was being built");
        }
        pipeline->finish();
    }

private:
    std::string path_;
    std::size_t size_;
};

// Little helpers for the EXIF (TIFF-structured) block, all bounds-checked.
struct ExifReader {
    const unsigned char* p;
    std::size_t size;
    bool little;
    bool u16(std::size_t at, unsigned& v) const {
        if (at + 2 > size) {
            return false;
        }
        v = little ? p[at] | (p[at + 1] << 8) : (p[at] << 8) | p[at + 1];
        return true;
    }
    bool u32(std::size_t at, unsigned long& v) const {
        if (at + 4 > size) {
            return false;
        }
        if (little) {
            v = p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | (static_cast<unsigned long>(p[at + 3]) << 24);
        } else {
            v = (static_cast<unsigned long>(p[at]) << 24) | (p[at + 1] << 16) | (p[at + 2] << 8) | p[at + 3];
        }
        return true;
    }
    bool rational(std::size_t at, double& v) const {
        unsigned long num = 0, den = 0;
        if (!u32(at, num) || !u32(at + 4, den) || den == 0) {
            return false;
        }
        v = static_cast<double>(num) / static_cast<double>(den);
        return true;
    }
};

} // namespace

bool exifResolution(const unsigned char* tiff, std::size_t size, double& dpiX, double& dpiY,
                    int& orientation) {
    if (size < 8) {
        return false;
    }
    ExifReader r{tiff, size, false};
    if (std::memcmp(tiff, "II*\0", 4) == 0) {
        r.little = true;
    } else if (std::memcmp(tiff, "MM\0*", 4) != 0) {
        return false;
    }
    unsigned long ifd = 0;
    unsigned count = 0;
    if (!r.u32(4, ifd) || !r.u16(ifd, count)) {
        return false;
    }
    double x = 0, y = 0;
    unsigned unit = 2; // inches unless the block says otherwise
    bool any = false;
    for (unsigned i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + 12 * static_cast<std::size_t>(i);
        unsigned tag = 0, type = 0;
        if (!r.u16(entry, tag) || !r.u16(entry + 2, type)) {
            break;
        }
        unsigned long offset = 0;
        unsigned shortValue = 0;
        switch (tag) {
        case 0x011A: // XResolution
        case 0x011B: // YResolution
            if (type == 5 && r.u32(entry + 8, offset)) {
                double v = 0;
                if (r.rational(offset, v)) {
                    (tag == 0x011A ? x : y) = v;
                    any = true;
                }
            }
            break;
        case 0x0128: // ResolutionUnit
            if (type == 3 && r.u16(entry + 8, shortValue)) {
                unit = shortValue;
            }
            break;
        case 0x0112: // Orientation
            if (type == 3 && r.u16(entry + 8, shortValue) && shortValue >= 1 && shortValue <= 8) {
                orientation = static_cast<int>(shortValue);
            }
            break;
        default:
            break;
        }
    }
    if (!any || x <= 0 || y <= 0 || unit == 1) {
        return false;
    }
    const double factor = unit == 3 ? 2.54 : 1.0;
    dpiX = x * factor;
    dpiY = y * factor;
    return true;
}

std::vector<PageImage> readJpeg(QPDF& pdf, const std::string& data, const std::string& name,
                                const std::string& sourcePath) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    JpegHeader header;
    char message[JMSG_LENGTH_MAX] = {};
    if (!readJpegHeader(bytes, data.size(), header, message)) {
        throw ImageLoadError(name + ": damaged JPEG (" + message + ")");
    }
    checkDimensions(header.width, header.height, name);
    if (header.precision != 8) {
        throw ImageLoadError(name + ": " + std::to_string(header.precision) +
                             "-bit JPEG samples cannot be embedded in a PDF");
    }
    const char* space = nullptr;
    switch (header.components) {
    case 1:
        space = "/DeviceGray";
        break;
    case 3:
        space = "/DeviceRGB";
        break;
    case 4:
        space = "/DeviceCMYK";
        break;
    default:
        throw ImageLoadError(name + ": JPEG with " + std::to_string(header.components) +
                             " colour components is not supported");
    }
    if (!hasEndOfImage(bytes, data.size(), header.scanStart)) {
        throw ImageLoadError(name + ": the JPEG file is truncated");
    }
    // A complete file whose header claims more rows or columns than its data holds (a patched
    // size) is as damaged as a truncated one.
    if (const std::string early = jpegDataEndsEarly(bytes, data.size()); !early.empty()) {
        throw ImageLoadError(name + ": the JPEG data ends before the image it declares is complete (" +
                             early + ")");
    }

    PageImage page;
    page.width = header.width;
    page.height = header.height;
    if (header.jfif && (header.densityUnit == 1 || header.densityUnit == 2) && header.densityX > 0 &&
        header.densityY > 0) {
        const double factor = header.densityUnit == 2 ? 2.54 : 1.0;
        page.dpiX = header.densityX * factor;
        page.dpiY = header.densityY * factor;
    }
    if (!header.exif.empty()) {
        double x = 0, y = 0;
        const auto* exif = reinterpret_cast<const unsigned char*>(header.exif.data());
        if (exifResolution(exif, header.exif.size(), x, y, page.orientation) && page.dpiX == 0) {
            page.dpiX = x;
            page.dpiY = y;
        }
    }

    if (header.arithmetic) {
        page.xobject = decodeJpeg(pdf, data, name, header.components == 4 && header.adobe);
        return {page};
    }
    auto stream = pdf.newStream();
    if (sourcePath.empty()) {
        stream.replaceStreamData(data, QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());
    } else {
        stream.replaceStreamData(std::function<void(Pipeline*)>(JpegFileProvider(sourcePath, data.size())),
                                 QPDFObjectHandle::newName("/DCTDecode"), QPDFObjectHandle::newNull());
    }
    auto dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Image"));
    dict.replaceKey("/Width", QPDFObjectHandle::newInteger(header.width));
    dict.replaceKey("/Height", QPDFObjectHandle::newInteger(header.height));
    dict.replaceKey("/ColorSpace", QPDFObjectHandle::newName(space));
    dict.replaceKey("/BitsPerComponent", QPDFObjectHandle::newInteger(8));
    if (header.components == 4 && header.adobe) {
        // Adobe-marked CMYK JPEGs store their samples inverted.
        dict.replaceKey("/Decode", QPDFObjectHandle::parse("[1 0 1 0 1 0 1 0]"));
    }
    page.xobject = stream;
    return {page};
}

} // namespace plait::pdf::images

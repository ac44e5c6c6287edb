#include "MediaPages.h"

#include "pdfengine/Text.h"
#include "pdfengine/marks/Canvas.h"

#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

bool startsWith(const unsigned char* data, std::size_t size, std::size_t at, const char* magic,
                std::size_t length) {
    return size >= at + length && std::memcmp(data + at, magic, length) == 0;
}

// The length in bytes of the MPEG audio frame whose header starts `d`, or 0 when the four
// bytes are no frame header: 11 sync bits, a version and a layer that exist, a bitrate that
// is neither free nor reserved, a sample rate that is not reserved.
std::size_t mpegFrameLength(const unsigned char* d) {
    if (d[0] != 0xFF || (d[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (d[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (d[1] >> 1) & 3;   // 3 layer I, 2 layer II, 1 layer III
    const int bitrateIndex = d[2] >> 4, rateIndex = (d[2] >> 2) & 3, padding = (d[2] >> 1) & 1;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return 0;
    static const int kBitrates[5][14] = {
        {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}, // MPEG-1 layer I
        {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},    // MPEG-1 layer II
        {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},     // MPEG-1 layer III
        {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},    // MPEG-2 layer I
        {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},         // MPEG-2 layers II, III
    };
    static const int kRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const int table = mpeg1 ? 3 - layer : (layer == 3 ? 3 : 4);
    const long bitrate = kBitrates[table][bitrateIndex - 1] * 1000L;
    const long rate = kRates[rateIndex] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    if (layer == 3)
        return static_cast<std::size_t>((12 * bitrate / rate + padding) * 4);
    const long perFrame = (layer == 1 && !mpeg1) ? 72 : 144;
    return static_cast<std::size_t>(perFrame * bitrate / rate + padding);
}

// MPEG audio without a tag: a frame header at the start is four bytes that many other files
// begin with (a UTF-16 text's byte-order mark and first letter, for one), so it counts only
// when the next frame's header follows exactly where the first frame ends.
bool mpegAudioFrames(const unsigned char* d, std::size_t size) {
    if (size < 4)
        return false;
    const std::size_t first = mpegFrameLength(d);
    return first >= 4 && size >= first + 4 && mpegFrameLength(d + first) != 0 &&
           (d[first + 1] & 0xFE) == (d[1] & 0xFE); // same version and layer
}

// A box of an ISO media file: a big-endian size that can hold the box header, then its type.
bool isoBox(const unsigned char* d, std::size_t size, const char* type) {
    if (!startsWith(d, size, 4, type, 4))
        return false;
    const unsigned long boxSize = (unsigned long)d[0] << 24 | d[1] << 16 | d[2] << 8 | d[3];
    return boxSize == 0 || boxSize == 1 || boxSize >= 8;
}

bool printableBrand(const unsigned char* d, std::size_t size) {
    if (size < 12)
        return false;
    return std::all_of(d + 8, d + 12, [](unsigned char c) { return c >= 0x20 && c < 0x7F; });
}

std::optional<MediaType> byExtension(const std::string& fileName) {
    std::string ext = text::lower(std::filesystem::path(fileName).extension().string());
    if (ext == ".avi")
        return MediaType{"AVI video", "video/x-msvideo"};
    if (ext == ".wav")
        return MediaType{"WAV audio", "audio/wav"};
    if (ext == ".mp3")
        return MediaType{"MP3 audio", "audio/mpeg"};
    if (ext == ".mp4" || ext == ".m4v")
        return MediaType{"MP4 video", "video/mp4"};
    if (ext == ".m4a")
        return MediaType{"MP4 audio", "audio/mp4"};
    if (ext == ".mov")
        return MediaType{"QuickTime video", "video/quicktime"};
    if (ext == ".mpg" || ext == ".mpeg")
        return MediaType{"MPEG video", "video/mpeg"};
    if (ext == ".swf")
        return MediaType{"Flash animation", "application/x-shockwave-flash"};
    if (ext == ".wma")
        return MediaType{"Windows Media audio", "audio/x-ms-wma"};
    if (ext == ".wmv" || ext == ".asf")
        return MediaType{"Windows Media video", "video/x-ms-wmv"};
    return std::nullopt;
}

std::string fontResources() {
    return "<< /Font << /H << /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >> "
           ">> >>";
}

// A line of Helvetica centred on the page, shrunk until it fits the width.
std::string centredLine(const std::string& utf8, double y, double size, double maxWidth, double pageWidth) {
    bool lost = false;
    const std::string bytes = marks::toWinAnsi(utf8, lost);
    const double w = marks::textWidth(bytes, size);
    if (w > maxWidth && w > 0)
        size = std::max(4.0, size * maxWidth / w);
    const double x = (pageWidth - marks::textWidth(bytes, size)) / 2;
    return "BT /H " + marks::num(size) + " Tf " + marks::num(x) + " " + marks::num(y) + " Td " +
           marks::literal(bytes) + " Tj ET\n";
}

} // namespace

std::optional<MediaType> sniffMediaType(const unsigned char* d, std::size_t size,
                                        const std::string& fileName) {
    if (startsWith(d, size, 0, "RIFF", 4)) {
        if (startsWith(d, size, 8, "AVI ", 4))
            return MediaType{"AVI video", "video/x-msvideo"};
        if (startsWith(d, size, 8, "WAVE", 4))
            return MediaType{"WAV audio", "audio/wav"};
    }
    if ((startsWith(d, size, 0, "ID3", 3) && size >= 10 && d[3] < 0xFF && d[4] < 0xFF) ||
        mpegAudioFrames(d, size))
        return MediaType{"MP3 audio", "audio/mpeg"};
    if (isoBox(d, size, "ftyp") && printableBrand(d, size)) {
        if (startsWith(d, size, 8, "qt  ", 4))
            return MediaType{"QuickTime video", "video/quicktime"};
        if (startsWith(d, size, 8, "M4A ", 4))
            return MediaType{"MP4 audio", "audio/mp4"};
        return MediaType{"MP4 video", "video/mp4"};
    }
    // Old QuickTime files start with a movie atom instead of a file type box.
    if (isoBox(d, size, "moov") || isoBox(d, size, "mdat"))
        return MediaType{"QuickTime video", "video/quicktime"};
    if (startsWith(d, size, 0, "\x00\x00\x01\xBA", 4) || startsWith(d, size, 0, "\x00\x00\x01\xB3", 4))
        return MediaType{"MPEG video", "video/mpeg"};
    // The byte after the signature is the format version, a small number (not a letter).
    if ((startsWith(d, size, 0, "FWS", 3) || startsWith(d, size, 0, "CWS", 3) ||
         startsWith(d, size, 0, "ZWS", 3)) &&
        size >= 4 && d[3] >= 1 && d[3] < 0x20)
        return MediaType{"Flash animation", "application/x-shockwave-flash"};
    if (startsWith(d, size, 0, "\x30\x26\xB2\x75\x8E\x66\xCF\x11", 8)) {
        // Audio and video share the container; only the name tells them apart cheaply.
        auto named = byExtension(fileName);
        if (named && named->mime == "audio/x-ms-wma")
            return named;
        return MediaType{"Windows Media video", "video/x-ms-wmv"};
    }
    return byExtension(fileName);
}

namespace {

// The file embedded once, under a name no other embedded file uses yet; returns the /Filespec
// dictionary that names it.
QOH embedOnce(QPDF& pdf, const std::string& fileName, const std::string& data, const MediaType& type) {
    QPDFEmbeddedFileDocumentHelper files(pdf);
    std::set<std::string> used;
    for (const auto& [key, _] : files.getEmbeddedFiles())
        used.insert(key);
    std::string key = fileName;
    for (int n = 2; used.count(key); ++n)
        key = fileName + " (" + std::to_string(n) + ")";
    auto stream = QPDFEFStreamObjectHelper::createEFStream(pdf, data);
    stream.setSubtype(type.mime);
    auto fileSpec = QPDFFileSpecObjectHelper::createFileSpec(pdf, key, stream);
    fileSpec.setDescription(type.label);
    QOH specObj = fileSpec.getObjectHandle();
    if (!specObj.isIndirect())
        specObj = pdf.makeIndirectObject(specObj);
    files.replaceEmbeddedFile(key, QPDFFileSpecObjectHelper(specObj));
    return specObj;
}

// The screen annotation that plays the file on `page`, started by a click and by the
// triggers the options choose.
QOH screenAnnotation(QPDF& pdf, QOH page, const std::string& rect, QOH appearance, QOH specObj,
                     const std::string& fileName, const MediaType& type, const MediaOptions& options) {
    QOH annot =
        pdf.makeIndirectObject(QOH::parse("<< /Type /Annot /Subtype /Screen /F 4 /Rect " + rect + " >>"));
    annot.replaceKey("/P", page);
    annot.replaceKey("/T", QOH::newUnicodeString(fileName));
    annot.replaceKey("/Contents", QOH::newUnicodeString(type.label + ": " + fileName));
    annot.replaceKey("/AP", QOH::parse("<< >>"));
    annot.getKey("/AP").replaceKey("/N", appearance);

    QOH rendition = QOH::parse("<< /Type /Rendition /S /MR /C << /Type /MediaClip /S /MCD /P << /TF "
                               "(TEMPACCESS) >> >> /P << /BE << >> >> >>");
    rendition.getKey("/C").replaceKey("/CT", QOH::newString(type.mime));
    rendition.getKey("/C").replaceKey("/D", specObj);
    rendition.getKey("/C").replaceKey("/N", QOH::newUnicodeString(fileName));
    // /RC 0 loops forever; 1 plays once.
    rendition.getKey("/P").getKey("/BE").replaceKey("/RC", QOH::newInteger(options.repeat ? 0 : 1));
    rendition.replaceKey("/N", QOH::newUnicodeString(fileName));

    QOH action = pdf.makeIndirectObject(QOH::parse("<< /Type /Action /S /Rendition /OP 0 >>"));
    action.replaceKey("/AN", annot);
    action.replaceKey("/R", rendition);
    annot.replaceKey("/A", action);

    QOH triggers = QOH::newDictionary();
    if (options.onPageOpen)
        triggers.replaceKey("/PO", action);
    if (options.onPageVisible)
        triggers.replaceKey("/PV", action);
    if (options.onMouseEnter)
        triggers.replaceKey("/E", action);
    if (!triggers.getKeys().empty())
        annot.replaceKey("/AA", triggers);
    return annot;
}

} // namespace

std::vector<QPDFObjectHandle> makeMediaPages(QPDF& pdf, const std::string& fileName, const std::string& data,
                                             const MediaType& type, const MediaOptions& options, int copies) {
    std::vector<QOH> pages;
    if (copies <= 0)
        return pages;
    const double width = 792, height = 612, margin = 36;
    const QOH specObj = embedOnce(pdf, fileName, data, type);

    // Screen area: everything below the title.
    const double x0 = margin, y0 = margin, x1 = width - margin, y1 = height - 3 * margin;
    const std::string rect =
        "[" + marks::num(x0) + " " + marks::num(y0) + " " + marks::num(x1) + " " + marks::num(y1) + "]";

    // The screen area, dark with a play symbol in the middle so it reads as something to click.
    // The same picture is the annotation's appearance, for readers that draw that instead.
    const double sw = x1 - x0, sh = y1 - y0;
    const std::string screen = "0.15 g 0 0 " + marks::num(sw) + " " + marks::num(sh) + " re f\n0.85 g " +
                               marks::num(sw / 2 - 24) + " " + marks::num(sh / 2 - 30) + " m " +
                               marks::num(sw / 2 + 32) + " " + marks::num(sh / 2) + " l " +
                               marks::num(sw / 2 - 24) + " " + marks::num(sh / 2 + 30) + " l f\n";
    std::string content = "q 1 0 0 1 " + marks::num(x0) + " " + marks::num(y0) + " cm\n" + screen + "Q\n";
    content += "0 g\n" + centredLine(fileName, height - margin - 16, 18, width - 2 * margin, width);
    content += centredLine(type.label, height - margin - 36, 12, width - 2 * margin, width);

    QOH resources = QOH::parse(fontResources());
    QOH appearance = QOH::newStream(&pdf, screen);
    appearance.replaceDict(QOH::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 " + marks::num(sw) + " " +
                                      marks::num(sh) + "] >>"));

    for (int i = 0; i < copies; ++i) {
        QOH page = pdf.makeIndirectObject(QOH::parse("<< /Type /Page /MediaBox [0 0 792 612] >>"));
        page.replaceKey("/Resources", resources.shallowCopy());
        page.replaceKey("/Contents", QOH::newStream(&pdf, content));
        QOH annot = screenAnnotation(pdf, page, rect, appearance, specObj, fileName, type, options);
        page.replaceKey("/Annots", QOH::newArray({annot}));
        pages.push_back(page);
    }
    return pages;
}

} // namespace plait::pdf

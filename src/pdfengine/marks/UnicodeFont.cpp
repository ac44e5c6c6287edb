#include "UnicodeFont.h"

#include "Canvas.h"
#include "FontFinder.h"
#include "pdfengine/PdfNumber.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>

namespace plait::pdf::marks {
namespace {

// Fonts are read whole; the largest common system fonts (full CJK sets) are about 20 MB.
constexpr std::uintmax_t kLargestFont = 64u << 20;

} // namespace

std::uint32_t UnicodeFont::u32(std::size_t at) const {
    if (at + 4 > data_.size())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + at);
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

std::uint16_t UnicodeFont::u16(std::size_t at) const {
    if (at + 2 > data_.size())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + at);
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

bool UnicodeFont::load(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || !std::filesystem::is_regular_file(path, ec) || size > kLargestFont)
        return false;
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    // TrueType outlines start with 00 01 00 00 or "true"; collections ("ttcf") and PostScript
    // outlines ("OTTO") are refused before the whole file is read.
    if (!in.read(magic, 4) || (std::string_view(magic, 4) != std::string_view("\0\1\0\0", 4) &&
                               std::string_view(magic, 4) != "true"))
        return false;
    in.seekg(0);
    data_.assign(std::istreambuf_iterator<char>(in), {});
    path_ = path;
    std::size_t head = 0, hhea = 0, maxp = 0, glyf = 0;
    const unsigned tables = u16(4);
    for (unsigned i = 0; i < tables; ++i) {
        const std::size_t rec = 12 + 16 * i;
        if (rec + 16 > data_.size())
            break; // a truncated file: the tables found so far decide
        const std::string tag = data_.substr(rec, 4);
        const std::size_t offset = u32(rec + 8);
        if (tag == "head")
            head = offset;
        else if (tag == "hhea")
            hhea = offset;
        else if (tag == "hmtx")
            hmtx_ = offset;
        else if (tag == "maxp")
            maxp = offset;
        else if (tag == "cmap")
            cmap_ = offset;
        else if (tag == "glyf")
            glyf = offset;
    }
    // Fonts with PostScript outlines (and collections, whose first bytes are "ttcf") would need
    // another kind of PDF font.
    if (!head || !hhea || !hmtx_ || !maxp || !cmap_ || !glyf) {
        data_.clear();
        return false;
    }
    unitsPerEm_ = u16(head + 18) ? u16(head + 18) : 1000;
    for (int k = 0; k < 4; ++k)
        bbox_[k] = s16(head + 36 + 2 * static_cast<std::size_t>(k));
    ascent_ = s16(hhea + 4);
    descent_ = s16(hhea + 6);
    hMetrics_ = u16(hhea + 34);
    glyphCount_ = u16(maxp + 4);
    // A Unicode subtable: full repertoire (3,10) format 12 first, else BMP (3,1 or 0,x) format 4.
    std::size_t best = 0;
    const unsigned subtables = u16(cmap_ + 2);
    for (unsigned i = 0; i < subtables; ++i) {
        const std::size_t rec = cmap_ + 4 + 8 * i;
        const unsigned platform = u16(rec), encoding = u16(rec + 2);
        const std::size_t at = cmap_ + u32(rec + 4);
        const unsigned format = u16(at);
        if (format == 12 && (platform == 0 || (platform == 3 && encoding == 10))) {
            best = at;
            cmapFormat_ = 12;
            break;
        }
        if (format == 4 && (platform == 0 || (platform == 3 && encoding == 1)) && !best) {
            best = at;
            cmapFormat_ = 4;
        }
    }
    if (!best || hMetrics_ == 0) {
        data_.clear();
        return false;
    }
    cmap_ = best;
    return true;
}

std::uint16_t UnicodeFont::glyph(char32_t cp) const {
    if (cmapFormat_ == 12) {
        const std::uint32_t groups = u32(cmap_ + 12);
        std::uint32_t lo = 0, hi = groups;
        while (lo < hi) {
            const std::uint32_t mid = (lo + hi) / 2;
            const std::size_t g = cmap_ + 16 + 12 * static_cast<std::size_t>(mid);
            if (cp < u32(g))
                hi = mid;
            else if (cp > u32(g + 4))
                lo = mid + 1;
            else
                return static_cast<std::uint16_t>(u32(g + 8) + (cp - u32(g)));
        }
        return 0;
    }
    if (cmapFormat_ != 4 || cp > 0xFFFF)
        return 0;
    const unsigned segments = u16(cmap_ + 6) / 2;
    const std::size_t ends = cmap_ + 14, starts = ends + 2 * segments + 2, deltas = starts + 2 * segments,
                      ranges = deltas + 2 * segments;
    for (unsigned i = 0; i < segments; ++i) {
        if (cp > u16(ends + 2 * i))
            continue;
        const unsigned start = u16(starts + 2 * i);
        if (cp < start)
            return 0;
        const unsigned delta = u16(deltas + 2 * i), range = u16(ranges + 2 * i);
        if (range == 0)
            return static_cast<std::uint16_t>(cp + delta);
        const std::uint16_t g = u16(ranges + 2 * i + range + 2 * (cp - start));
        return g ? static_cast<std::uint16_t>(g + delta) : 0;
    }
    return 0;
}

double UnicodeFont::advance(std::uint16_t gid) const {
    const unsigned index = gid < hMetrics_ ? gid : hMetrics_ - 1;
    return u16(hmtx_ + 4 * index) * 1000.0 / unitsPerEm_;
}

QPDFObjectHandle UnicodeFont::object(QPDF& pdf) {
    if (font_.isInitialized())
        return font_;
    const double scale = 1000.0 / unitsPerEm_;
    // The font file is written by finish(), once the glyphs drawn are known.
    file_ = QPDFObjectHandle::newStream(&pdf, std::string());
    auto descriptor =
        QPDFObjectHandle::parse("<< /Type /FontDescriptor /Flags 32 /ItalicAngle 0 /StemV 80 >>");
    descriptor.replaceKey("/FontName", QPDFObjectHandle::newName(baseFont_));
    descriptor.replaceKey(
        "/FontBBox", QPDFObjectHandle::parse("[" + num(bbox_[0] * scale) + " " + num(bbox_[1] * scale) + " " +
                                             num(bbox_[2] * scale) + " " + num(bbox_[3] * scale) + "]"));
    descriptor.replaceKey("/Ascent", pdfReal(ascent_ * scale, 2));
    descriptor.replaceKey("/Descent", pdfReal(descent_ * scale, 2));
    descriptor.replaceKey("/CapHeight", pdfReal(ascent_ * scale, 2));
    descriptor.replaceKey("/FontFile2", file_);
    cidFont_ = pdf.makeIndirectObject(
        QPDFObjectHandle::parse("<< /Type /Font /Subtype /CIDFontType2 /CIDSystemInfo "
                                "<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> "
                                "/CIDToGIDMap /Identity >>"));
    cidFont_.replaceKey("/BaseFont", QPDFObjectHandle::newName(baseFont_));
    cidFont_.replaceKey("/FontDescriptor", pdf.makeIndirectObject(descriptor));
    auto font = QPDFObjectHandle::parse("<< /Type /Font /Subtype /Type0 /Encoding /Identity-H >>");
    font.replaceKey("/BaseFont", QPDFObjectHandle::newName(baseFont_));
    auto descendants = QPDFObjectHandle::newArray();
    descendants.appendItem(cidFont_);
    font.replaceKey("/DescendantFonts", descendants);
    font_ = pdf.makeIndirectObject(font);
    return font_;
}

void UnicodeFont::finish(QPDF& pdf) {
    if (!font_.isInitialized())
        return;
    auto widths = QPDFObjectHandle::newArray();
    std::string bfchars;
    int inBlock = 0;
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    const auto flush = [&] {
        if (inBlock)
            cmap += std::to_string(inBlock) + " beginbfchar\n" + bfchars + "endbfchar\n";
        bfchars.clear();
        inBlock = 0;
    };
    for (const auto& [gid, cp] : used_) {
        widths.appendItem(QPDFObjectHandle::newInteger(gid));
        auto w = QPDFObjectHandle::newArray();
        w.appendItem(pdfReal(advance(gid), 1));
        widths.appendItem(w);
        char buf[64];
        if (cp > 0xFFFF) {
            const char32_t v = cp - 0x10000;
            std::snprintf(buf, sizeof buf, "<%04X> <%04X%04X>\n", gid, unsigned(0xD800 + (v >> 10)),
                          unsigned(0xDC00 + (v & 0x3FF)));
        } else {
            std::snprintf(buf, sizeof buf, "<%04X> <%04X>\n", gid, unsigned(cp));
        }
        bfchars += buf;
        if (++inBlock == 100)
            flush();
    }
    flush();
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    // Without a subset (a font the subsetter refuses) the whole font goes in.
    std::string file = subsetFont(data_, used_);
    if (file.empty())
        file = data_;
    file_.replaceStreamData(file, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    file_.getDict().replaceKey("/Length1", QPDFObjectHandle::newInteger(static_cast<long long>(file.size())));
    cidFont_.replaceKey("/W", widths);
    cidFont_.replaceKey("/DW", QPDFObjectHandle::newInteger(1000));
    font_.replaceKey("/ToUnicode", QPDFObjectHandle::newStream(&pdf, cmap));
}

} // namespace plait::pdf::marks

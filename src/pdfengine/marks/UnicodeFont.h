#pragma once

#include <qpdf/QPDF.hh>

#include <cstdint>
#include <map>
#include <string>

namespace plait::pdf::marks {

// A TrueType font embedded whole as a CID font (Identity-H, glyph ids as codes), for text the
// standard fonts cannot show. Only the glyph widths and the /ToUnicode map cover just the glyphs
// used, so copying the text out of the page gives back what was drawn.
class UnicodeFont {
public:
    // False when the file is missing or not a TrueType font this reader understands.
    bool load(const std::string& path);
    bool loaded() const { return !data_.empty(); }

    // 0 when the font has no glyph for the character.
    std::uint16_t glyph(char32_t cp) const;
    // Advance width in 1/1000 em.
    double advance(std::uint16_t gid) const;
    // Remembers that `gid` was drawn for `cp` (for the widths and the /ToUnicode map).
    void use(std::uint16_t gid, char32_t cp) { used_.emplace(gid, cp); }

    // The Type0 font object (made on first call); its widths and map are written by finish().
    QPDFObjectHandle object(QPDF& pdf);
    void finish(QPDF& pdf);

private:
    std::uint32_t u32(std::size_t at) const;
    std::uint16_t u16(std::size_t at) const;
    std::int16_t s16(std::size_t at) const { return static_cast<std::int16_t>(u16(at)); }

    std::string data_;
    std::size_t hmtx_ = 0, cmap_ = 0;
    int cmapFormat_ = 0;
    unsigned unitsPerEm_ = 1000, hMetrics_ = 0, glyphCount_ = 0;
    int ascent_ = 0, descent_ = 0;
    int bbox_[4] = {0, 0, 0, 0};
    std::map<std::uint16_t, char32_t> used_;
    QPDFObjectHandle font_, cidFont_;
};

} // namespace plait::pdf::marks

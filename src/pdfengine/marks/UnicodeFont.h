#pragma once

#include <qpdf/QPDF.hh>

#include <cstdint>
#include <map>
#include <string>

namespace plait::pdf::marks {

// A TrueType font embedded as a CID font (Identity-H, glyph ids as codes), for text the
// standard fonts cannot show. Only the glyphs drawn are embedded (a subset that keeps every
// glyph's id, so codes written before the subset is made stay valid); the glyph widths and the
// /ToUnicode map cover the same glyphs, so copying the text out of the page gives back what
// was drawn.
class UnicodeFont {
public:
    // False when the file is missing, larger than any font we embed, a collection, or not a
    // TrueType-outline font this reader understands.
    bool load(const std::string& path);
    bool loaded() const { return !data_.empty(); }
    const std::string& path() const { return path_; }
    // The name the font has in the PDF, after the six-letter tag its subset is marked with.
    void setNames(const std::string& tag, const std::string& name) { baseFont_ = "/" + tag + "+" + name; }

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

    std::string data_, path_, baseFont_ = "/PLAITA+Unicode";
    std::size_t hmtx_ = 0, cmap_ = 0;
    int cmapFormat_ = 0;
    unsigned unitsPerEm_ = 1000, hMetrics_ = 0, glyphCount_ = 0;
    int ascent_ = 0, descent_ = 0;
    int bbox_[4] = {0, 0, 0, 0};
    std::map<std::uint16_t, char32_t> used_;
    QPDFObjectHandle font_, cidFont_, file_;
};

} // namespace plait::pdf::marks

#include "Fonts.h"

#include <array>
#include <cstdint>
#include <optional>

namespace manual {
namespace {

// Advance widths (1/1000 em) of codes 32 to 255 in the standard encoding, from the fonts'
// published metrics. Helvetica-Oblique has the widths of Helvetica.
constexpr std::array<std::uint16_t, 224> kHelvetica = {
    278, 278, 355, 556, 556, 889,  667,  191,  333, 333, 389,  584, 278, 333,  278,  278, 556, 556, 556,
    556, 556, 556, 556, 556, 556,  556,  278,  278, 584, 584,  584, 556, 1015, 667,  667, 722, 722, 667,
    611, 778, 722, 278, 500, 667,  556,  833,  722, 778, 667,  778, 722, 667,  611,  722, 667, 944, 667,
    667, 611, 278, 278, 278, 469,  556,  333,  556, 556, 500,  556, 556, 278,  556,  556, 222, 222, 500,
    222, 833, 556, 556, 556, 556,  333,  500,  278, 556, 500,  722, 500, 500,  500,  334, 260, 334, 584,
    350, 556, 350, 222, 556, 333,  1000, 556,  556, 333, 1000, 667, 333, 1000, 350,  611, 350, 350, 222,
    222, 333, 333, 350, 556, 1000, 333,  1000, 500, 333, 944,  350, 500, 667,  278,  333, 556, 556, 556,
    556, 260, 556, 333, 737, 370,  556,  584,  333, 737, 333,  400, 584, 333,  333,  333, 556, 537, 278,
    333, 333, 365, 556, 834, 834,  834,  611,  667, 667, 667,  667, 667, 667,  1000, 722, 667, 667, 667,
    667, 278, 278, 278, 278, 722,  722,  778,  778, 778, 778,  778, 584, 778,  722,  722, 722, 722, 667,
    667, 611, 556, 556, 556, 556,  556,  556,  889, 500, 556,  556, 556, 556,  278,  278, 278, 278, 556,
    556, 556, 556, 556, 556, 556,  584,  611,  556, 556, 556,  556, 500, 556,  500,
};
constexpr std::array<std::uint16_t, 224> kHelveticaBold = {
    278, 333, 474, 556, 556, 889,  722,  238,  333, 333, 389,  584, 278, 333,  278,  278, 556, 556, 556,
    556, 556, 556, 556, 556, 556,  556,  333,  333, 584, 584,  584, 611, 975,  722,  722, 722, 722, 667,
    611, 778, 722, 278, 556, 722,  611,  833,  722, 778, 667,  778, 722, 667,  611,  722, 667, 944, 667,
    667, 611, 333, 278, 333, 584,  556,  333,  556, 611, 556,  611, 556, 333,  611,  611, 278, 278, 556,
    278, 889, 611, 611, 611, 611,  389,  556,  333, 611, 556,  778, 556, 556,  500,  389, 280, 389, 584,
    350, 556, 350, 278, 556, 500,  1000, 556,  556, 333, 1000, 667, 333, 1000, 350,  611, 350, 350, 278,
    278, 500, 500, 350, 556, 1000, 333,  1000, 556, 333, 944,  350, 500, 667,  278,  333, 556, 556, 556,
    556, 280, 556, 333, 737, 370,  556,  584,  333, 737, 333,  400, 584, 333,  333,  333, 611, 556, 278,
    333, 333, 365, 556, 834, 834,  834,  611,  722, 722, 722,  722, 722, 722,  1000, 722, 667, 667, 667,
    667, 278, 278, 278, 278, 722,  722,  778,  778, 778, 778,  778, 584, 778,  722,  722, 722, 722, 667,
    667, 611, 556, 556, 556, 556,  556,  556,  889, 556, 556,  556, 556, 556,  278,  278, 278, 278, 611,
    611, 611, 611, 611, 611, 611,  584,  611,  611, 611, 611,  611, 556, 611,  556,
};

// Code points of 0x80..0x9F in code page 1252; 0 where the code page has no character.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<unsigned char> toWinAnsi(char32_t c) {
    if ((c >= 0x20 && c < 0x7F) || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<unsigned char>(c);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == c) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

} // namespace

const char* baseFontName(Font font) {
    switch (font) {
    case Font::Bold:
        return "Helvetica-Bold";
    case Font::Italic:
        return "Helvetica-Oblique";
    case Font::Mono:
        return "Courier";
    case Font::Regular:
        break;
    }
    return "Helvetica";
}

double textWidth(Font font, std::string_view encoded, double size) {
    double units = 0;
    for (unsigned char c : encoded) {
        if (font == Font::Mono) {
            units += 600;
        } else if (c >= 32) {
            units += (font == Font::Bold ? kHelveticaBold : kHelvetica)[c - 32];
        }
    }
    return units * size / 1000.0;
}

std::string encodeWinAnsi(std::string_view utf8, EncodeError* error) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const std::size_t length = lead < 0x80    ? 1
                                   : lead >= 0xF0 ? 4
                                   : lead >= 0xE0 ? 3
                                   : lead >= 0xC0 ? 2
                                                  : 1;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length && i + k < utf8.size(); ++k) {
            c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        // A stray continuation byte is no character at all.
        const auto code = (lead >= 0x80 && lead < 0xC0) ? std::nullopt : toWinAnsi(c);
        if (!code) {
            if (error != nullptr && error->character.empty()) {
                error->character = std::string(utf8.substr(i, length));
            }
            out += '?';
        } else {
            out += static_cast<char>(*code);
        }
        i += length;
    }
    return out;
}

} // namespace manual

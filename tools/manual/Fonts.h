#pragma once

#include <string>
#include <string_view>

namespace manual {

// The manual is set in the standard PDF fonts, which every viewer has, so nothing is embedded.
// Their simple encoding shows the characters of Windows code page 1252 and no others.
enum class Font { Regular, Bold, Italic, Mono };
inline constexpr int kFontCount = 4;

// PDF name of the font, e.g. "Helvetica-Bold".
const char* baseFontName(Font font);

// Width of already-encoded text, in points, at the given size.
double textWidth(Font font, std::string_view encoded, double size);

// UTF-8 to the fonts' encoding. A character they cannot show becomes "?", and the first such
// character is left in *error (as UTF-8) so that the caller can refuse the text.
struct EncodeError {
    std::string character;
};
std::string encodeWinAnsi(std::string_view utf8, EncodeError* error);

} // namespace manual

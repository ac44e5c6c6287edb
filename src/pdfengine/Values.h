#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf {

// The kinds of value the engine reads from text: numbers, lengths with their unit, colours
// and yes/no switches. Each is read here and nowhere else. Every reader is locale-independent,
// ignores blanks around the value and gives nullopt for a text it cannot read in full; the
// caller decides what a missing or unreadable value means and says so.

// Which decimal marks a number may use. Users type numbers into fields ("12,5" where the
// comma is their decimal mark); markup attributes and writer parameters are written by
// programs and use the point only.
enum class DecimalMark { Point, PointOrComma };

// "12.5", "-3", "+4", ".5", "7." and, with PointOrComma, "12,5" (one comma and no point is the
// decimal mark; "1,234.5" is refused rather than guessed). No exponents, no units, no
// thousands separators, no "inf" or "nan". nullopt for empty text or anything else.
std::optional<double> parseNumber(std::string_view text, DecimalMark mark = DecimalMark::PointOrComma);

enum class Unit { Points, Inches, Centimeters, Millimeters };

// Which names a unit may go by: the codes "in", "cm", "mm", "pt" only, or also the words
// "inch", "inches" and "points".
enum class UnitNames { Codes, CodesOrWords };

// A unit name in any case; empty text is points. nullopt for a name that is not one.
std::optional<Unit> parseUnit(std::string_view text, UnitNames names = UnitNames::CodesOrWords);

// "in" = 72 pt, "cm" = 72/2.54 pt, "mm" = 72/25.4 pt.
double toPoints(double value, Unit unit);

// A length is a number in a unit, converted to points.
std::optional<double> parseLength(std::string_view text, Unit unit);

// A colour, each part 0 to 1.
struct Rgb {
    double r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Six hex digits RRGGBB, any case, with or without a leading '#'.
std::optional<Rgb> parseColor(std::string_view text);

// "y", "yes", "1", "on", "true" or nothing at all are yes; "n", "no", "0", "off", "false" are
// no; any case.
std::optional<bool> parseSwitch(std::string_view text);

// A text with nothing but blanks in it stands for "not given".
bool isBlank(std::string_view text);

// A number with a default: blank text gives the default, and so does a text that is not a
// number, with the note `<what>: "<text>" is not a number; <fallbackText> is used`.
double numberOr(std::string_view text, double fallback, std::string_view fallbackText, std::string_view what,
                std::vector<std::string>& notes);

} // namespace plait::pdf

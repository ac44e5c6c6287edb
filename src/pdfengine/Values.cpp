#include "Values.h"

#include "Text.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace plait::pdf {

std::optional<double> parseNumber(std::string_view text, DecimalMark mark) {
    std::string number(text::trim(text));
    const auto commas = std::count(number.begin(), number.end(), ',');
    const auto points = std::count(number.begin(), number.end(), '.');
    if (commas > 0 && (mark == DecimalMark::Point || commas > 1 || points > 0)) {
        return std::nullopt;
    }
    std::replace(number.begin(), number.end(), ',', '.');
    // from_chars takes no '+'; it would also read "inf", "nan" and exponents, which the
    // character check below refuses.
    if (!number.empty() && number.front() == '+') {
        number.erase(0, 1);
        if (!number.empty() && number.front() == '-') {
            return std::nullopt;
        }
    }
    bool digits = false;
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char ch = number[i];
        if (std::isdigit(static_cast<unsigned char>(ch))) {
            digits = true;
        } else if (!(ch == '.' || (ch == '-' && i == 0))) {
            return std::nullopt;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    double value = 0;
    const char* begin = number.data();
    const char* end = begin + number.size();
    // "7." and ".5" are fine for from_chars in fixed format.
    const auto result = std::from_chars(begin, end, value, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<Unit> parseUnit(std::string_view text, UnitNames names) {
    const std::string unit = text::lower(text::trim(text));
    const bool words = names == UnitNames::CodesOrWords;
    if (unit.empty() || unit == "pt" || (words && unit == "points")) {
        return Unit::Points;
    }
    if (unit == "in" || (words && (unit == "inch" || unit == "inches"))) {
        return Unit::Inches;
    }
    if (unit == "cm") {
        return Unit::Centimeters;
    }
    if (unit == "mm") {
        return Unit::Millimeters;
    }
    return std::nullopt;
}

double toPoints(double value, Unit unit) {
    switch (unit) {
    case Unit::Inches:
        return value * 72.0;
    case Unit::Centimeters:
        return value * 72.0 / 2.54;
    case Unit::Millimeters:
        return value * 72.0 / 25.4;
    case Unit::Points:
        break;
    }
    return value;
}

std::optional<double> parseLength(std::string_view text, Unit unit) {
    if (auto n = parseNumber(text)) {
        return toPoints(*n, unit);
    }
    return std::nullopt;
}

std::optional<Rgb> parseColor(std::string_view text) {
    std::string_view hex = text::trim(text);
    if (!hex.empty() && hex.front() == '#') {
        hex.remove_prefix(1);
    }
    if (hex.size() != 6 || !std::all_of(hex.begin(), hex.end(), [](char ch) {
            return std::isxdigit(static_cast<unsigned char>(ch)) != 0;
        })) {
        return std::nullopt;
    }
    unsigned value = 0;
    std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    return Rgb{((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0, (value & 0xFF) / 255.0};
}

std::optional<bool> parseSwitch(std::string_view text) {
    const std::string v = text::lower(text::trim(text));
    if (v.empty() || v == "y" || v == "yes" || v == "1" || v == "on" || v == "true") {
        return true;
    }
    if (v == "n" || v == "no" || v == "0" || v == "off" || v == "false") {
        return false;
    }
    return std::nullopt;
}

bool isBlank(std::string_view text) {
    return text::trim(text).empty();
}

double numberOr(std::string_view text, double fallback, std::string_view fallbackText, std::string_view what,
                std::vector<std::string>& notes) {
    if (isBlank(text)) {
        return fallback;
    }
    if (auto n = parseNumber(text)) {
        return *n;
    }
    notes.push_back(std::string(what) + ": \"" + std::string(text) + "\" is not a number; " +
                    std::string(fallbackText) + " is used");
    return fallback;
}

} // namespace plait::pdf

#include "pdfengine/geometry/Geometry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace plait::pdf {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

std::optional<Unit> parseUnit(std::string_view text) {
    std::string unit(trim(text));
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    if (unit.empty() || unit == "pt" || unit == "points") {
        return Unit::Points;
    }
    if (unit == "in" || unit == "inch" || unit == "inches") {
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

std::optional<double> parseNumber(std::string_view text) {
    text = trim(text);
    std::string number(text);
    const auto commas = std::count(number.begin(), number.end(), ',');
    const auto points = std::count(number.begin(), number.end(), '.');
    if (commas > 1 || (commas == 1 && points > 0)) {
        return std::nullopt;
    }
    std::replace(number.begin(), number.end(), ',', '.');
    // from_chars takes no '+' and reads exponents; refuse the latter, allow the former.
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

} // namespace plait::pdf

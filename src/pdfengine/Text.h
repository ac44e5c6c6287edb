#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf::text {

std::string_view trim(std::string_view s);
std::string lower(std::string_view s);

// The items of a comma-separated list, each without the blanks around it; empty items are
// left out. The views point into `s`.
std::vector<std::string_view> listItems(std::string_view s);

// Splits at `separator`; a backslash makes the next character literal ("\," is a comma,
// "\\" a backslash). Pieces are not trimmed.
std::vector<std::string> splitEscaped(std::string_view s, char separator);

} // namespace plait::pdf::text

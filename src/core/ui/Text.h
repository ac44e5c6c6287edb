#pragma once

#include <string>
#include <string_view>

namespace plait::ui {

// The characters trimmed from the ends of a field: blanks only, or blanks and tabs (the
// settings file's numbers and the sliders' boxes allow both).
inline constexpr std::string_view kBlanks = " ";
inline constexpr std::string_view kBlanksAndTabs = " \t";

// The text without leading and trailing characters of `set`.
std::string_view trimmed(std::string_view text, std::string_view set = kBlanks);

// Leading and trailing blanks removed (blanks only; tabs and line breaks stay).
std::string trimBlanks(std::string_view text);

} // namespace plait::ui

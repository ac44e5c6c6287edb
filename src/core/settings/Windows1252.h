#pragma once

#include <optional>
#include <string>
#include <string_view>

// Windows-1252, the code page of the settings file format, to and from the
// UTF-8 the program keeps its text in. The five bytes the code page leaves undefined map to
// the C1 controls of the same number, so any byte string survives a round trip.
namespace plait::core::settings {

std::string windows1252ToUtf8(std::string_view bytes);

// Nothing when the text holds a character Windows-1252 cannot hold (or is not valid UTF-8).
std::optional<std::string> utf8ToWindows1252(std::string_view utf8);

} // namespace plait::core::settings

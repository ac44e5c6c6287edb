#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace plait::core::build {

// The engine's result as a number (blanks and a final line end allowed); nothing when the
// text is no number (a bookmark listing, say).
std::optional<long long> parseResult(std::string_view text);

// The message of a failure result -1 to -5; nullptr for every other result.
const char* resultMessage(long long result);

// Both at once: the message when the text is a failure result.
std::optional<std::string> failureMessage(std::string_view resultText);

} // namespace plait::core::build

#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace plait::engine {

// The results of BuildPDF that are failures. The numbers are part of the call protocol and
// never change; every other number is a success (a page or image count), and a result below
// the last failure (a cancelled build) is no failure either: it shows no message.
enum class BuildFailure : int {
    CannotOpenInput = -1,
    CannotCreateOutput = -2,
    CannotDecryptInput = -3,
    CannotParseInput = -4,
    NoPages = -5,
};

// One failure result and how it is named: `text` opens the engine's warning line ("Cannot
// open input file C:\a.pdf: ..."), and the program's message is the same text with a full stop.
struct FailureResult {
    BuildFailure code;
    std::string_view text;
};

// Every failure result, from -1 down to -5.
std::span<const FailureResult> failureTable();

// What BuildPDF returns after a cancel: below the failure codes, so the program shows no
// failure message for what the user asked for.
inline constexpr std::string_view kCancelledResult = "-6";

// True for the failure results -1 to -5 only.
bool isFailure(long long result);

// The text of a failure ("Cannot open input file").
std::string_view failureText(BuildFailure failure);

// The result as a number (blanks and a final line end allowed); nothing when the text is
// no number (a bookmark listing, say).
std::optional<long long> parseResult(std::string_view text);

// The program's message for a failure result ("Cannot open input file."); nothing for every
// other result.
std::optional<std::string> resultMessage(long long result);

// Both at once: the message when the text is a failure result.
std::optional<std::string> failureMessage(std::string_view resultText);

} // namespace plait::engine

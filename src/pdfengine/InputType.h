#pragma once

#include <cstddef>
#include <string_view>

namespace plait::pdf {

enum class InputType { Pdf, Image, Other };

// What an input is, judged by its first bytes (`head`, as much of the file's start as was
// read; kSniffBytes is enough) and never by its name.
//
// An image or an audio or video file is recognised only by a signature at its start that
// identifies the format. A PDF is recognised by its "%PDF-" header anywhere in the head, as
// readers look for it (producers and mail gateways put junk before it); `pdfStart` is then
// where the header begins, and offsets in the file are taken from there. A file with no
// header at all whose head still holds numbered objects ("12 0 obj") is a PDF whose header
// was lost; it is handed to the parser, which rebuilds what it can (`pdfStart` 0;
// `bareBody` when an object starts the file, which the parser needs a header in front of).
// Everything else is Other: perhaps media, which has its own reader.
struct SniffedInput {
    InputType type = InputType::Other;
    std::size_t pdfStart = 0;
    bool bareBody = false;
};

inline constexpr std::size_t kSniffBytes = 64 * 1024;

SniffedInput sniffInput(std::string_view head);

} // namespace plait::pdf

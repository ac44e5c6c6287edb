#pragma once

#include "Typesetter.h"

#include <string>

namespace manual {

// Writes the laid-out document as a PDF with a bookmark outline of its headings (chapters
// closed, sections beneath them) that opens with the outline shown. Throws on failure; the
// file is written under a temporary name and renamed, so a failed run leaves no half file.
void writePdf(const Document& doc, const std::string& path);

// Reads a PNG as 8-bit RGB (alpha laid over white). Throws std::runtime_error.
Picture readPng(const std::string& path);

} // namespace manual

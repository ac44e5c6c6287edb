#pragma once

#include <string>
#include <vector>

namespace plait::pdf::testing {

// Small hand-made PDFs, each damaged or odd in one way that real files are. All have two
// pages showing "page one" and "page two" when a reader can make sense of them.
struct DamagedPdf {
    std::string name; // what is wrong, as a file name
    std::string bytes;
};

// A sound two-page PDF written byte by byte, with a correct cross-reference table.
std::string soundTwoPagePdf();

// Damage that a reader repairs: each of these must give a sound two-page output.
std::vector<DamagedPdf> repairablePdfs();

// Replaces the first occurrence of `from` in `text` by `to` (which must be found).
std::string replaced(std::string text, const std::string& from, const std::string& to);

} // namespace plait::pdf::testing

#pragma once

#include <string>

namespace plait::pdf {

// What opening a PDF to count its pages found.
struct PageCount {
    enum class Problem { None, CannotOpen, NeedsPassword, Damaged };
    int pages = 0;
    Problem problem = Problem::None;
    std::string reason; // qpdf's words, when there is a problem
};

// Counts the pages of a PDF; a damaged file is repaired as the engine repairs it. Reads only
// the cross-reference table and the page tree.
PageCount countPages(const std::string& path, const std::string& password = {});

} // namespace plait::pdf

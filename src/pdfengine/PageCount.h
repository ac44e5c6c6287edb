#pragma once

#include <cstdint>
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

// What showing a PDF would cost a viewer, measured without drawing it: for each of its first
// pages, the bytes its content, forms, images and fonts decode to and the pixels of its
// images, against a budget (a viewer draws a page at a time). A file of nested Flate streams that inflates to
// gigabytes fails here, in a bounded process, rather than in the viewer.
struct PreviewProbe {
    enum class Outcome { Fits, TooLarge, Unreadable };
    Outcome outcome = Outcome::Fits;
    std::string reason;
};
PreviewProbe probePreview(const std::string& path, std::uint64_t budgetBytes, int pages = 20);

} // namespace plait::pdf

#pragma once

#include "Markdown.h"

#include <functional>
#include <string>
#include <vector>

namespace manual {

inline constexpr double kPageWidth = 595.276; // A4, points
inline constexpr double kPageHeight = 841.89;

// A picture in 8-bit RGB, rows top to bottom.
struct Picture {
    int width = 0;
    int height = 0;
    std::string rgb;
};

// A clickable area that jumps to a place in the document.
struct Link {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int page = 0;
    double top = 0;
};

struct PageOut {
    std::string content;       // PDF content stream
    std::vector<int> pictures; // indexes into Document::pictures, drawn as /Im<index>
    std::vector<Link> links;
};

struct Heading {
    int level = 1;
    std::string title; // UTF-8, marks removed
    int page = 0;
    double top = 0; // where a jump to the heading should put the top of the window
};

struct Document {
    std::string title;
    std::vector<PageOut> pages;
    std::vector<Heading> headings;
    std::vector<Picture> pictures;
};

// Lays the blocks out on A4 pages: a title and contents page when the text starts with a
// title, running heads, page numbers. loadPicture reads a picture named in the text (the
// path as written); it throws std::runtime_error when it cannot. Text the fonts cannot show
// throws std::runtime_error naming the line.
Document typeset(const std::vector<Block>& blocks,
                 const std::function<Picture(const std::string& path)>& loadPicture);

} // namespace manual

#pragma once

// The steps of applyMarks, one file each; see Marks.h for what they draw.

#include "Canvas.h"
#include "pdfengine/Job.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plait::pdf::marks {

struct Context {
    QPDF& pdf;
    Canvas& canvas;
    Fonts& fonts;
    std::vector<std::string>& notes;
    int pageCount;
};

// 0-based pages of the output a page list names (empty: all); `what` names the mark in notes.
std::vector<int> pagesOf(Context& c, std::string_view list, const std::string& what);
std::vector<int> pagesOf(Context& c, const PageList& pages, const std::string& what);
// A number as users type it; empty text gives `fallback` silently, anything unreadable gives
// it with a note.
double numberOr(Context& c, std::string_view text, double fallback, const std::string& what);

void pageNumbers(Context& c, const MarkOptions& o);
void textAreas(Context& c, const std::string& markup);
void stamp(Context& c, const StampPlacement& s);
void notes(Context& c, const std::string& markup);
void attachments(Context& c, const std::string& markup);
void openAction(Context& c, bool print, bool mail);

// Upper-case Roman numerals for 1 to 3999; Arabic digits otherwise.
std::string roman(int n);

} // namespace plait::pdf::marks

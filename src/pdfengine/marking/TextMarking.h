#pragma once

#include "pdfengine/Job.h"

#include <qpdf/QPDF.hh>

#include <string>
#include <vector>

namespace plait::pdf {

// Marks every occurrence of a text on the finished output with an annotation: /Highlight
// ("HI-R", and the default when no mode is given), /Square ("OL", a box around the text),
// /Underline ("UL") or /StrikeOut ("CO"), in the RRGGBB colour (yellow by default).
//
// The text is found by laying the pages out as a reader does: the document is written to
// memory and read back with a text extractor, so what is found is what the user sees (after
// fonts are decoded), case-sensitive, within one line (words of a line joined by one space).
// Each annotation carries its own appearance stream (highlights multiply with the page), so
// readers that do not draw markup themselves still show it.
//
// With setStringChange the text is replaced instead where the content allows it (see
// TextReplace.h); the occurrences found but not replaced are noted. Returns the number of
// annotations added or occurrences replaced.
//
// The work is done by the text-marking module (`plait_textmarking`, with the PDF text library
// it needs), which is loaded the first time a build marks text, so that every other run of the
// program starts without it. When the module cannot be loaded, a note says why and the output
// is left unmarked.
int applyTextMarking(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes);

// The module's implementation of applyTextMarking.
int markText(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes);

// What the module's entry returns for a build that was cancelled while it ran.
inline constexpr int kTextMarkingCancelled = -1;

// The name of the module's entry point and of the module file.
inline constexpr const char* kTextMarkingEntry = "plait_text_marking_apply";
inline constexpr const char* kTextMarkingModule = "libplait_textmarking.so";

} // namespace plait::pdf

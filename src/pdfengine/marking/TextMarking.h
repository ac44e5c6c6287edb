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
int applyTextMarking(QPDF& pdf, const TextMarking& marking, std::vector<std::string>& notes);

} // namespace plait::pdf

#pragma once

#include "pdfengine/Job.h"

#include <qpdf/QPDF.hh>

#include <string>
#include <vector>

namespace plait::pdf {

// Marks put on the assembled output after its pages are laid out: page numbers, text areas,
// a rubber stamp, notes, attachments and an action when the output is opened.
//
// Everything drawn is placed in the page as the reader sees it: after /Rotate, inside the
// crop box (the media box when there is none), x to the right and y up from the displayed
// bottom-left corner, in points. The marks come after the page geometry, so they sit on the
// final page and are never scaled or moved with its content (this is what setPageNumOutside
// asks for, and why it changes nothing on its own).
//
// Drawn marks (page numbers, text areas, background stamps) are one form XObject per page
// with its own resources (Helvetica in WinAnsiEncoding, or an embedded Unicode font), painted by a short
// content stream appended to the page; the page's own content is enclosed in q ... Q first, so whatever
// graphics state it leaves behind cannot shift or recolour the marks. A background stamp is
// painted before the page content instead. Pages without marks are not touched, and a job
// without marks leaves the document exactly as it was.
//
// Page numbers: "%1" in the format is the page's number in the output, "%2" the page count,
// both in the chosen style ("Arabic"; "Roman" upper-case, "roman" lower-case numerals; past
// 3999 numerals fall back to Arabic). The baseline sits the bottom margin above the bottom
// edge; left-aligned (default) the number starts at the left margin, "C" centres it on the
// page, "R" ends it the left margin away from the right edge. Empty values take the usual
// ones: "%1 of %2", margins 36, size 10.
//
// Text areas (<TEXT> markup): lines separated by CR LF, LF or CR, 1.2 times the size apart.
// X and Y are in the <UNITS> unit (points without one). X is measured from the left edge, or
// from the right with FROMRIGHT; ALIGN "C" centres each line on X, "R" ends it there, and by
// default it starts there. Without FROMTOP, Y is the height of the last line's baseline above
// the bottom edge; with it, Y is the distance from the top edge down to the top of the first
// line. ANGLE turns the text counter-clockwise about (X, Y). COLOR is RRGGBB. PAGES is a page
// list of the output; empty means every page.
//
// Stamps: a /Stamp annotation with its own appearance (so readers show it, print it and let
// the user move or delete it), or, with ",rev", the same drawing painted beneath the page
// content. Without offsets the stamp sits in the top-right corner, 36 points from both edges;
// with setPageRight / setPageDown its top-left corner is that far from the page's top-left
// corner. The angle turns it counter-clockwise about its centre; the scale sizes it (100 is
// about 2.5 by 0.75 inches for one word). The stamp pages are a page list (empty: all).
//
// Notes: a /Text annotation (a sticky note, closed) with a /Popup, its rectangle taken from
// X1 Y1 X2 Y2 in points. Attachments: each file is embedded under its own name (a name used
// twice gets " (2)", ...) with its description; a file that cannot be read is left out with
// a note rather than failing the build, since everything else the user asked for can still
// be made. Print and mail: the output gets an /OpenAction running "this.print({bUI:true});"
// and/or "this.mailDoc(true);", honoured only by readers that run document JavaScript.
//
// A line that WinAnsiEncoding cannot hold is drawn in DejaVu Sans, embedded whole (see
// UnicodeFont.h); characters no font has are drawn as "?" with a note. Values that cannot be
// read are noted and replaced by their defaults.
void applyMarks(QPDF& pdf, const Job& job, std::vector<std::string>& notes);

// True when the job asks for any mark (a plain merge asks for none).
bool wantsMarks(const Job& job);

} // namespace plait::pdf

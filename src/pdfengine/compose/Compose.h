#pragma once

#include "pdfengine/Outline.h"
#include "pdfengine/compose/ComposeOptions.h"

#include <qpdf/QPDF.hh>

#include <string>
#include <vector>

namespace plait::pdf {

// The output pages one input gave, in assembly order (0-based index of its first page).
struct InputPages {
    std::string name;
    int first = 0, count = 0;
};

// Overlay: the pages of input 2 are laid over the pages of input 1, page by page (the n-th
// receiving base page gets the overlay's n-th page; with `repeat` the overlay's pages start
// again from its first, so a one-page letterhead lands on every page). A third and further
// input is laid over the result in turn. The output has the base's pages only.
//  - Base pages past the overlay's last page (without repeat) stay as they are; overlay pages
//    past the last base page are left out, with a note.
//  - `overlayPages` (a page list of the base) chooses which base pages receive overlays.
//  - An overlay page is centred on the base page's trim box, and scaled down when it is larger.
//  - `reverse` puts the overlays underneath: the base is laid over them (input 2 just under
//    the base, input 3 under that, ...).
//  - Transparency and blend mode apply to the layer on top: each overlay, or with `reverse` the
//    base page's own content. Each layer is composited as a whole (a transparency group).
//  - The base page keeps its annotations, links and form fields. The annotations and links of
//    an overlay page are copied onto each page it was laid on, moved with its content; its form
//    fields are left out, with a note. Links and bookmarks that opened an overlay page open the
//    base page it was first laid on (or nothing, when it was laid on none).
// With fewer than two inputs nothing is laid over anything (note).
void overlayInputs(QPDF& out, const ComposeOptions& options, const std::vector<InputPages>& inputs,
                   std::vector<OutlineNode>& outline, std::vector<std::string>& notes);

// Imposition of the whole output (every input, merged):
//  - TwoUp: pages 1 and 2, 3 and 4, ... side by side on sheets the size of the first page
//    turned landscape; each page scaled to fit its half and centred there. An odd last page
//    sits alone in the left half.
//  - OnePageScaled: every page on one sheet the size of the first page, in the grid of rows
//    and columns that lets the pages be largest, each scaled to fit its cell and centred.
//  - OnePageFullSize: every page at its own size on one large sheet, in a grid as nearly
//    square as possible (columns = ceil(sqrt(pages))), cells as large as the largest page.
// Sizes are as displayed (after /Rotate); pages keep their orientation. Annotations and links
// move with their page onto the sheet; links and bookmarks open the sheet holding their page.
void imposePages(QPDF& out, const ComposeOptions& options, std::vector<OutlineNode>& outline,
                 std::vector<std::string>& notes);

// Notes for options that mean nothing without an overlay (reverse order, transparency, the
// pages that receive it); empty in an overlay.
std::vector<std::string> mergeModeNotes(const ComposeOptions& options);

} // namespace plait::pdf

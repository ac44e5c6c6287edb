#pragma once

#include "pdfengine/PageList.h"

#include <optional>
#include <string>
#include <string_view>

namespace plait::pdf {

// How the inputs are combined beyond plain merging: laid over one another, and several pages
// put on one sheet. Every member at its default means "merge, touch no page".
struct ComposeOptions {
    bool overlay = false; // lay inputs 2, 3, ... over input 1
    bool repeat = false;  // the overlay's pages repeat over all base pages
    bool reverse = false; // the base goes on top, the overlays underneath
    // Percent of transparency of the layer drawn on top: 0 opaque, 100 invisible.
    double transparency = 0;
    std::string blend = "Normal"; // a PDF blend mode name, without the slash
    PageList overlayPages;        // base pages that receive the overlay; blank: all

    // Booklet: saddle-stitch order, two pages to a sheet side; BookletLongEdge turns every back
    // side for printers that flip the sheet over its long edge.
    enum class Imposition { None, TwoUp, OnePageScaled, OnePageFullSize, Booklet, BookletLongEdge };
    Imposition imposition = Imposition::None;

    // True when the top layer needs an extended graphics state (opacity or blend mode).
    bool blends() const { return transparency > 0 || blend != "Normal"; }
    // True when pages are rewritten at all; false leaves the merge as it is.
    bool reshapes() const { return overlay || imposition != Imposition::None; }
};

// The spelling of a blend mode as PDF names it ("multiply" -> "Multiply"), or nullopt when
// the name is not one of the 16 standard modes.
std::optional<std::string> blendModeName(std::string_view text);

} // namespace plait::pdf

#pragma once

#include "pdfengine/Outline.h"
#include "pdfengine/geometry/Affine.h"

#include <qpdf/QPDF.hh>

#include <map>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plait::pdf {

// Page geometry of the assembled output: what each option does to every page.
//
// Directions are as the reader sees the page on screen, after its /Rotate: "down" is towards
// the bottom edge of the displayed page, "width" is the displayed width. Lengths are points
// (1/72 inch); the caller converts other units with toPoints (Values.h).
//
// Per page, in this order:
//  1. Auto rotate: a page whose displayed orientation (portrait or landscape) differs from the
//     first page's, as it was before any change, is turned 90 degrees clockwise through its
//     /Rotate. Square pages match either orientation. The first page is never turned.
//  2. Angle, clockwise in degrees, any value (negative and above 360 are reduced to 0..360).
//     A multiple of 90 is added to the page's /Rotate (kept in 0..270): lossless, the content
//     is untouched. Any other angle turns the content about the page centre and grows the page
//     to the bounding box of the turned page, so nothing visible is cut off.
//  3. Page size (width x height as displayed): the page becomes exactly that size. The content
//     keeps its size unless scale-up or scale-down allow fitting: scale-down shrinks a page that
//     is wider or taller than the new size until it fits; scale-up enlarges a page that is both
//     narrower and shorter until it touches the new page's sides. Aspect ratio is always kept.
//     The content is then centred on the new page when "center" is set, otherwise it sits in
//     the top-left corner (content larger than the page is cut at the right and bottom).
//  4. Scale (percent, above 0): the content grows or shrinks while the page keeps its size,
//     about the page centre when "center" is set, otherwise about the top-left corner.
//     100 changes nothing.
//  5. Offsets: the content moves right and down by the given lengths; negative values move it
//     left and up. The page keeps its size, so content may leave it.
//  6. Explicit boxes: any of the five boxes given replaces that box on every page, as given
//     (default user space, points; llx/lly/urx/ury in any corner order). They are applied last,
//     so they win over the page size of step 3.
//
// "center" alone changes nothing (it only says where scaled or resized content goes), and so
// do scale-up and scale-down without a page size. With every option at its default (isNoOp)
// the document is not touched at all.
//
// How content moves: steps 2 to 5 combine into one matrix per page. The page's content
// streams are wrapped in "q <matrix> cm ... Q" (the original streams are not rewritten or
// copied) and every annotation on the page follows: /Rect, /QuadPoints, /L, /Vertices,
// /CL and /InkList are transformed with the same matrix, and appearance streams of turned
// annotations are turned with them, so links and form fields stay on their content. A page
// that grew or was resized gets the new /MediaBox and /CropBox; its bleed, trim and art boxes
// move with the content (bounding box, kept inside the new media box). Content moved by
// scale or offsets alone keeps every box.
//
// Destinations that name a position on a moved page (/XYZ left top, /FitH top, /FitR ...) are
// moved with its content by moveDestinations, so links and bookmarks still open on their
// heading.
struct PdfBox {
    double llx = 0, lly = 0, urx = 0, ury = 0;
};

struct GeometryOptions {
    std::optional<PdfBox> mediaBox, cropBox, bleedBox, artBox, trimBox; // points
    std::optional<double> scalePercent;
    double down = 0, right = 0;  // points
    std::optional<double> angle; // degrees, clockwise
    bool autoRotate = false, center = false;
    std::optional<std::pair<double, double>> pageSize; // points: width, height
    bool scaleUp = false, scaleDown = false;

    // True when nothing would change (the default build): then applyGeometry must not be
    // called, or is a no-op if it is.
    bool isNoOp() const;
};

// Applies the options to every page of the assembled output, in place. Values that make no
// sense (a scale of 0 or below, a page size or box without area, numbers that are not finite)
// are skipped with a warning; a page larger than 14400 points (200 inches), which many viewers
// refuse, is made but warned about.
//
// `moves`, when given, receives the matrix each moved page's content went through (old user
// space to new), for moveDestinations.
using PageMoves = std::map<QPDFObjGen, geometry::Affine>;
void applyGeometry(QPDF& pdf, const GeometryOptions& options, std::vector<std::string>& warnings,
                   PageMoves* moves = nullptr);

// Moves every destination that names a position on a moved page with that page's content:
// those of link annotations (/Dest, and /D of a go-to action) and of `outline`. /XYZ keeps its
// zoom and any coordinate left unspecified; /FitH, /FitV and their /FitB forms trade places
// when the content turned a quarter; /FitR becomes the box around its turned corners. A
// destination on a page that did not move is left as it is.
void moveDestinations(QPDF& pdf, std::vector<OutlineNode>& outline, const PageMoves& moves);

} // namespace plait::pdf

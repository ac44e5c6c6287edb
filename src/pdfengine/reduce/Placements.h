#pragma once

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjGen.hh>

#include <map>
#include <set>

namespace plait::pdf::reduce {

// The largest size, in points of default user space, at which an image is drawn: the lengths
// of its unit square's two sides under the transformation in force where it is painted.
struct DrawnSize {
    double width = 0, height = 0;
};

struct Placements {
    std::map<QPDFObjGen, DrawnSize> drawn;
    // Images on pages whose content could not be read: where and how large they are drawn is
    // unknown, so they are kept as they are.
    std::set<QPDFObjGen> unknown;
};

// Follows the page content of every page of `pdf`, and the forms it paints (up to 16 deep),
// through q, Q, cm and Do, and notes the largest size each image XObject is painted at.
// Pages whose resources hold no image are not read.
Placements findPlacements(QPDF& pdf);

} // namespace plait::pdf::reduce

#pragma once

#include <qpdf/QPDFObjectHandle.hh>

class QPDF;

namespace plait::pdf {

// `h` from another document as an object of `out`. Indirect objects are copied with qpdf's
// foreign copy, so that an object reached twice (from the pages and from the catalog, say)
// becomes one object of the output; direct arrays and dictionaries, which the foreign copy
// refuses, are rebuilt around copies of what they hold. An object that already belongs to
// `out` is returned as it is.
QPDFObjectHandle copyForeign(QPDF& out, QPDFObjectHandle h);

} // namespace plait::pdf

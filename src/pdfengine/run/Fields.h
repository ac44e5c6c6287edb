#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <utility>
#include <vector>

class QPDF;

namespace plait::pdf {

// Form fields are copied with each page's widgets, so a field whose widgets sit on several
// pages of one input arrives once for each of those pages, renamed apart and each listing
// copies of every widget. Makes each source field one field of the output again: the widgets
// copied from one input (`copied`: source page and its copy, in order) are gathered under
// one copy of each field of their source, whose kids are exactly the widgets and fields on
// output pages; the later copies leave the form's /Fields, from index `firstField` on (this
// input's entries).
void joinSplitFields(QPDF& out, const std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>>& copied,
                     int firstField);

} // namespace plait::pdf

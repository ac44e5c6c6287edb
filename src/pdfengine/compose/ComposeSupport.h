#pragma once

// What overlay and imposition share: pages leave the output and others show them now, and
// page content is placed as forms.

#include "pdfengine/Outline.h"
#include "pdfengine/geometry/Affine.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFMatrix.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <vector>

namespace plait::pdf::compose {

// A page that left the output, and the page that now shows it (null: none does).
using PageRemap = std::map<QPDFObjGen, QPDFObjectHandle>;

// Bookmarks that opened a page that left the output open the page that shows it now (the
// whole page); those whose page shows nowhere open nothing.
void remapOutline(std::vector<OutlineNode>& nodes, const PageRemap& remap);
// The same for links and go-to actions on the output's pages; a link whose page shows
// nowhere leaves its page.
void remapLinks(QPDF& out, const PageRemap& remap);
// Makes `pages` the output's page list, in one step.
void replacePageList(QPDF& out, const std::vector<QPDFObjectHandle>& pages);
// Where a form's content lands: its own /Matrix (a turned page's rotation), then the placement.
geometry::Affine formToPage(QPDFObjectHandle form, const QPDFMatrix& placement);

} // namespace plait::pdf::compose

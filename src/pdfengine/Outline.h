#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <string>
#include <string_view>
#include <vector>

class QPDF;

namespace plait::pdf {

// One bookmark of the output's outline, before it becomes PDF objects.
struct OutlineNode {
    std::string title;             // UTF-8
    QPDFObjectHandle dest;         // explicit destination in the output, or null
    QPDFObjectHandle action;       // an action of the output's own (used when dest is null)
    QPDFObjectHandle color, flags; // /C and /F, copied as they are
    bool closed = false;
    bool lost = false; // it opened a page that is not in the output
    std::vector<OutlineNode> kids;
};

// Maps a source page (by object number) to the output page it became.
using PageMap = std::map<QPDFObjGen, QPDFObjectHandle>;

// A destination of another document as a destination of the output: the page replaced by the
// page it became, the view (/XYZ left top zoom, /Fit, ...) kept. Null when the page is not in
// the output.
QPDFObjectHandle moveDest(QPDFObjectHandle dest, const PageMap& pages);

// Lists a document's outline as bookmark markup, one tag a line, each bookmark before its
// children: <BOOKMARK LEVEL=1 DESCR="Intro" PAGE=3 CLOSED>. PAGE is the 1-based page the
// bookmark opens, empty when it opens none. Line breaks in titles become blanks.
std::string listOutline(QPDF& pdf);

// The outline of `src`, its destinations moved to the output pages of `pages`. Bookmarks
// whose page did not make it into the output keep their place in the tree but jump
// nowhere; `lostTargets` counts them.
std::vector<OutlineNode> keptOutline(QPDF& src, QPDF& out, const PageMap& pages, int& lostTargets);

// Leaves out the bookmarks of a kept outline whose page is not in the output, so that a part
// of a document has the bookmarks of its own pages only. A bookmark that still holds some
// below it stays, jumping nowhere; a heading that jumped nowhere from the start goes when
// everything below it went.
void dropLost(std::vector<OutlineNode>& nodes);

// The outline described by bookmark markup, pointing at pages of `out` (1-based PAGE).
// Notes a bookmark whose page does not exist, and levels that skip a step.
std::vector<OutlineNode> outlineFromMarkup(std::string_view markup, QPDF& out,
                                           std::vector<std::string>& notes);

// Replaces the output's outline with `roots` (removes it when empty).
void writeOutline(QPDF& out, const std::vector<OutlineNode>& roots);

// Repoints the link annotations of copied pages to where their target pages landed. Copying
// a page turns a link to a page that was not copied yet into a link to nothing, and named
// destinations have no name tree in the output, so every link is resolved in its source and
// written as an explicit destination. A link whose target is not in the output is removed
// from its page. Returns how many links were removed.
int repairLinks(QPDF& src, const std::vector<std::pair<QPDFObjectHandle, QPDFObjectHandle>>& copiedPages,
                const PageMap& pages);

} // namespace plait::pdf

#pragma once

#include <qpdf/QPDFObjectHandle.hh>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QPDF;

namespace plait::pdf {

// A document's bookmarks and named destinations, read with guards of our own: an item that
// is its own /Next, a chain that leads back into itself, a /First that points at an
// ancestor, a name tree whose /Kids loop or nest without end. Each object is visited once;
// what would revisit it, or go deeper than kMaxDepth, is cut off, so hostile files cost time
// and memory in proportion to their size.
class OutlineItems {
public:
    // Deeper trees than this come only from broken or hostile files.
    static constexpr int kMaxDepth = 100;

    explicit OutlineItems(QPDF& pdf);

    // Calls `visit(item, depth)` for every bookmark in reading order, each before its
    // children; `depth` is 1 for the top level.
    void walk(const std::function<void(QPDFObjectHandle item, int depth)>& visit);

    // The destination an item or link jumps to within the document: its /Dest, or the /D of
    // a /GoTo action, with names looked up. Null when it has none.
    QPDFObjectHandle destOf(QPDFObjectHandle holder);
    // The value of a named destination (a name in /Dests or a string in the /Dests name
    // tree), or null.
    QPDFObjectHandle resolveName(QPDFObjectHandle name);
    // The page object a destination opens, or null.
    static QPDFObjectHandle pageOf(QPDFObjectHandle dest);

    // Visible children of an item, as its /Count says (negative when it is closed).
    static int count(QPDFObjectHandle item);

private:
    void loadNames();

    QPDF& pdf_;
    bool namesLoaded_ = false;
    std::map<std::string, QPDFObjectHandle> names_;   // /Dests dictionary, by name
    std::map<std::string, QPDFObjectHandle> strings_; // /Names /Dests tree, by string
};

} // namespace plait::pdf

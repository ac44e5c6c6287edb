#pragma once

// What a document holds beyond its pages (page labels, layers, attachments, named
// destinations, scripts, article threads, tags, viewer settings) carried from the inputs of a
// merge into its output. Each input is added after its pages were copied; the document-wide
// parts are written before marks and options, which may then replace them, and the parts that
// hang on pages once the output's pages are final.

#include "pdfengine/Outline.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace plait::pdf {

class DocumentCarrier {
public:
    using Warn = std::function<void(std::string)>;

    // `tags`: whether structure trees can be carried at all (not when pages are laid over each
    // other or imposed, which leaves their marked content without its pages).
    DocumentCarrier(QPDF& out, Warn warn, bool tags);
    ~DocumentCarrier();

    // One PDF input, after its pages `selected` (indexes into `pages`) were copied to
    // `copied`, in the same order; `map` takes each source page to its copy.
    void add(QPDF& src, const std::string& name, const std::vector<QPDFPageObjectHelper>& pages,
             const std::vector<int>& selected, const std::vector<QPDFObjectHandle>& copied,
             const PageMap& map);

    // Writes the document-wide parts into the output's catalog.
    void writeDocument();

    // Writes what hangs on the final pages: labels, and the beads of article threads on the
    // pages that are still in the output.
    void writePages();

private:
    struct State;
    std::unique_ptr<State> s_;
};

} // namespace plait::pdf

#include "pdfengine/compose/ComposeSupport.h"

namespace plait::pdf::compose {

namespace {

// Points a destination that opened a page that left the output at the page showing it now.
// Returns false when the destination should go (its page shows nowhere).
bool remapDest(QPDFObjectHandle& dest, const PageRemap& remap) {
    if (!dest.isArray() || dest.getArrayNItems() == 0 || !dest.getArrayItem(0).isIndirect()) {
        return true;
    }
    auto it = remap.find(dest.getArrayItem(0).getObjGen());
    if (it == remap.end()) {
        return true;
    }
    QPDFObjectHandle target = it->second;
    if (target.isNull()) {
        return false;
    }
    // The old position means nothing on the new page: show the whole page.
    dest =
        QPDFObjectHandle::newArray(std::vector<QPDFObjectHandle>{target, QPDFObjectHandle::newName("/Fit")});
    return true;
}

} // namespace

void remapOutline(std::vector<OutlineNode>& nodes, const PageRemap& remap) {
    for (auto& node : nodes) {
        if (!node.dest.isNull() && !remapDest(node.dest, remap)) {
            node.dest = QPDFObjectHandle::newNull();
        }
        remapOutline(node.kids, remap);
    }
}

// A link whose page shows nowhere would stay clickable and do nothing: it leaves its page.
void remapLinks(QPDF& out, const PageRemap& remap) {
    for (QPDFObjectHandle page : out.getAllPages()) {
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            continue;
        }
        std::vector<QPDFObjectHandle> kept;
        bool dropped = false;
        for (auto& annot : annots.aitems()) {
            bool lost = false;
            if (annot.isDictionary()) {
                QPDFObjectHandle dest = annot.getKey("/Dest");
                if (dest.isArray()) {
                    if (remapDest(dest, remap)) {
                        annot.replaceKey("/Dest", dest);
                    } else {
                        annot.removeKey("/Dest");
                        lost = true;
                    }
                }
                QPDFObjectHandle action = annot.getKey("/A");
                if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo")) {
                    QPDFObjectHandle d = action.getKey("/D");
                    if (remapDest(d, remap)) {
                        action.replaceKey("/D", d);
                    } else {
                        annot.removeKey("/A");
                        lost = true;
                    }
                }
            }
            if (lost && annot.getKey("/Subtype").isNameAndEquals("/Link")) {
                dropped = true;
            } else {
                kept.push_back(annot);
            }
        }
        if (dropped) {
            page.replaceKey("/Annots", QPDFObjectHandle::newArray(kept));
        }
    }
}

// Makes `pages` the output's page list, in one step (removing pages one at a time costs a
// walk of the whole list each).
void replacePageList(QPDF& out, const std::vector<QPDFObjectHandle>& pages) {
    QPDFObjectHandle root = out.getRoot().getKey("/Pages");
    for (QPDFObjectHandle page : pages) {
        page.replaceKey("/Parent", root);
    }
    root.replaceKey("/Kids", QPDFObjectHandle::newArray(pages));
    root.replaceKey("/Count", QPDFObjectHandle::newInteger(static_cast<long long>(pages.size())));
    out.updateAllPagesCache();
}

// Where a form's content lands: its own /Matrix (a turned page's rotation), then the placement.
geometry::Affine formToPage(QPDFObjectHandle form, const QPDFMatrix& placement) {
    geometry::Affine own;
    QPDFObjectHandle matrix = form.getDict().getKey("/Matrix");
    if (matrix.isArray() && matrix.getArrayNItems() == 6) {
        const auto m = matrix.getArrayAsMatrix();
        own = {m.a, m.b, m.c, m.d, m.e, m.f};
    }
    return own.then({placement.a, placement.b, placement.c, placement.d, placement.e, placement.f});
}

} // namespace plait::pdf::compose

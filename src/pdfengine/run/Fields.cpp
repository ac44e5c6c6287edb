#include "pdfengine/run/Fields.h"

#include <qpdf/QPDF.hh>

#include <map>
#include <set>

namespace plait::pdf {
namespace {

using QOH = QPDFObjectHandle;

// Field trees deeper than this come only from broken or hostile files.
constexpr int kMaxFieldDepth = 100;

struct Gathered {
    QOH field;                  // the one copy kept of a source field
    std::vector<QOH> kids;      // its kids that lead to widgets on output pages, in order
    std::set<QPDFObjGen> known; // the same, by object
};

} // namespace

void joinSplitFields(QPDF& out, const std::vector<std::pair<QOH, QOH>>& copied, int firstField) {
    QOH form = out.getRoot().getKey("/AcroForm");
    if (!form.isDictionary() || !form.getKey("/Fields").isArray()) {
        return;
    }
    std::map<QPDFObjGen, Gathered> bySource;
    std::set<QPDFObjGen> orphans; // top fields of the later copies
    bool split = false;
    for (auto [from, to] : copied) {
        QOH srcAnnots = from.getKey("/Annots");
        QOH outAnnots = to.getKey("/Annots");
        if (!srcAnnots.isArray() || !outAnnots.isArray() ||
            srcAnnots.getArrayNItems() != outAnnots.getArrayNItems()) {
            continue;
        }
        for (int i = 0; i < srcAnnots.getArrayNItems(); ++i) {
            QOH srcNode = srcAnnots.getArrayItem(i);
            QOH outNode = outAnnots.getArrayItem(i);
            if (!srcNode.isDictionary() || !outNode.isDictionary() ||
                !srcNode.getKey("/Subtype").isNameAndEquals("/Widget")) {
                continue;
            }
            // Up the two parent chains side by side: the first copy of each source field is
            // kept, and a later copy's child is moved under it.
            for (int depth = 0; depth < kMaxFieldDepth; ++depth) {
                QOH srcParent = srcNode.getKey("/Parent");
                QOH outParent = outNode.getKey("/Parent");
                if (!srcParent.isIndirect() || !srcParent.isDictionary() || !outParent.isDictionary()) {
                    break;
                }
                auto [it, added] = bySource.try_emplace(srcParent.getObjGen());
                Gathered& g = it->second;
                if (added) {
                    g.field = outParent;
                } else if (g.field.getObjGen() != outParent.getObjGen()) {
                    split = true;
                    outNode.replaceKey("/Parent", g.field);
                    QOH top = outParent;
                    for (int up = 0; up < kMaxFieldDepth && top.getKey("/Parent").isDictionary(); ++up)
                        top = top.getKey("/Parent");
                    orphans.insert(top.getObjGen());
                }
                if (g.known.insert(outNode.getObjGen()).second) {
                    g.kids.push_back(outNode);
                }
                if (!added) {
                    break; // above here the chain is the kept one already
                }
                srcNode = srcParent;
                outNode = outParent;
            }
        }
    }
    if (!split) {
        return;
    }
    for (auto& [source, g] : bySource) {
        orphans.erase(g.field.getObjGen());
        if (!g.kids.empty()) {
            g.field.replaceKey("/Kids", QOH::newArray(g.kids));
        }
    }
    QOH fields = form.getKey("/Fields");
    auto kept = QOH::newArray();
    for (int i = 0; i < fields.getArrayNItems(); ++i) {
        QOH field = fields.getArrayItem(i);
        if (i < firstField || !field.isIndirect() || !orphans.count(field.getObjGen())) {
            kept.appendItem(field);
        }
    }
    form.replaceKey("/Fields", kept);
}

} // namespace plait::pdf

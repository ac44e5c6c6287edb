#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/PdfNumber.h"

#include <qpdf/QPDF.hh>

namespace plait::pdf::geometry {

namespace {

// Transforms an array of x y pairs in place (as a fresh array, the old one may be shared).
QPDFObjectHandle transformPoints(QPDFObjectHandle points, const Affine& cm) {
    auto out = QPDFObjectHandle::newArray();
    const int n = points.getArrayNItems();
    for (int i = 0; i + 1 < n; i += 2) {
        double x = 0, y = 0;
        if (!points.getArrayItem(i).getValueAsNumber(x) || !points.getArrayItem(i + 1).getValueAsNumber(y)) {
            return points; // not numbers: leave it as it was rather than guess
        }
        double xp = 0, yp = 0;
        cm.apply(x, y, xp, yp);
        out.appendItem(pdfReal(xp, 4));
        out.appendItem(pdfReal(yp, 4));
    }
    return out;
}

void transformPointKey(QPDFObjectHandle annot, const char* key, const Affine& cm) {
    auto points = annot.getKey(key);
    if (points.isArray()) {
        annot.replaceKey(key, transformPoints(points, cm));
    }
}

// Gives the appearance streams of `annot` their own copies with the turn folded into
// /Matrix. Viewers fit an appearance into /Rect by scaling and moving only, so a turned
// annotation needs its appearance turned too. The translation does not matter there.
void turnAppearances(QPDFObjectHandle annot, const Affine& cm) {
    auto ap = annot.getKey("/AP");
    if (!ap.isDictionary()) {
        return;
    }
    Affine linear = cm;
    linear.e = linear.f = 0;
    auto turned = [&](QPDFObjectHandle stream) {
        auto copy = stream.copyStream();
        Affine m;
        auto old = copy.getDict().getKey("/Matrix");
        if (old.isMatrix()) {
            const auto om = old.getArrayAsMatrix();
            m = {om.a, om.b, om.c, om.d, om.e, om.f};
        }
        const Affine combined = m.then(linear);
        copy.getDict().replaceKey("/Matrix", QPDFObjectHandle::newFromMatrix(combined.toQpdf()));
        return copy;
    };
    auto newAp = ap.shallowCopy();
    for (const auto& key : newAp.getKeys()) {
        auto entry = newAp.getKey(key);
        if (entry.isStream()) {
            newAp.replaceKey(key, turned(entry));
        } else if (entry.isDictionary()) {
            auto states = entry.shallowCopy();
            for (const auto& state : states.getKeys()) {
                auto stream = states.getKey(state);
                if (stream.isStream()) {
                    states.replaceKey(state, turned(stream));
                }
            }
            newAp.replaceKey(key, states);
        }
    }
    annot.replaceKey("/AP", newAp);
}

} // namespace

void transformAnnotations(QPDFObjectHandle page, const Affine& cm, MovedAnnotations& moved) {
    auto annots = page.getKey("/Annots");
    if (!annots.isArray()) {
        return;
    }
    QPDF* pdf = page.getOwningQPDF();
    // The array may be shared with another page; this page gets its own.
    auto own = QPDFObjectHandle::newArray();
    const auto matrix = cm.toQpdf();
    for (auto annot : annots.aitems()) {
        if (!annot.isDictionary()) {
            own.appendItem(annot);
            continue;
        }
        if (annot.isIndirect()) {
            const auto found = moved.find(annot.getObjGen());
            if (found != moved.end() && pdf) {
                annot = pdf->makeIndirectObject(found->second.shallowCopy());
                if (annot.hasKey("/P")) {
                    annot.replaceKey("/P", page);
                }
            } else {
                // Every change below replaces whole values, so a shallow copy keeps the old state.
                moved.emplace(annot.getObjGen(), annot.shallowCopy());
            }
        } else {
            annot = annot.shallowCopy();
        }
        auto rect = annot.getKey("/Rect");
        if (rect.isRectangle()) {
            annot.replaceKey("/Rect", QPDFObjectHandle::newFromRectangle(
                                          matrix.transformRectangle(rect.getArrayAsRectangle())));
        }
        for (const char* key : {"/QuadPoints", "/L", "/Vertices", "/CL"}) {
            transformPointKey(annot, key, cm);
        }
        auto ink = annot.getKey("/InkList");
        if (ink.isArray()) {
            auto paths = QPDFObjectHandle::newArray();
            for (auto path : ink.aitems()) {
                paths.appendItem(path.isArray() ? transformPoints(path, cm) : path);
            }
            annot.replaceKey("/InkList", paths);
        }
        if (cm.turns()) {
            turnAppearances(annot, cm);
        }
        own.appendItem(annot);
    }
    page.replaceKey("/Annots", own);
}

void ownAnnotations(QPDFObjectHandle page, std::set<QPDFObjGen>& placed) {
    QPDFObjectHandle annots = page.getKey("/Annots");
    QPDF* pdf = page.getOwningQPDF();
    if (!annots.isArray() || !pdf) {
        return;
    }
    std::map<QPDFObjGen, QPDFObjectHandle> copies;
    auto own = QPDFObjectHandle::newArray();
    for (auto annot : annots.aitems()) {
        if (annot.isIndirect() && annot.isDictionary() &&
            !annot.getKey("/Subtype").isNameAndEquals("/Widget") &&
            !placed.insert(annot.getObjGen()).second) {
            QPDFObjectHandle copy = pdf->makeIndirectObject(annot.shallowCopy());
            if (copy.hasKey("/P")) {
                copy.replaceKey("/P", page);
            }
            copies.emplace(annot.getObjGen(), copy);
            annot = copy;
        }
        own.appendItem(annot);
    }
    if (copies.empty()) {
        return;
    }
    for (auto& [old, copy] : copies) {
        for (const char* key : {"/Popup", "/Parent", "/IRT"}) {
            QPDFObjectHandle ref = copy.getKey(key);
            if (ref.isIndirect()) {
                if (auto it = copies.find(ref.getObjGen()); it != copies.end()) {
                    copy.replaceKey(key, it->second);
                }
            }
        }
    }
    page.replaceKey("/Annots", own);
}

} // namespace plait::pdf::geometry

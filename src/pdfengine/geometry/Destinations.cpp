#include "pdfengine/PdfNumber.h"
#include "pdfengine/geometry/Geometry.h"

#include <qpdf/QPDFPageDocumentHelper.hh>

#include <algorithm>
#include <cmath>
#include <optional>
#include <set>

namespace plait::pdf {

using geometry::Affine;

namespace {

using QOH = QPDFObjectHandle;

std::optional<double> numberAt(QOH array, int i) {
    if (i >= array.getArrayNItems()) {
        return std::nullopt;
    }
    double v = 0;
    if (!array.getArrayItem(i).getValueAsNumber(v) || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

QOH numberOrNull(std::optional<double> v) {
    return v ? pdfReal(*v, 4) : QOH::newNull();
}

bool near0(double v) {
    return std::fabs(v) < 1e-9;
}

// The destination `dest` (an explicit one: [page /Kind params...]) with its position moved by
// `cm`. Returns `dest` itself when there is nothing to move.
QOH movedDest(QOH dest, const Affine& cm) {
    const int n = dest.getArrayNItems();
    if (n < 2 || !dest.getArrayItem(1).isName()) {
        return dest;
    }
    const std::string kind = dest.getArrayItem(1).getName();
    const bool straight = near0(cm.b) && near0(cm.c); // x and y stay apart
    const bool quarter = near0(cm.a) && near0(cm.d);  // x and y trade places
    std::vector<QOH> items{dest.getArrayItem(0)};
    const auto x = [&](double px, double py) { return cm.a * px + cm.c * py + cm.e; };
    const auto y = [&](double px, double py) { return cm.b * px + cm.d * py + cm.f; };

    if (kind == "/XYZ") {
        const auto left = numberAt(dest, 2), top = numberAt(dest, 3);
        std::optional<double> newLeft, newTop;
        if (straight) {
            if (left)
                newLeft = x(*left, 0);
            if (top)
                newTop = y(0, *top);
        } else if (quarter) {
            if (top)
                newLeft = x(0, *top);
            if (left)
                newTop = y(*left, 0);
        } else if (left || top) {
            newLeft = x(left.value_or(0), top.value_or(0));
            newTop = y(left.value_or(0), top.value_or(0));
        }
        items.push_back(QOH::newName("/XYZ"));
        items.push_back(numberOrNull(newLeft));
        items.push_back(numberOrNull(newTop));
        items.push_back(n > 4 ? dest.getArrayItem(4).shallowCopy() : QOH::newNull());
        return QOH::newArray(items);
    }
    const bool horizontal = kind == "/FitH" || kind == "/FitBH";
    if (horizontal || kind == "/FitV" || kind == "/FitBV") {
        const bool boxed = kind == "/FitBH" || kind == "/FitBV";
        const auto value = numberAt(dest, 2);
        if (!value) {
            return dest;
        }
        const double px = horizontal ? 0 : *value, py = horizontal ? *value : 0;
        if (straight || quarter) {
            // A horizontal line stays horizontal, or turns upright.
            const bool nowHorizontal = horizontal == straight;
            items.push_back(
                QOH::newName(nowHorizontal ? (boxed ? "/FitBH" : "/FitH") : (boxed ? "/FitBV" : "/FitV")));
            items.push_back(pdfReal(nowHorizontal ? y(px, py) : x(px, py), 4));
        } else {
            items.push_back(QOH::newName("/XYZ"));
            items.push_back(pdfReal(x(px, py), 4));
            items.push_back(pdfReal(y(px, py), 4));
            items.push_back(QOH::newNull());
        }
        return QOH::newArray(items);
    }
    if (kind == "/FitR") {
        const auto l = numberAt(dest, 2), b = numberAt(dest, 3), r = numberAt(dest, 4), t = numberAt(dest, 5);
        if (!l || !b || !r || !t) {
            return dest;
        }
        const double xs[4] = {x(*l, *b), x(*r, *b), x(*r, *t), x(*l, *t)};
        const double ys[4] = {y(*l, *b), y(*r, *b), y(*r, *t), y(*l, *t)};
        items.push_back(QOH::newName("/FitR"));
        for (double v : {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
                         *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)}) {
            items.push_back(pdfReal(v, 4));
        }
        return QOH::newArray(items);
    }
    return dest; // /Fit and /FitB show the whole page wherever its content went
}

// `dest` moved when it names a moved page; `dest` itself otherwise.
QOH moved(QOH dest, const PageMoves& moves) {
    if (!dest.isArray() || dest.getArrayNItems() < 2 || !dest.getArrayItem(0).isIndirect()) {
        return dest;
    }
    const auto it = moves.find(dest.getArrayItem(0).getObjGen());
    return it == moves.end() ? dest : movedDest(dest, it->second);
}

void moveOutline(std::vector<OutlineNode>& nodes, const PageMoves& moves) {
    for (auto& node : nodes) {
        if (node.dest.isInitialized()) {
            node.dest = moved(node.dest, moves);
        }
        moveOutline(node.kids, moves);
    }
}

} // namespace

void moveDestinations(QPDF& pdf, std::vector<OutlineNode>& outline, const PageMoves& moves) {
    if (moves.empty()) {
        return;
    }
    moveOutline(outline, moves);
    // An annotation or action shared between pages is moved once.
    std::set<QPDFObjGen> done;
    const auto firstTime = [&](QOH h) { return !h.isIndirect() || done.insert(h.getObjGen()).second; };
    for (QOH page : pdf.getAllPages()) {
        QOH annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            continue;
        }
        for (QOH annot : annots.aitems()) {
            if (!annot.isDictionary() || !annot.getKey("/Subtype").isNameAndEquals("/Link") ||
                !firstTime(annot)) {
                continue;
            }
            QOH dest = annot.getKey("/Dest");
            if (dest.isArray()) {
                annot.replaceKey("/Dest", moved(dest, moves));
            }
            QOH action = annot.getKey("/A");
            if (action.isDictionary() && action.getKey("/S").isNameAndEquals("/GoTo") && firstTime(action)) {
                QOH d = action.getKey("/D");
                if (d.isArray()) {
                    action.replaceKey("/D", moved(d, moves));
                }
            }
        }
    }
}

} // namespace plait::pdf

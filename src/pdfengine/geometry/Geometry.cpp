#include "pdfengine/geometry/Geometry.h"
#include "pdfengine/PdfNumber.h"
#include "pdfengine/geometry/Affine.h"
#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <cmath>

namespace plait::pdf {

using geometry::Affine;

namespace {

constexpr double kEpsilon = 1e-9;
// Larger pages are legal but many viewers refuse them.
constexpr double kLargestCommonPage = 14400.0;

using Rect = QPDFObjectHandle::Rectangle;

Rect normalised(Rect r) {
    return {std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx), std::max(r.lly, r.ury)};
}

double width(const Rect& r) {
    return r.urx - r.llx;
}
double height(const Rect& r) {
    return r.ury - r.lly;
}

bool finite(double v) {
    return std::isfinite(v);
}

// Reduces any angle to 0 <= a < 360.
double normalisedAngle(double degrees) {
    double a = std::fmod(degrees, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    return a >= 360.0 - kEpsilon ? 0.0 : a;
}

// The angle as whole quarter turns, or -1 when it is not a multiple of 90 degrees.
int quarterTurns(double angle) {
    const double q = angle / 90.0;
    const double whole = std::round(q);
    return std::fabs(q - whole) < 1e-9 ? static_cast<int>(whole) % 4 : -1;
}

// The options once checked: what the page loop actually applies.
struct Plan {
    std::optional<Rect> boxes[5];
    std::optional<double> scale; // factor, not 100
    double right = 0, down = 0;
    int quarterTurns = 0;
    double freeAngle = 0; // clockwise degrees through the content, 0 for none
    bool autoRotate = false;
    bool center = false;
    std::optional<std::pair<double, double>> pageSize;
    bool scaleUp = false, scaleDown = false;
};

const char* const kBoxKeys[5] = {"/MediaBox", "/CropBox", "/BleedBox", "/ArtBox", "/TrimBox"};
const char* const kBoxNames[5] = {"media box", "crop box", "bleed box", "art box", "trim box"};

Plan makePlan(const GeometryOptions& o, std::vector<std::string>& warnings) {
    Plan plan;
    const std::optional<PdfBox>* given[5] = {&o.mediaBox, &o.cropBox, &o.bleedBox, &o.artBox, &o.trimBox};
    for (int i = 0; i < 5; ++i) {
        if (!*given[i]) {
            continue;
        }
        const PdfBox& b = **given[i];
        const Rect r = normalised({b.llx, b.lly, b.urx, b.ury});
        if (!finite(r.llx) || !finite(r.lly) || !finite(r.urx) || !finite(r.ury) || width(r) <= 0 ||
            height(r) <= 0) {
            warnings.push_back("The " + std::string(kBoxNames[i]) + " has no area; it was ignored");
            continue;
        }
        plan.boxes[i] = r;
    }
    if (o.scalePercent) {
        const double s = *o.scalePercent;
        if (!finite(s) || s <= 0) {
            warnings.push_back("The page scale must be above 0 percent; it was ignored");
        } else if (std::fabs(s - 100.0) > kEpsilon) {
            plan.scale = s / 100.0;
        }
    }
    if (finite(o.right) && finite(o.down)) {
        plan.right = o.right;
        plan.down = o.down;
    } else {
        warnings.push_back("The page offsets are not numbers; they were ignored");
    }
    if (o.angle) {
        if (!finite(*o.angle)) {
            warnings.push_back("The page angle is not a number; it was ignored");
        } else {
            const double a = normalisedAngle(*o.angle);
            const int q = quarterTurns(a);
            if (q >= 0) {
                plan.quarterTurns = q;
            } else {
                plan.freeAngle = a;
            }
        }
    }
    plan.autoRotate = o.autoRotate;
    plan.center = o.center;
    if (o.pageSize) {
        const auto [w, h] = *o.pageSize;
        if (!finite(w) || !finite(h) || w <= 0 || h <= 0) {
            warnings.push_back("The page size must have a width and a height above 0; it was ignored");
        } else {
            if (w > kLargestCommonPage || h > kLargestCommonPage) {
                warnings.push_back(
                    "The page size is larger than 200 inches; many viewers cannot show such pages");
            }
            plan.pageSize = std::make_pair(w, h);
        }
    }
    plan.scaleUp = o.scaleUp;
    plan.scaleDown = o.scaleDown;
    return plan;
}

// The visible part of a page and its turn, as read from the page (attributes may be inherited).
struct PageView {
    Rect visible; // crop box within the media box, default user space
    bool hasCropBox = false;
    int rotate = 0; // 0, 90, 180 or 270
};

std::optional<PageView> readPage(QPDFPageObjectHelper& page) {
    auto media = page.getAttribute("/MediaBox", false);
    if (!media.isRectangle()) {
        return std::nullopt;
    }
    PageView view;
    Rect visible = normalised(media.getArrayAsRectangle());
    auto crop = page.getAttribute("/CropBox", false);
    if (crop.isRectangle()) {
        view.hasCropBox = true;
        const Rect c = normalised(crop.getArrayAsRectangle());
        const Rect clipped{std::max(c.llx, visible.llx), std::max(c.lly, visible.lly),
                           std::min(c.urx, visible.urx), std::min(c.ury, visible.ury)};
        if (width(clipped) > 0 && height(clipped) > 0) {
            visible = clipped;
        }
    }
    if (width(visible) <= 0 || height(visible) <= 0) {
        return std::nullopt;
    }
    view.visible = visible;
    auto rotate = page.getAttribute("/Rotate", false);
    if (rotate.isInteger()) {
        // Viewers ignore a /Rotate that is not a multiple of 90; so do we.
        const long long r = rotate.getIntValue();
        if (r % 90 == 0) {
            view.rotate = static_cast<int>(((r % 360) + 360) % 360);
        }
    }
    return view;
}

enum class Orientation { Portrait, Landscape, Square };

Orientation orientationOf(const Rect& visible, int rotate) {
    double w = width(visible), h = height(visible);
    if (rotate % 180 != 0) {
        std::swap(w, h);
    }
    if (std::fabs(w - h) < 1e-6) {
        return Orientation::Square;
    }
    return w > h ? Orientation::Landscape : Orientation::Portrait;
}

// Maps default user space to the displayed page: origin at the displayed bottom-left corner
// of `box`, x to the right and y up as the reader sees it after the page's /Rotate (clockwise).
Affine userToView(const Rect& box, int rotate) {
    switch (rotate) {
    case 90:
        return {0, -1, 1, 0, -box.lly, box.urx};
    case 180:
        return {-1, 0, 0, -1, box.urx, box.ury};
    case 270:
        return {0, 1, -1, 0, box.ury, -box.llx};
    default:
        return {1, 0, 0, 1, -box.llx, -box.lly};
    }
}

Rect transformRect(const Affine& m, const Rect& r) {
    double xs[4], ys[4];
    m.apply(r.llx, r.lly, xs[0], ys[0]);
    m.apply(r.urx, r.lly, xs[1], ys[1]);
    m.apply(r.urx, r.ury, xs[2], ys[2]);
    m.apply(r.llx, r.ury, xs[3], ys[3]);
    return {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
            *std::max_element(ys, ys + 4)};
}

// Wraps the page's content in "q <cm> cm ... Q". The original streams are left as they are
// (they may be shared with other pages); two tiny streams are added around them. A stray
// restore in the content would pop the placement, so the content is balanced first.
void wrapContents(QPDF& pdf, QPDFPageObjectHelper& page, const Affine& cm) {
    geometry::balanceContents(page);
    page.addPageContents(pdf.newStream("q\n" + cm.toQpdf().unparse() + " cm\n"), true);
    page.addPageContents(pdf.newStream("\nQ\n"), false);
}

QPDFObjectHandle rectObject(const Rect& r) {
    auto num = [](double v) { return pdfReal(v, 4); };
    return QPDFObjectHandle::newArray({num(r.llx), num(r.lly), num(r.urx), num(r.ury)});
}

struct PageChange {
    int rotate = 0;
    Affine cm;                  // old user space to new user space
    std::optional<Rect> newBox; // the new media box when the page changed size
};

PageChange planPage(const Plan& plan, const PageView& view, std::optional<Orientation> first, bool isFirst) {
    PageChange change;
    int rotate = view.rotate;
    if (plan.autoRotate && !isFirst && first && *first != Orientation::Square) {
        const Orientation mine = orientationOf(view.visible, rotate);
        if (mine != Orientation::Square && mine != *first) {
            rotate = (rotate + 90) % 360;
        }
    }
    rotate = (rotate + 90 * plan.quarterTurns) % 360;
    change.rotate = rotate;

    // Work on the page as displayed: (pw, ph) is its size, `view` maps content there.
    double pw = width(view.visible), ph = height(view.visible);
    if (rotate % 180 != 0) {
        std::swap(pw, ph);
    }
    Affine t;
    bool resized = false;
    if (plan.freeAngle != 0) {
        const Affine turn = Affine::translate(-pw / 2, -ph / 2).then(Affine::rotateClockwise(plan.freeAngle));
        const Rect bounds = transformRect(turn, {0, 0, pw, ph});
        t = turn.then(Affine::translate(-bounds.llx, -bounds.lly));
        pw = width(bounds);
        ph = height(bounds);
        resized = true;
    }
    if (plan.pageSize) {
        const auto [newW, newH] = *plan.pageSize;
        double s = 1.0;
        if (plan.scaleDown && (pw > newW + 1e-6 || ph > newH + 1e-6)) {
            s = std::min(newW / pw, newH / ph);
        } else if (plan.scaleUp && pw < newW - 1e-6 && ph < newH - 1e-6) {
            s = std::min(newW / pw, newH / ph);
        }
        const double cw = pw * s, ch = ph * s;
        const double tx = plan.center ? (newW - cw) / 2 : 0.0;
        const double ty = plan.center ? (newH - ch) / 2 : newH - ch;
        t = t.then(Affine::scale(s)).then(Affine::translate(tx, ty));
        resized = resized || std::fabs(newW - pw) > 1e-6 || std::fabs(newH - ph) > 1e-6;
        pw = newW;
        ph = newH;
    }
    if (plan.scale) {
        const double ax = plan.center ? pw / 2 : 0.0;
        const double ay = plan.center ? ph / 2 : ph;
        t = t.then(Affine::translate(-ax, -ay))
                .then(Affine::scale(*plan.scale))
                .then(Affine::translate(ax, ay));
    }
    if (plan.right != 0 || plan.down != 0) {
        t = t.then(Affine::translate(plan.right, -plan.down));
    }

    Rect newUser = view.visible;
    if (resized) {
        newUser = rotate % 180 != 0 ? Rect{0, 0, ph, pw} : Rect{0, 0, pw, ph};
        change.newBox = newUser;
    }
    change.cm = userToView(view.visible, rotate).then(t).then(userToView(newUser, rotate).inverse());
    return change;
}

void applyChange(QPDF& pdf, QPDFPageObjectHelper& page, const PageView& view, const PageChange& change,
                 geometry::MovedAnnotations& movedAnnotations) {
    auto dict = page.getObjectHandle();
    if (change.rotate != view.rotate) {
        dict.replaceKey("/Rotate", QPDFObjectHandle::newInteger(change.rotate));
    }
    if (!change.cm.isIdentity()) {
        wrapContents(pdf, page, change.cm);
        geometry::transformAnnotations(dict, change.cm, movedAnnotations);
    }
    if (change.newBox) {
        const Rect& box = *change.newBox;
        dict.replaceKey("/MediaBox", rectObject(box));
        if (view.hasCropBox) {
            dict.replaceKey("/CropBox", rectObject(box));
        }
        for (const char* key : {"/BleedBox", "/TrimBox", "/ArtBox"}) {
            auto old = dict.getKey(key);
            if (!old.isRectangle()) {
                continue;
            }
            const Rect moved = transformRect(change.cm, normalised(old.getArrayAsRectangle()));
            const Rect kept{std::max(moved.llx, box.llx), std::max(moved.lly, box.lly),
                            std::min(moved.urx, box.urx), std::min(moved.ury, box.ury)};
            if (width(kept) > 0 && height(kept) > 0) {
                dict.replaceKey(key, rectObject(kept));
            } else {
                dict.removeKey(key);
            }
        }
    }
}

bool changesPages(const Plan& plan) {
    for (const auto& box : plan.boxes) {
        if (box) {
            return true;
        }
    }
    return plan.scale || plan.right != 0 || plan.down != 0 || plan.quarterTurns != 0 || plan.freeAngle != 0 ||
           plan.autoRotate || plan.pageSize;
}

} // namespace

bool GeometryOptions::isNoOp() const {
    if (mediaBox || cropBox || bleedBox || artBox || trimBox || autoRotate || pageSize) {
        return false;
    }
    if (scalePercent && *scalePercent != 100.0) {
        return false;
    }
    if (down != 0 || right != 0) {
        return false;
    }
    if (angle && !(std::isfinite(*angle) && normalisedAngle(*angle) == 0.0)) {
        return false;
    }
    return true;
}

void applyGeometry(QPDF& pdf, const GeometryOptions& options, std::vector<std::string>& warnings,
                   PageMoves* moves) {
    if (options.isNoOp()) {
        return;
    }
    const Plan plan = makePlan(options, warnings);
    if (!changesPages(plan)) {
        return;
    }
    auto pages = QPDFPageDocumentHelper(pdf).getAllPages();
    std::optional<Orientation> first;
    if (!pages.empty()) {
        if (auto view = readPage(pages.front())) {
            first = orientationOf(view->visible, view->rotate);
        }
    }
    geometry::MovedAnnotations movedAnnotations;
    std::size_t badPages = 0, firstBad = 0;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        auto& page = pages[i];
        if (auto view = readPage(page)) {
            const PageChange change = planPage(plan, *view, first, i == 0);
            applyChange(pdf, page, *view, change, movedAnnotations);
            if (moves && !change.cm.isIdentity()) {
                moves->emplace(page.getObjectHandle().getObjGen(), change.cm);
            }
        } else if (badPages++ == 0) {
            firstBad = i + 1;
        }
        for (int b = 0; b < 5; ++b) {
            if (plan.boxes[b]) {
                page.getObjectHandle().replaceKey(kBoxKeys[b], rectObject(*plan.boxes[b]));
            }
        }
    }
    if (badPages) {
        warnings.push_back(
            std::to_string(badPages) + " page(s), the first being page " + std::to_string(firstBad) +
            ", have no usable media box; their size, scale and rotation were left as they were");
    }
}

} // namespace plait::pdf

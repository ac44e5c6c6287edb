#include "pdfengine/compose/Compose.h"

#include "pdfengine/Cancel.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/PageList.h"
#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QUtil.hh>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
#include <set>

namespace plait::pdf {

std::optional<std::string> blendModeName(std::string_view text) {
    static constexpr std::array<std::string_view, 16> kModes = {
        "Normal",     "Multiply",   "Screen",    "Overlay",   "Darken",     "Lighten",
        "ColorDodge", "ColorBurn",  "HardLight", "SoftLight", "Difference", "Exclusion",
        "Hue",        "Saturation", "Color",     "Luminosity"};
    for (auto mode : kModes) {
        if (mode.size() == text.size() &&
            std::equal(mode.begin(), mode.end(), text.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return std::string(mode);
        }
    }
    return std::nullopt;
}

std::vector<std::string> mergeModeNotes(const ComposeOptions& options) {
    std::vector<std::string> notes;
    if (options.overlay) {
        return notes;
    }
    if (options.reverse) {
        notes.push_back("Reverse overlay (setRevOverlay) has no effect in a merge; ignored");
    }
    if (options.blends()) {
        notes.push_back("Transparency (setTransparency) has nothing to blend with in a merge; ignored");
    }
    if (!options.overlayPages.selectsAll()) {
        notes.push_back("Overlay pages (setOverlayPages) apply to an overlay only; ignored");
    }
    return notes;
}

namespace {

using Rect = QPDFObjectHandle::Rectangle;
// A page that left the output, and the page that now shows it (null: none does).
using PageRemap = std::map<QPDFObjGen, QPDFObjectHandle>;

std::string num(double v) {
    return QUtil::double_to_string(v, 4, true);
}

// The page's own resources, so that names added for one page do not show up on every page
// that shared the dictionary in its input.
QPDFObjectHandle ownResources(QPDFObjectHandle page) {
    QPDFObjectHandle res = page.getKey("/Resources");
    res = res.isDictionary() ? res.shallowCopy() : QPDFObjectHandle::newDictionary();
    for (const char* key : {"/XObject", "/ExtGState"}) {
        QPDFObjectHandle sub = res.getKey(key);
        res.replaceKey(key, sub.isDictionary() ? sub.shallowCopy() : QPDFObjectHandle::newDictionary());
    }
    page.replaceKey("/Resources", res);
    return res;
}

std::string addResource(QPDFObjectHandle res, const std::string& kind, const std::string& prefix,
                        QPDFObjectHandle value, int& suffix) {
    std::string name = res.getUniqueResourceName(prefix, suffix);
    res.getKey(kind).replaceKey(name, value);
    return name;
}

// A layer drawn with transparency or a blend mode must be composited as one picture, not
// mark by mark (overlapping marks inside it would otherwise show through each other).
void makeGroup(QPDFObjectHandle form) {
    if (!form.getDict().hasKey("/Group")) {
        form.getDict().replaceKey("/Group", QPDFObjectHandle::parse("<< /Type /Group /S /Transparency >>"));
    }
}

// Width and height as the page is displayed: its trim box, turned by /Rotate.
std::pair<double, double> displayedSize(QPDFPageObjectHelper page) {
    const Rect r = page.getTrimBox().getArrayAsRectangle();
    double w = std::fabs(r.urx - r.llx), h = std::fabs(r.ury - r.lly);
    QPDFObjectHandle rotate = page.getObjectHandle().getKey("/Rotate");
    if (rotate.isInteger() && ((rotate.getIntValue() % 180) + 180) % 180 == 90) {
        std::swap(w, h);
    }
    return {w, h};
}

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

QPDFObjectHandle graphicsState(QPDF& out, const ComposeOptions& options) {
    const double alpha = std::clamp(1.0 - options.transparency / 100.0, 0.0, 1.0);
    return out.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /ExtGState /CA " + num(alpha) + " /ca " +
                                                          num(alpha) + " /BM /" + options.blend + " >>"));
}

// One overlay page as it is laid on base pages: its content as a form, and the page itself,
// whose annotations come along.
struct Layer {
    QPDFObjectHandle form, source;
};

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

// Copies the annotations of an overlay page (a letterhead's web link, say) onto the base page
// it was laid on, moved as its content was: one copy per page, so each belongs to its page.
// Form fields are not copied (copies would be one field shown many times, or fields renamed
// behind the user's back); `left` counts them.
void carryAnnotations(QPDF& out, const Layer& layer, const geometry::Affine& where, QPDFObjectHandle page,
                      std::vector<QPDFObjectHandle>& carried, int& left) {
    QPDFObjectHandle source = layer.source;
    QPDFObjectHandle annots = source.getKey("/Annots");
    if (!annots.isArray()) {
        return;
    }
    std::vector<QPDFObjectHandle> copies;
    for (auto& annot : annots.aitems()) {
        if (!annot.isDictionary() || annot.getKey("/Subtype").isNameAndEquals("/Popup")) {
            continue;
        }
        if (annot.getKey("/Subtype").isNameAndEquals("/Widget")) {
            ++left;
            continue;
        }
        QPDFObjectHandle copy = annot.shallowCopy();
        for (const char* key : {"/Popup", "/IRT", "/StructParent", "/Parent"}) {
            copy.removeKey(key);
        }
        copy.replaceKey("/P", page);
        copies.push_back(out.makeIndirectObject(copy));
    }
    if (copies.empty()) {
        return;
    }
    QPDFObjectHandle holder = QPDFObjectHandle::newDictionary();
    holder.replaceKey("/Annots", QPDFObjectHandle::newArray(copies));
    geometry::MovedAnnotations moved;
    geometry::transformAnnotations(holder, where, moved);
    for (auto& annot : holder.getKey("/Annots").aitems()) {
        annot.replaceKey("/P", page);
        carried.push_back(annot);
    }
}

// Draws `layers` (in input order) over or under the page's own content.
void layPage(QPDF& out, QPDFObjectHandle page, const std::vector<Layer>& layers,
             const ComposeOptions& options, QPDFObjectHandle gs, int& fieldsLeft) {
    QPDFPageObjectHelper helper(page);
    // The layers are drawn before or after the page's content, in its default space.
    geometry::balanceContents(helper);
    const Rect rect = helper.getTrimBox().getArrayAsRectangle();
    const bool blends = options.blends();
    // With the base on top and blended, its content becomes a layer of its own.
    QPDFObjectHandle baseForm;
    if (options.reverse && blends) {
        // Read now: the page's content is replaced below, and a form made by qpdf would read
        // the page's content only when it is written.
        Pl_Buffer buffer("base content");
        helper.pipeContents(&buffer);
        auto data = buffer.getBufferSharedPointer();
        baseForm = QPDFObjectHandle::newStream(
            &out, std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()));
        QPDFObjectHandle dict = baseForm.getDict();
        dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
        dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
        dict.replaceKey("/BBox", helper.getMediaBox().shallowCopy());
        QPDFObjectHandle res = page.getKey("/Resources");
        dict.replaceKey("/Resources",
                        res.isDictionary() ? res.shallowCopy() : QPDFObjectHandle::newDictionary());
        makeGroup(baseForm);
    }
    QPDFObjectHandle res = ownResources(page);
    int suffix = 0;
    const std::string gsName = blends ? addResource(res, "/ExtGState", "/GS", gs, suffix) : "";
    std::string drawn;
    std::vector<QPDFObjectHandle> carried;
    const auto place = [&](const Layer& layer, bool blended) {
        const std::string name = addResource(res, "/XObject", "/Fx", layer.form, suffix);
        QPDFMatrix cm;
        const std::string text = helper.placeFormXObject(layer.form, name, rect, cm);
        drawn += blended ? "q " + gsName + " gs\n" + text + "Q\n" : text;
        carryAnnotations(out, layer, formToPage(layer.form, cm), page, carried, fieldsLeft);
    };
    // The page's own annotations stay first; in the usual viewer order the later ones are on top.
    const auto addCarried = [&] {
        if (carried.empty()) {
            return;
        }
        QPDFObjectHandle annots = page.getKey("/Annots");
        std::vector<QPDFObjectHandle> all =
            annots.isArray() ? annots.getArrayAsVector() : std::vector<QPDFObjectHandle>{};
        if (options.reverse) {
            all.insert(all.begin(), carried.begin(), carried.end());
        } else {
            all.insert(all.end(), carried.begin(), carried.end());
        }
        page.replaceKey("/Annots", QPDFObjectHandle::newArray(all));
    };
    if (!options.reverse) {
        for (const auto& layer : layers)
            place(layer, blends);
        addCarried();
        helper.addPageContents(QPDFObjectHandle::newStream(&out, "q\n"), true);
        helper.addPageContents(QPDFObjectHandle::newStream(&out, "\nQ\n" + drawn), false);
        return;
    }
    // Underneath: the last input lies at the bottom.
    for (auto it = layers.rbegin(); it != layers.rend(); ++it)
        place(*it, false);
    addCarried();
    if (baseForm.isInitialized()) {
        const std::string name = addResource(res, "/XObject", "/Fx", baseForm, suffix);
        drawn += "q " + gsName + " gs " + name + " Do Q\n";
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&out, drawn));
        return;
    }
    helper.addPageContents(QPDFObjectHandle::newStream(&out, drawn + "q\n"), true);
    helper.addPageContents(QPDFObjectHandle::newStream(&out, "\nQ\n"), false);
}

// The overlay pages leave the output: their form fields go with them (their other annotations
// were copied onto the pages they were laid on).
void dropOverlayPages(QPDF& out, const std::vector<QPDFObjectHandle>& pages) {
    std::set<QPDFObjGen> fields;
    const bool forms = out.getRoot().getKey("/AcroForm").isDictionary();
    std::unique_ptr<QPDFAcroFormDocumentHelper> afdh;
    if (forms) {
        afdh = std::make_unique<QPDFAcroFormDocumentHelper>(out);
    }
    for (QPDFObjectHandle page : pages) {
        QPDFObjectHandle annots = page.getKey("/Annots");
        if (!annots.isArray()) {
            continue;
        }
        if (afdh) {
            for (auto& widget : afdh->getWidgetAnnotationsForPage(QPDFPageObjectHelper(page))) {
                auto field = afdh->getFieldForAnnotation(widget).getTopLevelField();
                if (field.getObjectHandle().isIndirect()) {
                    fields.insert(field.getObjectHandle().getObjGen());
                }
            }
        }
        page.removeKey("/Annots");
    }
    if (afdh && !fields.empty()) {
        afdh->removeFormFields(fields);
    }
}

} // namespace

void overlayInputs(QPDF& out, const ComposeOptions& options, const std::vector<InputPages>& inputs,
                   std::vector<OutlineNode>& outline, std::vector<std::string>& notes) {
    if (inputs.size() < 2) {
        notes.push_back(
            "Overlay (setOverlay) needs two inputs, the pages to lay over and the pages to lay them on; "
            "with one input the build is a plain merge");
        return;
    }
    const std::vector<QPDFObjectHandle> pages = out.getAllPages();
    const auto pagesOf = [&](const InputPages& in) {
        return std::vector<QPDFObjectHandle>(pages.begin() + in.first, pages.begin() + in.first + in.count);
    };
    const std::vector<QPDFObjectHandle> base = pagesOf(inputs.front());
    if (base.empty()) {
        // The output has the base's pages: without any, there is nothing to write.
        throw EngineError(BuildFailure::NoPages, inputs.front().name,
                          "it gives no page to lay the overlay on");
    }

    // Base pages that receive overlays, each once, in the order listed.
    const PageList& list = options.overlayPages;
    bool outOfRange = false;
    std::vector<int> receiving;
    std::set<int> seen;
    for (int index : list.resolve(static_cast<int>(base.size()), &outOfRange)) {
        if (seen.insert(index).second) {
            receiving.push_back(index);
        }
    }
    if (outOfRange) {
        notes.push_back(
            "Overlay pages: the list names pages the first input does not have; those were skipped");
    }

    std::vector<std::vector<Layer>> layers(base.size());
    std::vector<QPDFObjectHandle> removed;
    PageRemap remap;
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        const std::vector<QPDFObjectHandle> over = pagesOf(inputs[i]);
        std::vector<QPDFObjectHandle> forms(over.size());
        for (std::size_t r = 0; r < receiving.size() && !over.empty(); ++r) {
            const std::size_t k = options.repeat ? r % over.size() : r;
            if (k >= over.size()) {
                break;
            }
            if (!forms[k].isInitialized()) {
                geometry::balanceContents(QPDFPageObjectHelper(over[k]));
                forms[k] = QPDFPageObjectHelper(over[k]).getFormXObjectForPage();
                if (options.blends() && !options.reverse) {
                    makeGroup(forms[k]);
                }
                remap.emplace(over[k].getObjGen(), base[static_cast<std::size_t>(receiving[r])]);
            }
            layers[static_cast<std::size_t>(receiving[r])].push_back({forms[k], over[k]});
        }
        int unused = 0;
        for (std::size_t k = 0; k < over.size(); ++k) {
            if (!forms[k].isInitialized()) {
                ++unused;
                remap.emplace(over[k].getObjGen(), QPDFObjectHandle::newNull());
            }
            removed.push_back(over[k]);
        }
        if (unused > 0) {
            notes.push_back(inputs[i].name + ": " + std::to_string(unused) +
                            " of its pages had no page to be laid on and were left out");
        }
    }

    const QPDFObjectHandle gs = options.blends() ? graphicsState(out, options) : QPDFObjectHandle::newNull();
    int fieldsLeft = 0;
    CancelPoll poll(16);
    for (std::size_t p = 0; p < base.size(); ++p) {
        poll();
        if (!layers[p].empty()) {
            layPage(out, base[p], layers[p], options, gs, fieldsLeft);
        }
    }

    dropOverlayPages(out, removed);
    if (fieldsLeft > 0) {
        notes.push_back("Overlay: the form fields of the overlaid pages were left out (" +
                        std::to_string(fieldsLeft) + " times)");
    }
    replacePageList(out, base);
    remapLinks(out, remap);
    remapOutline(outline, remap);
}

void imposePages(QPDF& out, const ComposeOptions& options, std::vector<OutlineNode>& outline,
                 std::vector<std::string>& notes) {
    using Imp = ComposeOptions::Imposition;
    if (options.imposition == Imp::None) {
        return;
    }
    const std::vector<QPDFObjectHandle> pages = out.getAllPages();
    const std::size_t n = pages.size();
    if (n == 0) {
        return;
    }
    std::vector<std::pair<double, double>> sizes;
    for (const auto& p : pages)
        sizes.push_back(displayedSize(QPDFPageObjectHelper(p)));
    const auto [w0, h0] = sizes.front();

    struct Sheet {
        double width = 0, height = 0;
        std::vector<std::pair<std::size_t, Rect>> cells; // page index, where it goes
    };
    std::vector<Sheet> sheets;
    bool expand = true;
    if (options.imposition == Imp::TwoUp) {
        const double width = std::max(w0, h0), height = std::min(w0, h0);
        for (std::size_t i = 0; i < n; i += 2) {
            Sheet s{width, height, {}};
            s.cells.emplace_back(i, Rect(0, 0, width / 2, height));
            if (i + 1 < n) {
                s.cells.emplace_back(i + 1, Rect(width / 2, 0, width, height));
            }
            sheets.push_back(std::move(s));
        }
    } else {
        std::size_t cols = 1;
        double cellW = 0, cellH = 0;
        double width = w0, height = h0;
        if (options.imposition == Imp::OnePageScaled) {
            double best = -1;
            for (std::size_t c = 1; c <= n; ++c) {
                const std::size_t r = (n + c - 1) / c;
                const double s = std::min(w0 / static_cast<double>(c) / w0, h0 / static_cast<double>(r) / h0);
                if (s > best + 1e-12) {
                    best = s;
                    cols = c;
                }
            }
            cellW = w0 / static_cast<double>(cols);
            cellH = h0 / static_cast<double>((n + cols - 1) / cols);
        } else {
            expand = false;
            cols = static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n))));
            for (const auto& [w, h] : sizes) {
                cellW = std::max(cellW, w);
                cellH = std::max(cellH, h);
            }
            width = cellW * static_cast<double>(cols);
            height = cellH * static_cast<double>((n + cols - 1) / cols);
            if (width > 14400 || height > 14400) {
                notes.push_back("One page (no scale): the sheet is " + num(width) + " x " + num(height) +
                                " points, larger than many viewers show (14400)");
            }
        }
        Sheet s{width, height, {}};
        for (std::size_t i = 0; i < n; ++i) {
            const double x = cellW * static_cast<double>(i % cols);
            const double top = height - cellH * static_cast<double>(i / cols);
            s.cells.emplace_back(i, Rect(x, top - cellH, x + cellW, top));
        }
        sheets.push_back(std::move(s));
    }

    PageRemap remap;
    CancelPoll poll(16);
    std::vector<QPDFObjectHandle> made;
    geometry::MovedAnnotations moved;
    for (const auto& sheet : sheets) {
        QPDFObjectHandle page = out.makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Page >>"));
        page.replaceKey("/MediaBox",
                        QPDFObjectHandle::newFromRectangle(Rect(0, 0, sheet.width, sheet.height)));
        QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
        page.replaceKey("/Resources", QPDFObjectHandle::parse("<< >>"));
        page.getKey("/Resources").replaceKey("/XObject", xobjects);
        QPDFPageObjectHelper sheetHelper(page);
        std::string content;
        std::vector<QPDFObjectHandle> annots;
        int placed = 0;
        for (const auto& [index, rect] : sheet.cells) {
            poll();
            QPDFObjectHandle src = pages[index];
            // A form's content must restore what it saves, or it unsettles the sheet around it.
            geometry::balanceContents(QPDFPageObjectHelper(src));
            QPDFObjectHandle form = QPDFPageObjectHelper(src).getFormXObjectForPage();
            const std::string name = "/Fx" + std::to_string(++placed);
            xobjects.replaceKey(name, form);
            QPDFMatrix cm;
            content += sheetHelper.placeFormXObject(form, name, rect, cm, true, true, expand);
            // Annotations follow their page: moved by the placement (which includes the
            // page's own /Rotate) and handed to the sheet.
            QPDFObjectHandle srcAnnots = src.getKey("/Annots");
            if (srcAnnots.isArray() && srcAnnots.getArrayNItems() > 0) {
                geometry::transformAnnotations(src, formToPage(form, cm), moved);
                for (auto& annot : src.getKey("/Annots").aitems()) {
                    if (annot.isDictionary()) {
                        annot.replaceKey("/P", page);
                        annots.push_back(annot);
                    }
                }
            }
            remap.emplace(src.getObjGen(), page);
        }
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&out, content));
        if (!annots.empty()) {
            page.replaceKey("/Annots", QPDFObjectHandle::newArray(annots));
        }
        made.push_back(page);
    }
    replacePageList(out, made);
    remapLinks(out, remap);
    remapOutline(outline, remap);
}

} // namespace plait::pdf

#include "pdfengine/compose/Compose.h"

#include "pdfengine/Cancel.h"
#include "pdfengine/EngineError.h"
#include "pdfengine/PageList.h"
#include "pdfengine/PdfNumber.h"
#include "pdfengine/compose/ComposeSupport.h"
#include "pdfengine/geometry/Annotations.h"
#include "pdfengine/geometry/ContentBalance.h"

#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDFAcroFormDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

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

using namespace compose;
using Rect = QPDFObjectHandle::Rectangle;

std::string num(double v) {
    return pdfNumber(v, 4);
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
             const ComposeOptions& options, QPDFObjectHandle gs, geometry::StateBalance balance,
             int& fieldsLeft) {
    QPDFPageObjectHelper helper(page);
    // The layers are drawn before or after the page's content, in its default space.
    geometry::balanceContents(helper, balance);
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

// The base pages that receive overlays, each once, in the order the list gives.
std::vector<int> receivingPages(const ComposeOptions& options, std::size_t basePages,
                                std::vector<std::string>& notes) {
    const PageList& list = options.overlayPages;
    bool outOfRange = false;
    std::vector<int> receiving;
    std::set<int> seen;
    for (int index : list.resolve(static_cast<int>(basePages), &outOfRange)) {
        if (seen.insert(index).second) {
            receiving.push_back(index);
        }
    }
    if (outOfRange) {
        notes.push_back(
            "Overlay pages: the list names pages the first input does not have; those were skipped");
    }
    return receiving;
}

// The pages of one overlay input laid, as forms, onto the receiving base pages in turn
// (round again when repeating). Its pages all leave the output; the ones laid are shown by
// their base page from now on.
void layInput(const std::vector<QPDFObjectHandle>& over, const std::vector<QPDFObjectHandle>& base,
              const std::vector<int>& receiving, const ComposeOptions& options,
              std::vector<std::vector<Layer>>& layers, PageRemap& remap,
              std::vector<QPDFObjectHandle>& removed, int& unused) {
    std::vector<QPDFObjectHandle> forms(over.size());
    // The saves and restores of the pages laid are counted first, all together.
    std::vector<std::size_t> laid;
    std::vector<char> seen(over.size(), 0);
    for (std::size_t r = 0; r < receiving.size() && !over.empty(); ++r) {
        const std::size_t k = options.repeat ? r % over.size() : r;
        if (k >= over.size())
            break;
        if (!seen[k]) {
            seen[k] = 1;
            laid.push_back(k);
        }
    }
    std::vector<QPDFPageObjectHelper> laidPages;
    for (std::size_t k : laid)
        laidPages.emplace_back(over[k]);
    const std::vector<geometry::StateBalance> counted = geometry::countStates(laidPages);
    std::vector<geometry::StateBalance> balance(over.size());
    for (std::size_t j = 0; j < laid.size(); ++j)
        balance[laid[j]] = counted[j];
    for (std::size_t r = 0; r < receiving.size() && !over.empty(); ++r) {
        const std::size_t k = options.repeat ? r % over.size() : r;
        if (k >= over.size()) {
            break;
        }
        if (!forms[k].isInitialized()) {
            geometry::balanceContents(QPDFPageObjectHelper(over[k]), balance[k]);
            forms[k] = QPDFPageObjectHelper(over[k]).getFormXObjectForPage();
            if (options.blends() && !options.reverse) {
                makeGroup(forms[k]);
            }
            remap.emplace(over[k].getObjGen(), base[static_cast<std::size_t>(receiving[r])]);
        }
        layers[static_cast<std::size_t>(receiving[r])].push_back({forms[k], over[k]});
    }
    for (std::size_t k = 0; k < over.size(); ++k) {
        if (!forms[k].isInitialized()) {
            ++unused;
            remap.emplace(over[k].getObjGen(), QPDFObjectHandle::newNull());
        }
        removed.push_back(over[k]);
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
    const std::vector<int> receiving = receivingPages(options, base.size(), notes);

    std::vector<std::vector<Layer>> layers(base.size());
    std::vector<QPDFObjectHandle> removed;
    PageRemap remap;
    for (std::size_t i = 1; i < inputs.size(); ++i) {
        int unused = 0;
        layInput(pagesOf(inputs[i]), base, receiving, options, layers, remap, removed, unused);
        if (unused > 0) {
            notes.push_back(inputs[i].name + ": " + std::to_string(unused) +
                            " of its pages had no page to be laid on and were left out");
        }
    }

    const QPDFObjectHandle gs = options.blends() ? graphicsState(out, options) : QPDFObjectHandle::newNull();
    // The saves and restores of the pages that receive layers are counted first, all together.
    std::vector<QPDFPageObjectHelper> receivers;
    for (std::size_t p = 0; p < base.size(); ++p) {
        if (!layers[p].empty())
            receivers.emplace_back(base[p]);
    }
    const std::vector<geometry::StateBalance> balances = geometry::countStates(receivers);
    int fieldsLeft = 0;
    CancelPoll poll(16);
    std::size_t next = 0;
    for (std::size_t p = 0; p < base.size(); ++p) {
        poll();
        if (!layers[p].empty()) {
            layPage(out, base[p], layers[p], options, gs, balances[next++], fieldsLeft);
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

} // namespace plait::pdf

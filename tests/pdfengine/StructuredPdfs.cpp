#include "StructuredPdfs.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <stdexcept>

namespace plait::pdf::testing {
namespace {

using OH = QPDFObjectHandle;

OH parse(const std::string& text) {
    return OH::parse(text);
}
OH array(std::vector<OH> items) {
    return OH::newArray(items);
}
OH fit(const OH& page) {
    return array({page, OH::newName("/Fit")});
}

// A document under construction: pages with their text, and the pieces several structures
// share (page content, the /Names dictionary, annotations, the outline), put together at the end.
class Doc {
public:
    Doc(Structure structure, int variant) : structure_(structure), variant_(variant) {
        pdf_.emptyPDF();
        font_ = pdf_.makeIndirectObject(
            parse("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"));
        QPDFPageDocumentHelper helper(pdf_);
        for (int k = 1; k <= structuredPageCount(structure); ++k) {
            OH page = pdf_.makeIndirectObject(parse("<< /Type /Page /MediaBox [0 0 612 792] >>"));
            OH resources = parse("<< /Font << >> >>");
            resources.getKey("/Font").replaceKey("/F1", font_);
            page.replaceKey("/Resources", resources);
            helper.addPage(QPDFPageObjectHelper(page), false);
            extraContent_.emplace_back();
        }
        pages_ = pdf_.getAllPages();
    }

    QPDF& pdf() { return pdf_; }
    OH root() { return pdf_.getRoot(); }
    OH page(int k) { return pages_.at(static_cast<std::size_t>(k - 1)); }
    int variant() const { return variant_; }
    OH indirect(const std::string& text) { return pdf_.makeIndirectObject(parse(text)); }
    OH indirect(OH object) { return pdf_.makeIndirectObject(object); }

    // The catalog's /Names dictionary, made on first use.
    OH names() {
        if (!root().hasKey("/Names"))
            root().replaceKey("/Names", pdf_.makeIndirectObject(OH::newDictionary()));
        return root().getKey("/Names");
    }
    void annotate(int k, OH annot) {
        annot = annot.isIndirect() ? annot : pdf_.makeIndirectObject(annot);
        annot.replaceKey("/P", page(k));
        if (!page(k).hasKey("/Annots"))
            page(k).replaceKey("/Annots", OH::newArray());
        page(k).getKey("/Annots").appendItem(annot);
    }
    // Content drawn after the page's own text.
    void draw(int k, const std::string& content) {
        extraContent_.at(static_cast<std::size_t>(k - 1)) += content;
    }
    // An outline item at the top level; `item` holds its /A or /Dest.
    void outline(const std::string& title, OH item) {
        item.replaceKey("/Title", OH::newUnicodeString(title));
        outline_.push_back(pdf_.makeIndirectObject(item));
    }
    // Each page's own text is marked as the paragraph with MCID 0 of the page.
    void markPageText(std::vector<std::string> tags) { markTags_ = std::move(tags); }

    std::string write(const std::filesystem::path& path) {
        for (int k = 1; k <= static_cast<int>(pages_.size()); ++k) {
            std::string text =
                "BT /F1 20 Tf 40 700 Td (" + structuredPageText(structure_, variant_, k) + ") Tj ET\n";
            if (k <= static_cast<int>(markTags_.size()))
                text =
                    "/" + markTags_[static_cast<std::size_t>(k - 1)] + " <</MCID 0>> BDC\n" + text + "EMC\n";
            page(k).replaceKey("/Contents",
                               OH::newStream(&pdf_, text + extraContent_[static_cast<std::size_t>(k - 1)]));
        }
        if (!outline_.empty()) {
            OH outlines = pdf_.makeIndirectObject(parse("<< /Type /Outlines >>"));
            for (std::size_t i = 0; i < outline_.size(); ++i) {
                outline_[i].replaceKey("/Parent", outlines);
                if (i > 0)
                    outline_[i].replaceKey("/Prev", outline_[i - 1]);
                if (i + 1 < outline_.size())
                    outline_[i].replaceKey("/Next", outline_[i + 1]);
            }
            outlines.replaceKey("/First", outline_.front());
            outlines.replaceKey("/Last", outline_.back());
            outlines.replaceKey("/Count", OH::newInteger(static_cast<long long>(outline_.size())));
            root().replaceKey("/Outlines", outlines);
        }
        QPDFWriter w(pdf_, path.c_str());
        w.setStaticID(true);
        w.setDeterministicID(false);
        w.write();
        return path.string();
    }

private:
    Structure structure_;
    int variant_;
    QPDF pdf_;
    OH font_;
    std::vector<OH> pages_;
    std::vector<std::string> extraContent_;
    std::vector<OH> outline_;
    std::vector<std::string> markTags_;
};

std::string pdfString(const std::string& s) {
    return OH::newString(s).unparse();
}

// A text field "spread" whose two widgets sit on pages 1 and 2, a field "single" that is its
// own widget, and a note that is no widget.
void addForm(Doc& d) {
    const std::string value = "filled " + std::to_string(d.variant());
    OH spread = d.indirect("<< /FT /Tx /T (" + std::string(kSpreadField) + ") /V " + pdfString(value) +
                           " /DA (/Helv 12 Tf 0 g) /Kids [] >>");
    for (int k : {1, 2}) {
        OH widget = d.indirect("<< /Type /Annot /Subtype /Widget /Rect [40 600 300 630] /F 4 >>");
        widget.replaceKey("/Parent", spread);
        spread.getKey("/Kids").appendItem(widget);
        d.annotate(k, widget);
    }
    OH single = d.indirect("<< /Type /Annot /Subtype /Widget /FT /Tx /T (" + std::string(kSingleField) +
                           ") /V (alone) /DA (/Helv 12 Tf 0 g) /Rect [40 500 300 530] /F 4 >>");
    d.annotate(1, single);
    d.annotate(2, parse("<< /Type /Annot /Subtype /Text /Rect [400 700 420 720] /Contents (a note) >>"));
    OH helv = d.indirect("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>");
    OH form = parse("<< /DA (/Helv 0 Tf 0 g) /DR << /Font << >> >> >>");
    form.getKey("/DR").getKey("/Font").replaceKey("/Helv", helv);
    form.replaceKey("/Fields", array({spread, single}));
    d.root().replaceKey("/AcroForm", form);
}

// Outline items whose actions are written inline (of every common type) and one whose action
// is an object of its own.
void addOutline(Doc& d) {
    d.outline("Web", parse("<< /A << /S /URI /URI (https://example.org/) >> >>"));
    d.outline("Script", parse("<< /A << /S /JavaScript /JS (app.alert\\('outline'\\);) >> >>"));
    d.outline("Next page", parse("<< /A << /S /Named /N /NextPage >> >>"));
    d.outline("Other file", parse("<< /A << /S /GoToR /F (other.pdf) /D [0 /Fit] >> >>"));
    OH inlineGoTo = parse("<< /A << /S /GoTo >> >>");
    inlineGoTo.getKey("/A").replaceKey("/D", fit(d.page(2)));
    d.outline("Inline page 2", inlineGoTo);
    OH action = d.indirect("<< /S /GoTo >>");
    action.replaceKey("/D", fit(d.page(3)));
    OH indirectGoTo = OH::newDictionary();
    indirectGoTo.replaceKey("/A", action);
    d.outline("Indirect page 3", indirectGoTo);
}

// i, ii, 1, 2, X-1, X-2.
void addPageLabels(Doc& d) {
    d.root().replaceKey("/PageLabels",
                        parse("<< /Nums [0 << /S /r >> 2 << /S /D >> 4 << /S /D /P (X-) /St 1 >>] >>"));
}

// A layer that is off by default: text on page 1 and a red square annotation belong to it.
void addHiddenLayer(Doc& d) {
    OH ocg = d.indirect("<< /Type /OCG /Name (" + std::string(kHiddenLayerName) + ") >>");
    OH properties = parse("<< /OCGs [] /D << /Order [] /OFF [] /BaseState /ON >> >>");
    properties.getKey("/OCGs").appendItem(ocg);
    properties.getKey("/D").getKey("/Order").appendItem(ocg);
    properties.getKey("/D").getKey("/OFF").appendItem(ocg);
    d.root().replaceKey("/OCProperties", properties);
    OH resources = d.page(1).getKey("/Resources");
    resources.replaceKey("/Properties", OH::newDictionary());
    resources.getKey("/Properties").replaceKey("/oc1", ocg);
    d.draw(1, "/OC /oc1 BDC\nBT /F1 20 Tf 40 300 Td (" + std::string(kHiddenText) + ") Tj ET\nEMC\n");
    OH square = parse("<< /Type /Annot /Subtype /Square /Rect [300 300 400 400] /C [1 0 0] /F 4 >>");
    square.replaceKey("/OC", ocg);
    d.annotate(1, square);
}

void addAttachments(Doc& d) {
    QPDFEmbeddedFileDocumentHelper files(d.pdf());
    const std::string v = std::to_string(d.variant());
    const std::vector<std::string> names = d.variant() == 1
                                               ? std::vector<std::string>{"data.csv", "notes.txt"}
                                               : std::vector<std::string>{"notes.txt", "other.txt"};
    for (const auto& name : names) {
        auto stream = QPDFEFStreamObjectHelper::createEFStream(d.pdf(), name + " of variant " + v + "\n");
        stream.setSubtype("text/plain");
        files.replaceEmbeddedFile(name, QPDFFileSpecObjectHelper::createFileSpec(d.pdf(), name, stream));
    }
}

void addViewerSettings(Doc& d) {
    const bool first = d.variant() == 1;
    d.root().replaceKey("/ViewerPreferences", parse(first ? "<< /HideToolbar true /DisplayDocTitle true >>"
                                                          : "<< /FitWindow true >>"));
    d.root().replaceKey("/PageMode", OH::newName(first ? "/UseOutlines" : "/UseThumbs"));
    d.root().replaceKey("/PageLayout", OH::newName(first ? "/TwoColumnLeft" : "/SinglePage"));
    d.root().replaceKey("/OpenAction", fit(d.page(first ? 2 : 3)));
    d.root().replaceKey("/Lang", OH::newString(first ? "en-GB" : "fr-FR"));
}

void addDocumentScript(Doc& d) {
    const std::string v = std::to_string(d.variant());
    OH script = d.indirect("<< /S /JavaScript /JS (var plaitVariant = " + v + ";) >>");
    OH tree = parse("<< /Names [(init)] >>");
    tree.getKey("/Names").appendItem(script);
    d.names().replaceKey("/JavaScript", tree);
    d.root().replaceKey("/AA",
                        parse("<< /WC << /S /JavaScript /JS (app.alert\\('closing " + v + "'\\);) >> >>"));
}

void addNamedDestinations(Doc& d) {
    const int chapterPage = d.variant() == 1 ? 2 : 3;
    OH intro = parse("<< /D [null /XYZ null null null] >>");
    intro.getKey("/D").setArrayItem(0, d.page(1));
    OH tree = OH::newDictionary();
    tree.replaceKey("/Names", array({OH::newString("chapter"), fit(d.page(chapterPage)),
                                     OH::newString("intro"), d.indirect(intro)}));
    d.names().replaceKey("/Dests", tree);
    OH old = OH::newDictionary();
    old.replaceKey("/appendix", fit(d.page(3)));
    d.root().replaceKey("/Dests", d.indirect(old));
    d.annotate(
        1, parse("<< /Type /Annot /Subtype /Link /Rect [40 100 200 120] /Border [0 0 0] /Dest (chapter) >>"));
    d.annotate(
        1, parse("<< /Type /Annot /Subtype /Link /Rect [40 60 200 80] /Border [0 0 0] /Dest /appendix >>"));
    d.outline("To chapter", parse("<< /Dest (chapter) >>"));
    d.outline("To appendix", parse("<< /Dest /appendix >>"));
}

void addThreads(Doc& d) {
    OH thread = d.indirect("<< /Type /Thread /I << /Title (Story) >> >>");
    OH first = d.indirect("<< /Type /Bead /R [40 400 300 700] >>");
    OH second = d.indirect("<< /Type /Bead /R [40 400 300 700] >>");
    first.replaceKey("/T", thread);
    first.replaceKey("/N", second);
    first.replaceKey("/V", second);
    first.replaceKey("/P", d.page(1));
    second.replaceKey("/N", first);
    second.replaceKey("/V", first);
    second.replaceKey("/P", d.page(2));
    thread.replaceKey("/F", first);
    d.page(1).replaceKey("/B", array({first}));
    d.page(2).replaceKey("/B", array({second}));
    d.root().replaceKey("/Threads", array({thread}));
}

// Document > Para (a role of this file, mapped to P) on page 1, P on page 2; each marks the
// page's own text as MCID 0.
void addTagged(Doc& d) {
    OH root = d.indirect("<< /Type /StructTreeRoot /RoleMap << /Para /P >> /ParentTreeNextKey 2"
                         " /ClassMap << /Stressed << /O /Layout /SpaceBefore 6 >> >> >>");
    OH document = d.indirect("<< /Type /StructElem /S /Document /K [] >>");
    document.replaceKey("/P", root);
    root.replaceKey("/K", document);
    OH nums = OH::newArray();
    const std::vector<std::string> tags = {"Para", "P"};
    for (int k : {1, 2}) {
        OH p = d.indirect("<< /Type /StructElem /S /" + tags[static_cast<std::size_t>(k - 1)] + " /K 0 >>");
        if (k == 1)
            p.replaceKey("/C", OH::newName("/Stressed"));
        p.replaceKey("/P", document);
        p.replaceKey("/Pg", d.page(k));
        document.getKey("/K").appendItem(p);
        d.page(k).replaceKey("/StructParents", OH::newInteger(k - 1));
        nums.appendItem(OH::newInteger(k - 1));
        nums.appendItem(array({p}));
    }
    OH parentTree = OH::newDictionary();
    parentTree.replaceKey("/Nums", nums);
    root.replaceKey("/ParentTree", d.indirect(parentTree));
    d.root().replaceKey("/StructTreeRoot", root);
    d.root().replaceKey("/MarkInfo", parse("<< /Marked true >>"));
    d.markPageText(tags);
}

} // namespace

const std::vector<Structure>& allStructures() {
    static const std::vector<Structure> all = {Structure::Form,
                                               Structure::Outline,
                                               Structure::PageLabels,
                                               Structure::HiddenLayer,
                                               Structure::Attachments,
                                               Structure::ViewerSettings,
                                               Structure::DocumentScript,
                                               Structure::NamedDestinations,
                                               Structure::Threads,
                                               Structure::Tagged,
                                               Structure::All};
    return all;
}

std::string structureName(Structure structure) {
    switch (structure) {
    case Structure::Form:
        return "form";
    case Structure::Outline:
        return "outline";
    case Structure::PageLabels:
        return "labels";
    case Structure::HiddenLayer:
        return "layer";
    case Structure::Attachments:
        return "attachments";
    case Structure::ViewerSettings:
        return "viewer";
    case Structure::DocumentScript:
        return "script";
    case Structure::NamedDestinations:
        return "dests";
    case Structure::Threads:
        return "threads";
    case Structure::Tagged:
        return "tagged";
    case Structure::All:
        return "all";
    }
    throw std::logic_error("unknown structure");
}

int structuredPageCount(Structure structure) {
    return structure == Structure::PageLabels || structure == Structure::All ? 6 : 3;
}

std::string structuredPageText(Structure structure, int variant, int page) {
    return structureName(structure) + (variant == 2 ? "Two " : " ") + std::to_string(page);
}

std::string makeStructuredPdf(const std::filesystem::path& path, Structure structure, int variant) {
    Doc d(structure, variant);
    const auto wants = [&](Structure s) { return structure == s || structure == Structure::All; };
    if (wants(Structure::Form))
        addForm(d);
    if (wants(Structure::Outline))
        addOutline(d);
    if (wants(Structure::PageLabels))
        addPageLabels(d);
    if (wants(Structure::HiddenLayer))
        addHiddenLayer(d);
    if (wants(Structure::Attachments))
        addAttachments(d);
    if (wants(Structure::ViewerSettings))
        addViewerSettings(d);
    if (wants(Structure::DocumentScript))
        addDocumentScript(d);
    if (wants(Structure::NamedDestinations))
        addNamedDestinations(d);
    if (wants(Structure::Threads))
        addThreads(d);
    if (wants(Structure::Tagged))
        addTagged(d);
    return d.write(path);
}

} // namespace plait::pdf::testing

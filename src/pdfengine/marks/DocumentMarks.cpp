#include "MarkSteps.h"

#include "engine/RegularFile.h"
#include "engine/TagReader.h"
#include "pdfengine/Text.h"

#include <qpdf/QPDFEFStreamObjectHelper.hh>
#include <qpdf/QPDFEmbeddedFileDocumentHelper.hh>
#include <qpdf/QPDFFileSpecObjectHelper.hh>

#include <algorithm>
#include <filesystem>
#include <set>

namespace plait::pdf::marks {
namespace {

QPDFObjectHandle rect(double llx, double lly, double urx, double ury) {
    return QPDFObjectHandle::newFromRectangle({llx, lly, urx, ury});
}

// The user-space rectangle covering a rectangle given in displayed page coordinates.
QPDFObjectHandle::Rectangle toUser(const PageFrame& f, double x1, double y1, double x2, double y2) {
    const auto a = apply(f.toUser, x1, y1), b = apply(f.toUser, x2, y2);
    return {std::min(a[0], b[0]), std::min(a[1], b[1]), std::max(a[0], b[0]), std::max(a[1], b[1])};
}

void addAnnotation(QPDFObjectHandle page, QPDFObjectHandle annot) {
    QPDFObjectHandle annots = page.getKey("/Annots");
    if (!annots.isArray()) {
        annots = QPDFObjectHandle::newArray();
        page.replaceKey("/Annots", annots);
    }
    annots.appendItem(annot);
}

// Side of a note's icon in points, as readers draw it.
constexpr double kNoteIcon = 20;

// A note's icon: a yellow sheet with lines of text.
QPDFObjectHandle noteIcon(QPDF& pdf) {
    auto icon =
        QPDFObjectHandle::newStream(&pdf, "1 1 0 rg 0 G 1 w 0.5 0.5 19 19 re B\n"
                                          "0.6 w 4 14.5 m 16 14.5 l 4 10.5 m 16 10.5 l 4 6.5 m 12 6.5 l S\n");
    icon.replaceDict(QPDFObjectHandle::parse("<< /Type /XObject /Subtype /Form /BBox [0 0 20 20] >>"));
    return icon;
}

} // namespace

void notes(Context& c, const std::string& markup) {
    bool any = false;
    QPDFObjectHandle icon;
    for (const auto& tag : engine::TagReader::parseAll(markup)) {
        if (text::lower(tag.name) != "a")
            continue;
        auto param = [&](std::string_view name) {
            for (const auto& [k, v] : tag.attributes)
                if (text::lower(k) == text::lower(name))
                    return v;
            return std::string();
        };
        any = true;
        const double x1 = numberOr(c, param("X1"), 72, "Note X1"),
                     y1 = numberOr(c, param("Y1"), 288, "Note Y1");
        const double x2 = numberOr(c, param("X2"), 288, "Note X2"),
                     y2 = numberOr(c, param("Y2"), 72, "Note Y2");
        for (int i : pagesOf(c, param("PAGES"), "Note")) {
            QPDFObjectHandle page = c.pdf.getAllPages().at(static_cast<std::size_t>(i));
            const PageFrame frame = pageFrame(page);
            // The icon sits in the top-left corner of the rectangle asked for, at the size
            // readers draw it; a larger rectangle would leave each reader to pick its own spot.
            // The note does not turn with the page (NoRotate): readers keep the top-left corner
            // of its rectangle, in the page's own space, where it is and draw the icon upright
            // from there, so that corner is the one placed.
            const double left = std::min(x1, x2), top = std::max(y1, y2);
            const auto corner = apply(frame.toUser, left, top);
            const QPDFObjectHandle::Rectangle r{corner[0], corner[1] - kNoteIcon, corner[0] + kNoteIcon,
                                                corner[1]};
            auto note = QPDFObjectHandle::newDictionary();
            note.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
            note.replaceKey("/Subtype", QPDFObjectHandle::newName("/Text"));
            note.replaceKey("/Rect", rect(r.llx, r.lly, r.urx, r.ury));
            note.replaceKey("/T", QPDFObjectHandle::newUnicodeString(param("TITLE")));
            note.replaceKey("/Contents", QPDFObjectHandle::newUnicodeString(param("NOTE")));
            note.replaceKey("/Name", QPDFObjectHandle::newName("/Note"));
            note.replaceKey("/Open", QPDFObjectHandle::newBool(false));
            note.replaceKey("/F", QPDFObjectHandle::newInteger(4 | 8 | 16)); // print, no zoom, no rotate
            note.replaceKey("/C", QPDFObjectHandle::parse("[1 1 0]"));
            note.replaceKey("/P", page);
            note.replaceKey("/AP", QPDFObjectHandle::newDictionary());
            if (!icon.isInitialized())
                icon = noteIcon(c.pdf); // one drawing serves every note
            note.getKey("/AP").replaceKey("/N", icon);
            note = c.pdf.makeIndirectObject(note);
            // The popup opens beside the note, inside the page as far as it fits.
            auto popup = QPDFObjectHandle::newDictionary();
            popup.replaceKey("/Type", QPDFObjectHandle::newName("/Annot"));
            popup.replaceKey("/Subtype", QPDFObjectHandle::newName("/Popup"));
            const double px = std::min(left + kNoteIcon + 10, std::max(0.0, frame.width - 200));
            const double py = std::max(0.0, top - 120);
            const auto pr = toUser(frame, px, py, px + 200, py + 120);
            popup.replaceKey("/Rect", rect(pr.llx, pr.lly, pr.urx, pr.ury));
            popup.replaceKey("/Parent", note);
            popup.replaceKey("/Open", QPDFObjectHandle::newBool(false));
            popup.replaceKey("/P", page);
            popup = c.pdf.makeIndirectObject(popup);
            note.replaceKey("/Popup", popup);
            addAnnotation(page, note);
            addAnnotation(page, popup);
        }
    }
    if (!any)
        c.notes.push_back("Notes: the markup holds no <A> tag; no note was made");
}

void attachments(Context& c, const std::string& markup) {
    QPDFEmbeddedFileDocumentHelper files(c.pdf);
    std::set<std::string> used;
    for (const auto& [key, _] : files.getEmbeddedFiles())
        used.insert(key);
    for (const auto& tag : engine::TagReader::parseAll(markup)) {
        if (text::lower(tag.name) != "embed")
            continue;
        std::string src, descr;
        for (const auto& [k, v] : tag.attributes) {
            if (text::lower(k) == "src")
                src = v;
            else if (text::lower(k) == "descr")
                descr = v;
        }
        src = std::string(text::trim(src));
        if (src.empty())
            continue;
        std::string reason;
        const std::optional<std::string> data =
            engine::readRegularFile(src, engine::kMaxEmbeddedFileBytes, reason);
        if (!data) {
            c.notes.push_back("Attachment " + src + " cannot be read (" + reason + "); it was left out");
            continue;
        }
        const std::string name = std::filesystem::path(src).filename().string();
        std::string key = name;
        for (int n = 2; used.count(key); ++n)
            key = name + " (" + std::to_string(n) + ")";
        used.insert(key);
        auto stream = QPDFEFStreamObjectHelper::createEFStream(c.pdf, *data);
        auto fileSpec = QPDFFileSpecObjectHelper::createFileSpec(c.pdf, key, stream);
        if (!descr.empty())
            fileSpec.setDescription(descr);
        files.replaceEmbeddedFile(key, fileSpec);
    }
}

void openAction(Context& c, bool print, bool mail) {
    std::string js;
    if (print)
        js += "this.print({bUI:true});";
    if (mail)
        js += std::string(js.empty() ? "" : "\n") + "this.mailDoc(true);";
    auto action = QPDFObjectHandle::newDictionary();
    action.replaceKey("/Type", QPDFObjectHandle::newName("/Action"));
    action.replaceKey("/S", QPDFObjectHandle::newName("/JavaScript"));
    action.replaceKey("/JS", QPDFObjectHandle::newString(js));
    c.pdf.getRoot().replaceKey("/OpenAction", c.pdf.makeIndirectObject(action));
}

} // namespace plait::pdf::marks

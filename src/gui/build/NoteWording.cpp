#include "NoteWording.h"

#include <QHash>
#include <QRegularExpression>

namespace plait::gui {

namespace {

// Each engine operation, as the option on the settings tabs (or main window) that asks for it.
const QHash<QString, QString>& optionNames() {
    static const QHash<QString, QString> names{
        {"setImgDir", "Image export folder"},
        {"setNoPrint", "Security: Disable Printing"},
        {"setNoChange", "Security: Disable Changes"},
        {"setNoCopy", "Security: Disable Text/Graphic Copying"},
        {"setNoAnnote", "Security: Disable Add/Change of Annotations"},
        {"setNoFillIn", "Security: Disable Fillin/Annotations"},
        {"setNoAssemble", "Security: Disable Assembly"},
        {"setNoDigital", "Security: Disable Hi-Res Printing"},
        {"setOpen", "Security: open password"},
        {"setOwner", "Security: permissions password"},
        {"setUser", "Security: open password"},
        {"setPwdList", "Input passwords"},
        {"setPageNumOutside", "Page Numbers: outside edge"},
        {"setPageNum", "Page Numbers"},
        {"setPageNumAlign", "Page Numbers: Align on Page"},
        {"setPageLMargin", "Page Numbers: margin"},
        {"setPageBMargin", "Page Numbers: margin"},
        {"setPageFmt", "Page Numbers: format"},
        {"setPageNumStyle", "Page Numbers: style"},
        {"setFontSize", "Page Numbers: font size"},
        {"setOverlay", "Overlay"},
        {"setRepeat", "Repeat"},
        {"setRevOverlay", "Overlay: Reverse Overlay"},
        {"setAutoRotate", "Overlay: Auto Rotate"},
        {"setTransparency", "Overlay: Transparency"},
        {"setOverlayPages", "Overlay: pages"},
        {"setMail", "Sending by mail"},
        {"setPrint", "Printing"},
        {"setBookmarkKeep", "Bookmarks: keep the inputs' bookmarks"},
        {"setBookmarkOut", "Bookmarks"},
        {"setBookmarkFile", "Bookmarks: bookmark file"},
        {"setOutFile", "Output File"},
        {"setInFile", "Input file"},
        {"setAnnotesFile", "Notes"},
        {"setEmbedFile", "Attachments"},
        {"setStrFileIn", "Text file"},
        {"setImpose", "Imposition"},
        {"setOnePage", "Imposition"},
        {"setPageScale", "Page Size: scale"},
        {"setPageDown", "Page Size: offset down"},
        {"setPageRight", "Page Size: offset right"},
        {"setAngle", "Page Size: rotation"},
        {"setPageCenter", "Page Size: centre"},
        {"setUnits", "Page Size: units"},
        {"setPageSize", "Page Size"},
        {"setAutoScale", "Page Size: automatic scaling"},
        {"setMediaBox", "Page Size Advanced: Media Box"},
        {"setCropBox", "Page Size Advanced: Crop Box"},
        {"setBleedBox", "Page Size Advanced: Bleed Box"},
        {"setArtBox", "Page Size Advanced: Art Box"},
        {"setTrimBox", "Page Size Advanced: Trim Box"},
        {"setSort", "Sort order"},
        {"setString", "Highlights"},
        {"setStringChange", "Highlights: replace"},
        {"setStringColorMode", "Highlights: marking"},
        {"setStringColor", "Highlights: colour"},
        {"setTitle", "Description: Title"},
        {"setSubject", "Description: Subject"},
        {"setAuthor", "Description: Author"},
        {"setProducer", "Description: Producer"},
        {"setKeywords", "Description: Keywords"},
        {"setAttribute", "Description: custom name and value"},
        {"setCmds", "Text"},
        {"setStamp", "Stamps"},
        {"setStampText", "Stamps: text"},
        {"setMediaPlay", "Media: play"},
        {"setMediaRepeat", "Media: repeat"},
        {"setPages", "Pages"},
        {"setTags", "Text"},
        {"setFileDataS", "File data"},
        {"setImageReduce", "Reduce Images"},
    };
    return names;
}

} // namespace

QString noteInUserWords(const QString& note) {
    QString text = note.trimmed();
    static const QRegularExpression leading(QStringLiteral("^(set[A-Za-z]+): "));
    if (const auto l = leading.match(text); l.hasMatch() && optionNames().contains(l.captured(1))) {
        text = optionNames().value(l.captured(1)) + QStringLiteral(": ") + text.mid(l.capturedEnd(0));
    }
    if (text.endsWith(QLatin1String("; ignored"))) {
        text.chop(static_cast<int>(QStringLiteral("; ignored").size()));
        text += QStringLiteral(". This was left out of the build.");
    }
    return text;
}

} // namespace plait::gui

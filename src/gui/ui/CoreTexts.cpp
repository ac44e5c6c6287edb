#include "CoreTexts.h"

#include <QCoreApplication>

namespace plait::gui {

QString coreText(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    return QCoreApplication::translate(kCoreTextContext, text.c_str());
}

namespace {

// What lupdate is to collect from the logic: the main window's captions and menu entries, the
// settings dialog's frame, the messages of the boxes a build and the main window show, and the
// fixed texts of the status bar.
[[maybe_unused]] constexpr const char* kTexts[] = {
    QT_TRANSLATE_NOOP("plait::core", "PDF Plait"),
    QT_TRANSLATE_NOOP("plait::core", "&File"),
    QT_TRANSLATE_NOOP("plait::core", "Add &File..."),
    QT_TRANSLATE_NOOP("plait::core", "&Open..."),
    QT_TRANSLATE_NOOP("plait::core", "&Save"),
    QT_TRANSLATE_NOOP("plait::core", "Save &As..."),
    QT_TRANSLATE_NOOP("plait::core", "&View Selected File"),
    QT_TRANSLATE_NOOP("plait::core", "&Remove Selected File"),
    QT_TRANSLATE_NOOP("plait::core", "R&emove All"),
    QT_TRANSLATE_NOOP("plait::core", "Add O&utput File"),
    QT_TRANSLATE_NOOP("plait::core", "&Display Output"),
    QT_TRANSLATE_NOOP("plait::core", "&Build PDF"),
    QT_TRANSLATE_NOOP("plait::core", "E&xit"),
    QT_TRANSLATE_NOOP("plait::core", "&Options"),
    QT_TRANSLATE_NOOP("plait::core", "&Settings..."),
    QT_TRANSLATE_NOOP("plait::core", "&Help"),
    QT_TRANSLATE_NOOP("plait::core", "&PDF Manual"),
    QT_TRANSLATE_NOOP("plait::core", "&About PDF Plait..."),
    QT_TRANSLATE_NOOP("plait::core", "Output File"),
    QT_TRANSLATE_NOOP("plait::core", "View"),
    QT_TRANSLATE_NOOP("plait::core", "Auto Open in Default PDF Viewer"),
    QT_TRANSLATE_NOOP("plait::core", "Build Settings"),
    QT_TRANSLATE_NOOP("plait::core", "&OK"),
    QT_TRANSLATE_NOOP("plait::core", "&Reset All"),
    QT_TRANSLATE_NOOP("plait::core", "Error"),
    QT_TRANSLATE_NOOP("plait::core", "Please enter at least one input file."),
    QT_TRANSLATE_NOOP("plait::core", "Cannot have an input file with same name as output file."),
    QT_TRANSLATE_NOOP("plait::core", "Cannot open input file."),
    QT_TRANSLATE_NOOP("plait::core", "Cannot create output file."),
    QT_TRANSLATE_NOOP("plait::core", "Cannot decrypt input file."),
    QT_TRANSLATE_NOOP("plait::core", "Error parsing input file."),
    QT_TRANSLATE_NOOP("plait::core", "No pages for output PDF."),
    QT_TRANSLATE_NOOP("plait::core", "Do you want to save your settings?"),
    QT_TRANSLATE_NOOP("plait::core", "Clear all current settings?"),
    QT_TRANSLATE_NOOP("plait::core", "Use this password when building?"),
    QT_TRANSLATE_NOOP("plait::core", "Creating Object"),
    QT_TRANSLATE_NOOP("plait::core", "Building PDF"),
    QT_TRANSLATE_NOOP("plait::core", "Creating PDF File"),
    QT_TRANSLATE_NOOP("plait::core", "Build cancelled"),
    QT_TRANSLATE_NOOP("plait::core", "Opening Viewer"),
    QT_TRANSLATE_NOOP("plait::core", "Loading Bookmarks..."),
};

} // namespace

} // namespace plait::gui

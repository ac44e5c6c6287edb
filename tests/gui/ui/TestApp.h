#pragma once

#include "gui/app/PreviewWidget.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFont>
#include <QString>
#include <QTimer>

#include <functional>
#include <ostream>

// How a failing comparison prints a QString: its text in quotes, as UTF-8, instead of the
// object's bytes. Declared beside QString (the global namespace) so that the test framework
// finds it.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace plait::test {

// The one QApplication of the GUI test executable, created on first use so that any test file may
// ask for it. Tests run on the offscreen platform, which needs no display.
inline QApplication& testApp() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        return *existing;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Never destroyed: torn down among the other statics at exit, it would outlive parts of
    // Qt it needs and crash the test process after every test had passed.
    static auto* app = new QApplication(argc, argv);
    // PDFs are previewed as the program previews them, by the renderer the build made.
    gui::PreviewWidget::useRenderer(QStringLiteral(PLAIT_RENDER_PATH));
    return *app;
}

// Runs the event loop until `done` holds, waking for each event (no polling interval), for at
// most `milliseconds`; false when the time ran out first.
inline bool waitUntil(const std::function<bool()>& done, int milliseconds = 60000) {
    QDeadlineTimer deadline(milliseconds);
    QTimer wake; // the one event that comes when nothing else does
    wake.setSingleShot(true);
    wake.start(milliseconds);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The folder that scripts/screenshots.sh asks pictures to be written to (PLAIT_SCREENSHOT_DIR),
// created, with the application set to the font the pictures are drawn in; empty when the
// variable is not set, and the caller then skips.
inline QString screenshotFolder() {
    const QString dir = qEnvironmentVariable("PLAIT_SCREENSHOT_DIR");
    if (dir.isEmpty() || !QDir().mkpath(dir)) {
        return {};
    }
    testApp().setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    return dir;
}

} // namespace plait::test

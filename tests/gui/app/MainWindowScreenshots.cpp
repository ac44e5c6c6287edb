// Not a test: writes pictures of the main window, the progress window and the about box for
// the documentation. scripts/screenshots.sh runs it with PLAIT_SCREENSHOT_DIR set.

#include "core/support/Fakes.h"
#include "gui/about/AboutDialog.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/PreviewWidget.h"
#include "gui/app/QtWindowHost.h"
#include "gui/build/ProgressDialog.h"
#include "gui/ui/TestApp.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

using namespace plait;

namespace {

// A small document to preview: a title page and a page of text.
void writeSample(const QString& path, const QString& title, int pages) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setResolution(72);
    QPainter p(&writer);
    for (int i = 1; i <= pages; ++i) {
        if (i > 1) {
            writer.newPage();
        }
        p.setPen(QColor(0x29, 0x80, 0xB9));
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 28, QFont::Bold));
        p.drawText(QRect(50, 80, 495, 60), Qt::AlignLeft, title);
        p.setPen(Qt::black);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 11));
        p.drawText(
            QRect(50, 160, 495, 500), Qt::TextWordWrap,
            QStringLiteral("Page %1 of %2.\n\nQuarterly figures, notes from the review and the plan for "
                           "the next release. Each section starts on a page of its own.")
                .arg(i)
                .arg(pages));
        p.fillRect(QRect(50, 300, 495 * i / pages, 24), QColor(0x27, 0xAE, 0x60));
    }
}

void save(QWidget& w, const QString& file) {
    w.grab().save(file);
}

} // namespace

TEST(MainWindowScreenshots, DISABLED_WriteWindows) {
    const QString dir = test::screenshotFolder();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "PLAIT_SCREENSHOT_DIR is not set";
    }

    test::TestPlatform platform;
    const QString folder = QString::fromStdString((platform.root / "Documents").string());
    QDir().mkpath(folder);
    writeSample(folder + "/report.pdf", QStringLiteral("Annual Report"), 3);
    writeSample(folder + "/appendix.pdf", QStringLiteral("Appendix"), 2);
    writeSample(folder + "/cover.pdf", QStringLiteral("Cover Letter"), 1);

    gui::MainWindowView view;
    test::FakeMessageBox messages;
    test::FakeFileDialog files;
    test::FakeShell shell;
    gui::QtEventPump events;
    gui::QtWindowHost host(view);
    engine::EngineRegistry engines;
    core::app::MainWindow window({messages, files, shell, *view.preview(), events, host, engines, platform});
    view.attach(window);
    window.load();
    view.resize(900, 620);
    view.show();
    QApplication::processEvents();
    save(view, dir + "/main-window-empty.png");

    for (const char* name : {"cover.pdf", "report.pdf", "appendix.pdf"}) {
        window.insertFile((folder + "/" + name).toStdString());
    }
    window.clickEntry(1);
    window.form().setText("txtOutfile", (folder + "/combined.pdf").toStdString());
    // The renderer draws the selected file's first page in the background.
    ASSERT_TRUE(test::waitUntil([&] { return !view.preview()->pdfPageImage(0).isNull(); }));
    QApplication::processEvents();
    save(view, dir + "/main-window.png");

    engine::RecordingEngine engine;
    core::build::ProgressWindow progress;
    gui::ProgressDialog dialog(core::build::WatchedBuild(progress, engine));
    progress.load();
    engine.setStatus("Reading report.pdf (2 of 3)", "45", "PDF Plait - Building");
    progress.tick(engine);
    dialog.show();
    QApplication::processEvents();
    save(dialog, dir + "/progress.png");

    gui::AboutDialog about(messages);
    about.show();
    QApplication::processEvents();
    save(about, dir + "/about.png");
}

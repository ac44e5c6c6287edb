// Not a test: writes pictures of the main window on a dark theme and of the build notes for the
// documentation. scripts/screenshots.sh runs it with PLAIT_SCREENSHOT_DIR set.

#include "core/support/Fakes.h"
#include "gui/app/DarkPalette.h"
#include "gui/app/MainWindowView.h"
#include "gui/app/PageCounts.h"
#include "gui/app/PdfFiles.h"
#include "gui/app/ProgramHarness.h"
#include "gui/build/WarningsIndicator.h"
#include "gui/ui/TestApp.h"

#include <QDialog>
#include <QDir>
#include <QFont>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace plait;

TEST(DesktopScreenshots, DISABLED_WriteDarkThemeAndNotes) {
    const QString dir = test::screenshotFolder();
    if (dir.isEmpty()) {
        GTEST_SKIP() << "PLAIT_SCREENSHOT_DIR is not set";
    }
    test::TestPlatform platform;
    const auto folder = platform.root / "Documents";
    const auto report = test::writePdf(folder / "report.pdf", 12);
    const auto cover = test::writePdf(folder / "cover.pdf", 1);
    const auto photo = test::writeFile(folder / "photo.jpg", "x");

    test::DarkPalette dark;
    test::ProgramHarness harness;
    gui::Application& program = harness.program;
    program.window().form().setChecked("chkViewer", false);
    program.window().openFiles({cover, report, photo});
    program.window().clickEntry(1);
    program.window().form().setText("txtOutfile", (folder / "combined.pdf").string());
    program.view().resize(900, 620);
    program.view().pageCounts()->waitUntilIdle();
    QApplication::processEvents();
    program.view().grab().save(dir + "/main-window-dark.png");

    gui::WarningsIndicator notes(&program.view());
    notes.setWarnings({"setPageScale: a scale must be above 0 percent; ignored",
                       "setStamp: unknown modifier \"upside\"; ignored",
                       report + ": repaired: the cross-reference table was rebuilt",
                       "The bookmark file " + (folder / "outline.txt").string() +
                           " names page 40, past the last page; that bookmark points to the last page"});
    std::unique_ptr<QDialog> dialog(notes.makeDetailsDialog());
    dialog->show();
    QApplication::processEvents();
    dialog->grab().save(dir + "/build-notes.png");
}

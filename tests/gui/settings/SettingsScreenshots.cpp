// Not a test: writes a picture of every tab of the settings dialog for the documentation.
// scripts/screenshots.sh runs it with PLAIT_SCREENSHOT_DIR set.

#include "core/settings/SettingsModel.h"
#include "core/support/Fakes.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/TestApp.h"

#include <QDir>
#include <QFont>
#include <QPixmap>

#include <gtest/gtest.h>

#include <deque>
#include <optional>

namespace {

QString fileSlug(std::string_view caption) {
    return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()))
        .toLower()
        .replace(QLatin1Char(' '), QLatin1Char('-'));
}

TEST(SettingsScreenshots, DISABLED_WriteEveryTab) {
    const QString dir = qEnvironmentVariable("PLAIT_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        GTEST_SKIP() << "PLAIT_SCREENSHOT_DIR is not set";
    }
    QApplication& app = plait::test::testApp();
    // The offscreen platform has no desktop font settings to fall back on.
    app.setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
    ASSERT_TRUE(QDir().mkpath(dir));

    plait::test::FakeMessageBox messages;
    plait::test::FakeColorDialog colors;
    plait::test::FakeFileDialog files;
    plait::test::FakeShell shell;
    bool firstOpen = true;
    auto model = plait::core::settings::SettingsModel::create();
    plait::gui::SettingsDialog dialog(*model,
                                      {messages, colors, files, shell, firstOpen, {}, {}, {}, nullptr});
    const QString size = qEnvironmentVariable("PLAIT_SCREENSHOT_SIZE");
    if (size == QLatin1String("minimum")) {
        dialog.resize(dialog.minimumSize());
    }
    dialog.show();
    for (int tab = 0; tab < plait::gui::SettingsDialog::kTabCount; ++tab) {
        dialog.setCurrentTab(tab);
        if (dialog.bookmarksShowing()) {
            dialog.setBookmarkPositions();
        }
        QApplication::processEvents();
        const QString path = QDir(dir).filePath(
            QStringLiteral("settings-%1.png").arg(fileSlug(plait::core::settings::kTabCaptions[tab])));
        EXPECT_TRUE(dialog.grab().save(path)) << path.toStdString();
    }
}

} // namespace

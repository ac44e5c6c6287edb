#include "gui/app/ProgramHarness.h"
#include "gui/app/ViewHarness.h"
#include "gui/settings/SettingsDialog.h"
#include "gui/ui/QtServices.h"
#include "gui/ui/ScreenFit.h"

#include <QScreen>

#include <QAction>
#include <QFileDialog>
#include <QListWidget>
#include <QMimeData>
#include <QSettings>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

#include <filesystem>

using namespace plait;
using test::ViewHarness;

namespace {

// Sends a drag carrying `urls` over the window and drops it; returns whether the drop was taken.
bool dropOn(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QApplication::processEvents(); // the files are added once the drop has ended
    return drop.isAccepted();
}

std::vector<std::string> texts(const core::app::MainWindow& w) {
    return w.inputs().texts();
}

} // namespace

TEST(Desktop, DroppedFilesAreAddedInDropOrderAndASettingsFileIsOpened) {
    ViewHarness h;
    const auto a = test::writeFile(h.platform.root / "a.pdf");
    const auto b = test::writeFile(h.platform.root / "b.tif");
    const auto missing = (h.platform.root / "gone.pdf").string();
    EXPECT_TRUE(dropOn(&h.view, {QUrl::fromLocalFile(QString::fromStdString(b)),
                                 QUrl::fromLocalFile(QString::fromStdString(missing)),
                                 QUrl::fromLocalFile(QString::fromStdString(a))}));
    EXPECT_EQ(texts(*h.window), (std::vector<std::string>{b, a}));
    EXPECT_EQ(h.messages.texts(), std::vector<std::string>{"File '" + missing + "' not found"});
    auto* list = h.child<QListWidget>("TreeView1");
    EXPECT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(h.view.preview()->currentPath(), QString::fromStdString(a));

    // A settings file dropped among them is opened, as Open would.
    h.window->setOverlayType(1);
    const auto plt = (h.platform.root / "saved.plt").string();
    ASSERT_TRUE(h.window->saveSettingsTo(plt));
    h.window->setOverlayType(0);
    EXPECT_TRUE(dropOn(&h.view, {QUrl::fromLocalFile(QString::fromStdString(plt))}));
    EXPECT_EQ(h.window->overlayType(), 1);
    EXPECT_TRUE(h.child<QAction>("Toolbar1_7")->isChecked());
    EXPECT_EQ(h.window->currentSettingsFile(), plt);
}

TEST(Desktop, OnlyLocalFilesAreTakenAndNothingWhileBuilding) {
    ViewHarness h;
    EXPECT_FALSE(dropOn(&h.view, {QUrl(QStringLiteral("https://example.org/a.pdf"))}));
    QMimeData text;
    text.setText(QStringLiteral("a.pdf"));
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&h.view, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_TRUE(h.window->inputs().empty());
    // The output name box leaves a dropped file to the window rather than typing its address.
    EXPECT_FALSE(h.child<QWidget>("txtOutfile")->acceptDrops());
}

TEST(Desktop, ModeShortcutsToolbarFocusAndDelete) {
    ViewHarness h;
    QApplication::setActiveWindow(&h.view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&h.view));
    QTest::keyClick(&h.view, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(h.window->overlayType(), 1);
    QTest::keyClick(&h.view, Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(h.window->overlayType(), 2);
    QTest::keyClick(&h.view, Qt::Key_1, Qt::ControlModifier);
    EXPECT_EQ(h.window->overlayType(), 0);
    EXPECT_TRUE(h.child<QAction>("Toolbar1_7")->toolTip().startsWith("Overlay the input PDFs/images ("));
    EXPECT_TRUE(h.child<QAction>("Toolbar1_7")->toolTip().contains("2"));

    // Every toolbar button can take the focus from the keyboard.
    auto* bar = h.view.findChild<QToolBar*>();
    ASSERT_NE(bar, nullptr);
    for (QAction* action : bar->actions()) {
        if (!action->isSeparator()) {
            EXPECT_TRUE(bar->widgetForAction(action)->focusPolicy() & Qt::TabFocus)
                << action->objectName().toStdString();
        }
    }

    const auto a = test::writeFile(h.platform.root / "a.pdf");
    const auto b = test::writeFile(h.platform.root / "b.pdf");
    const auto c = test::writeFile(h.platform.root / "c.pdf");
    h.window->openFiles({a, b, c});
    auto* list = h.child<QListWidget>("TreeView1");
    list->setFocus();
    list->setCurrentRow(1);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(texts(*h.window), (std::vector<std::string>{a, c}));
    EXPECT_EQ(list->count(), 2);
}

TEST(Desktop, MovingTheSelectionWithTheKeysPreviewsLikeAClick) {
    ViewHarness h;
    const auto a = test::writeFile(h.platform.root / "a.pdf");
    const auto b = test::writeFile(h.platform.root / "b.pdf");
    h.window->openFiles({a, b});
    auto* list = h.child<QListWidget>("TreeView1");
    list->setFocus();
    ASSERT_EQ(list->currentRow(), 1);
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(h.window->inputs().selected(), 0u);
    EXPECT_EQ(h.view.preview()->currentPath(), QString::fromStdString(a));
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(h.window->inputs().selected(), 1u);
    EXPECT_EQ(h.view.preview()->currentPath(), QString::fromStdString(b));
}

TEST(Desktop, ApplicationAddsTheFilesNamedOnTheCommandLine) {
    test::testApp();
    test::TestPlatform scratch;
    const auto a = test::writeFile(scratch.root / "a.pdf");
    const auto b = test::writeFile(scratch.root / "b.pdf");
    const QStringList files = gui::parseCommandLine(
        {QStringLiteral("pdfplait"), QString::fromStdString(a), QString::fromStdString(b)});
    test::ProgramHarness harness(files);
    gui::Application& program = harness.program;
    EXPECT_TRUE(program.view().isVisible());
    EXPECT_EQ(texts(program.window()), (std::vector<std::string>{a, b}));
    // The window shows the icon the desktop installs.
    EXPECT_FALSE(program.view().windowIcon().pixmap(32, 32).isNull());
}

TEST(Desktop, TheFileDialogLeavesNoFileBetweenRuns) {
    test::testApp();
    test::TestPlatform scratch;
    const QByteArray home = qgetenv("HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString((scratch.root / "home").string()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString((scratch.root / "config").string()));
    gui::keepNoSettingsBetweenRuns();
    {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog, true);
        dialog.setDirectory(QString::fromStdString(scratch.root.string()));
    } // Qt's dialog stores its history as it goes
    QSettings probe(QSettings::UserScope, QStringLiteral("QtProject"));
    probe.setValue(QStringLiteral("probe"), 1);
    probe.sync();
    qputenv("HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
    EXPECT_FALSE(std::filesystem::exists(scratch.root / "home"));
    EXPECT_FALSE(std::filesystem::exists(scratch.root / "config"));
    EXPECT_NE(probe.status(), QSettings::NoError);
}

TEST(Desktop, AFileTheDesktopCannotOpenIsNamedInTheStatusBar) {
    test::testApp();
    test::TestPlatform scratch;
    const auto a = test::writeFile(scratch.root / "a.pdf");
    test::ProgramHarness harness({QString::fromStdString(a)});
    gui::Application& program = harness.program;
    std::vector<QUrl> asked;
    program.shell().opener = [&](const QUrl& url) {
        asked.push_back(url);
        return false;
    };
    program.window().viewSelectedFile();
    QApplication::processEvents();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], QUrl::fromLocalFile(QString::fromStdString(a)));
    EXPECT_EQ(program.view().statusBar()->currentMessage(),
              "The desktop has no application that could open a.pdf.");

    // An application that opens it says nothing.
    program.view().statusBar()->clearMessage();
    program.shell().opener = [](const QUrl&) { return true; };
    program.window().viewSelectedFile();
    QApplication::processEvents();
    EXPECT_TRUE(program.view().statusBar()->currentMessage().isEmpty());
}

TEST(Desktop, WindowsOpenNoLargerThanTheScreen) {
    test::testApp();
    test::ProgramHarness harness;
    gui::Application& program = harness.program;
    gui::SettingsDialog& settings = program.settingsDialog();
    settings.show();
    QApplication::processEvents();
    for (QWidget* w : {static_cast<QWidget*>(&program.view()), static_cast<QWidget*>(&settings)}) {
        const QSize room = w->screen()->availableGeometry().size();
        EXPECT_LE(w->width(), room.width()) << w->objectName().toStdString();
        EXPECT_LE(w->height(), room.height()) << w->objectName().toStdString();
        EXPECT_LE(w->minimumWidth(), room.width()) << w->objectName().toStdString();
        EXPECT_LE(w->minimumHeight(), room.height()) << w->objectName().toStdString();
    }
    // A window that wants more than the room gets the room.
    EXPECT_EQ(gui::fitWithin(QSize(3000, 500), QSize(1200, 800)), QSize(1200, 500));
    EXPECT_LT(gui::screenRoom(&settings).height(), settings.screen()->availableGeometry().height());
    settings.hide();
}

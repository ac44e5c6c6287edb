#include "gui/app/MainWindowView.h"
#include "core/app/Layout.h"
#include "gui/app/PreviewWidget.h"
#include "gui/app/QtWindowHost.h"
#include "gui/app/ViewHarness.h"
#include "gui/build/ProgressDialog.h"
#include "gui/ui/TestApp.h"
#include "pdfengine/PlaitEngine.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace plait;

using test::ViewHarness;

TEST(MainWindowView, StartsAsTheLogicSays) {
    ViewHarness h;
    EXPECT_EQ(h.view.windowTitle(), "PDF Plait");
    EXPECT_FALSE(h.child<QPushButton>("go")->isEnabled());
    EXPECT_FALSE(h.child<QAction>("mnuBuildPDF")->isEnabled());
    EXPECT_FALSE(h.child<QAction>("mnuSave")->isEnabled());
    EXPECT_TRUE(h.child<QAction>("Toolbar1_6")->isChecked());
    EXPECT_FALSE(h.child<QAction>("Toolbar1_7")->isChecked());
    EXPECT_TRUE(h.child<QCheckBox>("chkViewer")->isChecked());
    EXPECT_FALSE(h.child<QCheckBox>("chkPreview")->isChecked());
    EXPECT_EQ(h.view.preview()->mode(), "blank");
    EXPECT_EQ(h.child<QAction>("mnuAddPDF")->text(), "Add &File...");
    EXPECT_EQ(h.child<QAction>("Toolbar1_4")->toolTip(), "Add a PDF or image to the file list");
}

namespace {

// The text a widget, menu or action shows as its caption.
QString shownCaption(QObject* o) {
    if (auto* action = qobject_cast<QAction*>(o)) {
        return action->text();
    }
    if (auto* menu = qobject_cast<QMenu*>(o)) {
        return menu->title();
    }
    if (auto* label = qobject_cast<QLabel*>(o)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(o)) {
        return button->text();
    }
    auto* w = qobject_cast<QWidget*>(o);
    return w != nullptr && w->isWindow() ? w->windowTitle() : QStringLiteral("(not a captioned widget)");
}

} // namespace

// The forms carry no captions: each one the main window and the progress window show is the
// one their models declare.
TEST(MainWindowView, EveryCaptionComesFromTheModel) {
    ViewHarness h;
    int captions = 0;
    for (const ui::Control& c : h.window->form().controls()) {
        if (c.caption.empty()) {
            continue;
        }
        ++captions;
        const QString name = QString::fromStdString(c.name);
        QObject* o = name == h.view.objectName() ? &h.view : h.view.findChild<QObject*>(name);
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_EQ(shownCaption(o), QString::fromStdString(c.caption)) << c.name;
    }
    EXPECT_GT(captions, 20);

    engine::RecordingEngine engine;
    core::build::ProgressWindow progress;
    gui::ProgressDialog dialog(core::build::WatchedBuild(progress, engine));
    EXPECT_EQ(shownCaption(dialog.findChild<QLabel*>(QStringLiteral("Label1"))),
              "Building PDF - Please wait...");
    EXPECT_EQ(shownCaption(dialog.findChild<QPushButton*>(QStringLiteral("CancelButton"))), "&Cancel");
    EXPECT_EQ(dialog.windowTitle(), QString::fromStdString(progress.caption()));
}

TEST(MainWindowView, ListFollowsTheInputsAndButtonsFollowTheList) {
    ViewHarness h;
    const auto a = test::writeFile(h.platform.root / "a.pdf");
    const auto b = test::writeFile(h.platform.root / "b.pdf");
    h.window->insertFile(a);
    h.window->insertFile(b);
    auto* list = h.child<QListWidget>("TreeView1");
    ASSERT_EQ(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_TRUE(h.child<QPushButton>("go")->isEnabled());
    QTest::mouseClick(h.child<QToolButton>("btnUp"), Qt::LeftButton);
    EXPECT_EQ(list->item(0)->text().toStdString(), b);
    EXPECT_EQ(h.window->inputs().at(0).text, b);
    h.child<QAction>("mnuRemoveAll")->trigger();
    EXPECT_EQ(list->count(), 0);
    EXPECT_FALSE(h.child<QPushButton>("go")->isEnabled());
}

TEST(MainWindowView, ModeButtonsAndTypedOutputReachTheLogic) {
    ViewHarness h;
    h.child<QAction>("Toolbar1_7")->trigger();
    EXPECT_EQ(h.window->overlayType(), 1);
    EXPECT_FALSE(h.child<QAction>("Toolbar1_6")->isChecked());
    h.child<QAction>("Toolbar1_7")->trigger(); // the pressed one stays pressed
    EXPECT_TRUE(h.child<QAction>("Toolbar1_7")->isChecked());
    EXPECT_EQ(h.window->overlayType(), 1);
    QTest::keyClicks(h.child<QLineEdit>("txtOutfile"), "out.pdf");
    EXPECT_EQ(h.window->form().text("txtOutfile"), "out.pdf");
}

TEST(MainWindowView, BuildRunsOnAWorkerWhileTheWindowWaits) {
    ViewHarness h;
    const auto a = test::writeFile(h.platform.root / "a.pdf");
    h.window->insertFile(a);
    h.window->form().setText("txtOutfile", (h.platform.root / "out.pdf").string());
    std::thread::id engineThread;
    bool progressShown = false;
    h.hook = [&](engine::RecordingEngine& e) {
        engineThread = std::this_thread::get_id();
        e.setStatus("Working", "50", "Busy");
        // Long enough for the progress window to open and poll.
        for (int i = 0; i < 60 && !e.cancelRequested(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return std::string("1");
    };
    QTimer::singleShot(300, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == "frmPDFProcess" && w->isVisible()) {
                // Kept above the disabled main window, where a click there cannot bury it.
                progressShown = w->windowTitle() == "Busy" && w->windowHandle() != nullptr &&
                                w->windowHandle()->transientParent() == h.view.windowHandle();
            }
        }
    });
    QTest::mouseClick(h.child<QPushButton>("go"), Qt::LeftButton);
    EXPECT_NE(engineThread, std::this_thread::get_id());
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(h.view.isEnabled());
    EXPECT_FALSE(h.window->building());
    EXPECT_EQ(h.log->calls().back().operation, "BuildPDF");
}

TEST(MainWindowView, LayoutKeepsTheListAsWideAsItsButtons) {
    ViewHarness h;
    h.view.resize(900, 600);
    h.view.layoutControls();
    auto* list = h.child<QListWidget>("TreeView1");
    const int buttons = h.child<QToolButton>("btnUp")->width() + h.child<QToolButton>("btnDown")->width() +
                        h.child<QToolButton>("btnRemove")->width();
    EXPECT_NEAR(list->width(), buttons, 2);
    EXPECT_GT(h.view.preview()->width(), 500);
}

// The client area between the menu bar, the toolbar and the status bar is the design's 9750 x
// 7200 twips: the bars are measured with their captions in place, not before they have any.
TEST(MainWindowView, OpensWithTheDesignClientArea) {
    ViewHarness h;
    QApplication::processEvents();
    auto pixels = [](int twips, int dpi) { return (twips * dpi + 720) / 1440; };
    const QWidget* area = h.view.centralWidget();
    EXPECT_EQ(area->width(), pixels(core::app::MainDesign::clientWidth, h.view.logicalDpiX()));
    EXPECT_EQ(area->height(), pixels(core::app::MainDesign::clientHeight, h.view.logicalDpiY()));
}

TEST(MainWindowView, CannotShrinkUntilControlsAreCutOff) {
    ViewHarness h;
    h.view.resize(50, 50);
    QApplication::processEvents();
    for (const char* name : {"TreeView1", "go", "chkPreview", "cmdOutput", "WebBrowser"}) {
        auto* w = h.child<QWidget>(name);
        const QRect onWindow(w->mapTo(&h.view, QPoint(0, 0)), w->size());
        EXPECT_TRUE(h.view.rect().contains(onWindow)) << name;
    }
}

TEST(MainWindowView, EnterBuildsUnlessAnotherButtonHasTheFocus) {
    ViewHarness h;
    h.window->insertFile(test::writeFile(h.platform.root / "a.pdf"));
    h.window->insertFile(test::writeFile(h.platform.root / "b.pdf"));
    h.window->form().setText("txtOutfile", (h.platform.root / "out.pdf").string());
    auto builds = [&] {
        std::size_t n = 0;
        for (const auto& c : h.log->calls()) {
            n += c.operation == "BuildPDF" ? 1 : 0;
        }
        return n;
    };
    // A build disables the main window and opens the progress window, so the main window gets
    // its activation and focus back only after some events; the key goes to the widget once it
    // really holds the focus (a key sent to no widget would abort the test).
    auto pressOn = [&](QWidget* w, Qt::Key key) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return h.view.isEnabled(); }));
        QApplication::setActiveWindow(&h.view);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&h.view));
        w->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() == w; }));
        QTest::keyClick(w, key);
    };

    // "..." with the focus: Enter chooses the output file instead of building.
    pressOn(h.child<QPushButton>("cmdOutput"), Qt::Key_Return);
    EXPECT_EQ(h.files.wasSave, std::vector<bool>{true});
    EXPECT_EQ(builds(), 0u);

    // The arrow buttons too.
    pressOn(h.child<QToolButton>("btnUp"), Qt::Key_Return);
    EXPECT_EQ(h.window->inputs().at(0).text, (h.platform.root / "b.pdf").string());
    EXPECT_EQ(builds(), 0u);

    // The output name or a check box with the focus: Enter builds.
    pressOn(h.child<QLineEdit>("txtOutfile"), Qt::Key_Return);
    EXPECT_EQ(builds(), 1u);
    pressOn(h.child<QCheckBox>("chkPreview"), Qt::Key_Enter);
    EXPECT_EQ(builds(), 2u);
}

// What the window tells the user: how a build ended, the file and reason beneath a failure,
// what the status bar describes, how to start, and where the keyboard focus goes.
#include "gui/app/PageCounts.h"
#include "gui/app/PdfFiles.h"
#include "gui/app/ProgramHarness.h"
#include "gui/app/ViewHarness.h"
#include "gui/ui/QtServices.h"

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace plait;
namespace fs = std::filesystem;

TEST(BuildFeedback, AFailedBuildKeepsItsMessageAndAddsTheFileAndReason) {
    test::ViewHarness h;
    const std::string in = test::writeFile(h.platform.root / "junk.pdf", "junk");
    h.window->insertFile(in);
    h.window->form().setText("txtOutfile", (h.platform.root / "out.pdf").string());
    h.hook = [&](engine::RecordingEngine& e) {
        e.addWarning(in + " is damaged and was repaired: xref rebuilt");
        e.addWarning("Error parsing input file " + in + ": no trailer");
        return std::string("-4");
    };
    h.window->buildPDF();
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].text, "Error parsing input file.");
    EXPECT_EQ(h.messages.shown[0].details, "File: " + in + "\nReason: no trailer");
    EXPECT_EQ(h.view.statusBar()->currentMessage().toStdString(),
              "Build failed: Error parsing input file. (junk.pdf)");

    // The box shows the message as it is, the details beneath it.
    QMessageBox box;
    gui::QtMessageBox::fill(box, h.messages.shown[0].text, h.messages.shown[0].details, "Error",
                            ui::Icon::Critical, ui::Buttons::Ok);
    EXPECT_EQ(box.text(), "Error parsing input file.");
    EXPECT_EQ(box.informativeText().toStdString(), h.messages.shown[0].details);
    EXPECT_EQ(box.windowTitle(), "Error");
    EXPECT_EQ(box.icon(), QMessageBox::Critical);
}

// A real build: the status bar names the output with its pages, the file information says
// that the preview shows the output and not the input still selected, and a long name is
// cut short there instead of widening the window.
TEST(BuildFeedback, AFinishedBuildSaysSoAndTheStatusBarDescribesTheOutput) {
    test::TestPlatform scratch;
    const fs::path dir = scratch.root / "work";
    fs::create_directories(dir);
    const std::string a = test::writePdf(dir / "a.pdf", 2);
    const std::string b = test::writePdf(dir / "b.pdf", 1);
    test::ProgramHarness harness({QString::fromStdString(a), QString::fromStdString(b)});
    gui::MainWindowView& view = harness.program.view();
    core::app::MainWindow& window = harness.program.window();
    const std::string name = std::string(150, 'n') + ".pdf";
    window.form().setText("txtOutfile", (dir / name).string());
    QApplication::processEvents();
    const int widthBefore = view.width();

    window.buildPDF();
    ASSERT_TRUE(fs::exists(dir / name));
    const QString status = view.statusBar()->currentMessage();
    EXPECT_TRUE(status.startsWith(QString::fromStdString("Built " + name + ": 3 pages, ")))
        << status.toStdString();

    view.pageCounts()->waitUntilIdle();
    view.showSelectedFileInfo();
    EXPECT_TRUE(view.selectedFileInfo().startsWith(QString::fromStdString("Showing the output " + name)))
        << view.selectedFileInfo().toStdString();
    auto* info = view.findChild<QLabel*>("selectedFileInfo");
    ASSERT_NE(info, nullptr);
    EXPECT_LE(info->fontMetrics().horizontalAdvance(info->text()), view.fileInfoWidthLimit());
    EXPECT_EQ(info->toolTip(), view.selectedFileInfo());
    QApplication::processEvents();
    EXPECT_EQ(view.width(), widthBefore);

    // The output's folder is one click away.
    auto* folder = view.findChild<QToolButton*>("openOutputFolder");
    ASSERT_NE(folder, nullptr);
    EXPECT_TRUE(folder->isVisible());
    QList<QUrl> opened;
    harness.program.shell().opener = [&](const QUrl& url) {
        opened << url;
        return true;
    };
    folder->click();
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(dir.string()))});

    // Choosing an input again describes that input.
    window.clickEntry(0);
    view.pageCounts()->waitUntilIdle();
    EXPECT_EQ(view.selectedFileInfo(), "2 pages");
}

TEST(BuildFeedback, AnImageIsAnImageWhateverItsName) {
    test::TestPlatform scratch;
    const std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    const std::string named = test::writeFile(scratch.root / "picture.png", png);
    const std::string unnamed = test::writeFile(scratch.root / "picture.dat", png);
    const std::string junk = test::writeFile(scratch.root / "junk.dat", "junk");
    EXPECT_TRUE(gui::PageCounts::isImage(QString::fromStdString(unnamed)));
    EXPECT_FALSE(gui::PageCounts::isImage(QString::fromStdString(junk)));
    EXPECT_FALSE(gui::PageCounts::isImage(QString::fromStdString(scratch.root.string())));
    gui::PageCounts counts;
    for (const std::string& path : {named, unnamed}) {
        counts.request(QString::fromStdString(path));
    }
    counts.waitUntilIdle();
    EXPECT_EQ(counts.describe(QString::fromStdString(named)), QString("image"));
    EXPECT_EQ(counts.describe(QString::fromStdString(unnamed)), QString("image"));
}

TEST(BuildFeedback, AnEmptyListSaysHowToStart) {
    test::ViewHarness h;
    auto* hint = h.child<QLabel>("emptyListHint");
    ASSERT_NE(hint, nullptr);
    EXPECT_TRUE(hint->isVisible());
    EXPECT_TRUE(hint->text().contains("Add"));
    h.window->insertFile(test::writeFile(h.platform.root / "a.pdf"));
    EXPECT_FALSE(hint->isVisible());
    h.window->removeAll();
    EXPECT_TRUE(hint->isVisible());
}

TEST(BuildFeedback, TheModeTooltipsSayWhichInputIsTheBase) {
    test::ViewHarness h;
    EXPECT_TRUE(h.child<QAction>("Toolbar1_7")->toolTip().contains("The first input is the base"));
    EXPECT_TRUE(h.child<QAction>("Toolbar1_8")->toolTip().contains("every page"));
}

// The settings dialog closes: the focus goes back where it was, and from nowhere to the list,
// never to the arrows that reorder it.
TEST(BuildFeedback, FocusGoesBackAfterTheSettingsDialog) {
    test::TestPlatform scratch;
    test::ProgramHarness harness({QString::fromStdString(test::writeFile(scratch.root / "a.pdf")),
                                  QString::fromStdString(test::writeFile(scratch.root / "b.pdf"))});
    gui::MainWindowView& view = harness.program.view();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    auto settingsRound = [&] {
        QTimer::singleShot(0, &harness.program.settingsDialog(),
                           [&] { harness.program.settingsDialog().accept(); });
        harness.program.window().showSettings();
    };
    auto* output = view.findChild<QWidget*>("txtOutfile");
    output->setFocus();
    settingsRound();
    EXPECT_EQ(view.focusWidget(), output);

    view.findChild<QWidget*>("btnUp")->setFocus();
    settingsRound();
    EXPECT_EQ(view.focusWidget(), view.findChild<QWidget*>("TreeView1"));
}

TEST(BuildFeedback, ThePreviewTheConfirmationsAndTheUnitListsHaveNamesOfTheirOwn) {
    test::ProgramHarness harness;
    EXPECT_EQ(harness.program.view().preview()->accessibleName(), "Preview");
    auto& settings = harness.program.settingsDialog();
    EXPECT_EQ(settings.findChild<QWidget*>("open2_txt")->accessibleName(), "Confirm open password");
    EXPECT_EQ(settings.findChild<QWidget*>("perm2_txt")->accessibleName(), "Confirm permissions password");
    // The unit lists, which show only "Points", say what they measure.
    EXPECT_EQ(settings.findChild<QWidget*>("cmbStampUnits")->accessibleName(), "Stamp units");
    EXPECT_EQ(settings.findChild<QWidget*>("cmbTextAreaUnits")->accessibleName(), "Text area units");
    EXPECT_EQ(settings.findChild<QWidget*>("cmbPageSize")->accessibleName(), "Page size units");
}

// The tabs of the settings dialog draw their own borders; the one with the focus still shows it.
TEST(BuildFeedback, TheSettingsTabWithTheFocusShowsIt) {
    test::ProgramHarness harness;
    gui::SettingsDialog& settings = harness.program.settingsDialog();
    settings.show();
    QApplication::setActiveWindow(&settings);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
    auto* first = settings.findChild<QWidget*>("SSTab1Tab0");
    auto* second = settings.findChild<QWidget*>("SSTab1Tab1");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    first->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return first->hasFocus(); }));
    const QImage focused = first->grab().toImage();
    second->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->hasFocus(); }));
    const QImage unfocused = first->grab().toImage();
    EXPECT_NE(focused, unfocused);
    settings.hide();
}

// The password typed to preview a locked input is offered for the build, and the build uses it.
TEST(BuildFeedback, APasswordTypedForThePreviewIsOfferedForTheBuild) {
    test::ViewHarness h;
    const std::string plain = test::writePdf(h.platform.root / "plain.pdf", 2);
    const std::string locked = test::encryptPdf(plain, h.platform.root / "locked.pdf", "open sesame");
    ASSERT_FALSE(locked.empty());
    int asked = 0;
    h.view.preview()->askPassword = [&](const QString&, bool) -> std::optional<QString> {
        ++asked;
        return QStringLiteral("open sesame");
    };
    h.messages.answers.push_back(ui::Answer::Yes);
    h.window->insertFile(locked);
    // The renderer says it needs a password, and then how many pages there are.
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.view.preview()->mode() != "loading"; }, 60000));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(h.view.preview()->mode(), "pdf");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !h.messages.shown.empty(); }));
    EXPECT_EQ(h.messages.shown[0].text, "Use this password when building?");
    EXPECT_EQ(h.window->settings().text("txtPass"), "open sesame");
}

// Every control of the settings dialog that Tab reaches looks different once it has the focus.
TEST(BuildFeedback, EveryControlOfTheSettingsDialogShowsItsFocus) {
    test::ProgramHarness harness;
    gui::SettingsDialog& settings = harness.program.settingsDialog();
    settings.show();
    QApplication::setActiveWindow(&settings);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&settings));
    QWidget* elsewhere = settings.findChild<QWidget*>("btnOK");
    ASSERT_NE(elsewhere, nullptr);
    // As a Tab key does: styles draw a focus frame only once the keyboard has moved the focus.
    settings.setAttribute(Qt::WA_KeyboardFocusChange);
    QStringList unseen;
    for (int tab = 0; tab < gui::SettingsDialog::kTabCount; ++tab) {
        settings.setCurrentTab(tab);
        QApplication::processEvents();
        for (QWidget* w : settings.tabPage(tab)->findChildren<QWidget*>()) {
            if (!w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus) ||
                w->focusProxy() != nullptr || w == elsewhere) {
                continue;
            }
            elsewhere->setFocus(Qt::TabFocusReason);
            const QImage before = w->grab().toImage();
            w->setFocus(Qt::TabFocusReason);
            if (!w->hasFocus()) {
                continue;
            }
            if (w->grab().toImage() == before) {
                unseen << w->objectName() + QStringLiteral(" (") +
                              QString::fromLatin1(w->metaObject()->className()) + QLatin1Char(')');
            }
        }
    }
    EXPECT_TRUE(unseen.isEmpty()) << unseen.join(QLatin1Char('\n')).toStdString();
    settings.hide();

    // The main window's list too, empty as it is when the program starts.
    gui::MainWindowView& view = harness.program.view();
    QApplication::setActiveWindow(&view);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    view.setAttribute(Qt::WA_KeyboardFocusChange);
    auto* list = view.findChild<QWidget*>("TreeView1");
    view.findChild<QWidget*>("txtOutfile")->setFocus(Qt::TabFocusReason);
    const QImage before = list->grab().toImage();
    list->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(list->hasFocus());
    EXPECT_NE(list->grab().toImage(), before);
}

#include "gui/settings/SettingsDialog.h"
#include "core/settings/ControlTable.h"
#include "core/settings/SettingsModel.h"
#include "core/support/Fakes.h"
#include "gui/app/PreviewWidget.h"
#include "gui/ui/FormBinder.h"
#include "gui/ui/TestApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>

namespace {

namespace settings = plait::core::settings;
using plait::gui::FormBinder;
using plait::gui::SettingsDialog;
using plait::ui::Answer;
using plait::ui::ControlKind;

QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// A dialog over a default model, with fakes for everything it would show.
struct Fixture {
    Fixture() {
        plait::test::testApp();
        model = settings::SettingsModel::create();
        dialog = std::make_unique<SettingsDialog>(*model, services());
    }

    plait::gui::SettingsDialogServices services() {
        return {messages,
                colors,
                files,
                shell,
                firstOpen,
                [this] { reset(); },
                [] { return std::string("<p>blank</p>"); },
                [this] { return previewTarget; },
                nullptr};
    }

    // The main window's part of a reset: the old model goes first, then the dialog rebinds.
    void reset() {
        ++resets;
        model.reset();
        model = settings::SettingsModel::create();
        dialog->rebind(*model);
    }

    template <class T = QWidget> T* w(const QString& name) const {
        T* found = dialog->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    void showActive() {
        dialog->show();
        QApplication::setActiveWindow(dialog.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    }

    plait::test::FakeMessageBox messages;
    plait::test::FakeColorDialog colors;
    plait::test::FakeFileDialog files;
    plait::test::FakeShell shell;
    bool firstOpen = true;
    int resets = 0;
    std::string previewTarget;
    std::unique_ptr<settings::SettingsModel> model;
    std::unique_ptr<SettingsDialog> dialog;
};

// The widget class each kind of field must have, and its caption where it shows one.
TEST(SettingsDialog, EveryFieldHasAWidgetOfItsKindOnItsTab) {
    Fixture f;
    for (const settings::ControlDef& control : settings::controlTable()) {
        const QString name = FormBinder::objectNameFor(std::string(control.name), control.index);
        SCOPED_TRACE(name.toStdString());
        QWidget* widget = f.dialog->findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr);
        if (control.tab != settings::kNoTab) {
            EXPECT_TRUE(f.dialog->tabPage(control.tab)->isAncestorOf(widget)) << "on tab " << control.tab;
        }
        const QString caption = qs(control.caption);
        switch (control.kind) {
        case ControlKind::TextBox:
            if (control.multiLine) {
                EXPECT_NE(qobject_cast<QPlainTextEdit*>(widget), nullptr);
            } else {
                EXPECT_NE(qobject_cast<QLineEdit*>(widget), nullptr);
            }
            break;
        case ControlKind::CheckBox:
            ASSERT_NE(qobject_cast<QCheckBox*>(widget), nullptr);
            EXPECT_EQ(qobject_cast<QCheckBox*>(widget)->text(), caption);
            break;
        case ControlKind::OptionButton:
            ASSERT_NE(qobject_cast<QRadioButton*>(widget), nullptr);
            EXPECT_EQ(qobject_cast<QRadioButton*>(widget)->text(), caption);
            break;
        case ControlKind::ComboBox: {
            auto* combo = qobject_cast<QComboBox*>(widget);
            ASSERT_NE(combo, nullptr);
            ASSERT_EQ(combo->count(), static_cast<int>(control.items.size()));
            for (int i = 0; i < combo->count(); ++i) {
                EXPECT_EQ(combo->itemText(i), qs(control.items[static_cast<std::size_t>(i)]));
            }
            EXPECT_EQ(combo->currentIndex(), 0) << "every list starts at its first entry";
            break;
        }
        case ControlKind::PictureBox:
            EXPECT_NE(qobject_cast<QLabel*>(widget), nullptr);
            break;
        case ControlKind::Label:
            ASSERT_NE(qobject_cast<QLabel*>(widget), nullptr);
            EXPECT_EQ(qobject_cast<QLabel*>(widget)->text(), caption);
            break;
        case ControlKind::Toolbar:
            for (std::size_t b = 1; b <= control.items.size(); ++b) {
                auto* button = f.dialog->findChild<QToolButton*>(name + QStringLiteral("_%1").arg(b));
                ASSERT_NE(button, nullptr) << "button " << b;
                EXPECT_TRUE(button->isCheckable());
                EXPECT_EQ(button->toolTip(), qs(control.items[b - 1]));
                EXPECT_EQ(button->isChecked(), static_cast<int>(b) == control.value);
            }
            break;
        case ControlKind::CommandButton:
            ASSERT_NE(qobject_cast<QAbstractButton*>(widget), nullptr);
            EXPECT_EQ(qobject_cast<QAbstractButton*>(widget)->text(), caption);
            break;
        case ControlKind::Slider:
            ASSERT_NE(qobject_cast<QSlider*>(widget), nullptr);
            EXPECT_EQ(qobject_cast<QSlider*>(widget)->maximum(), 100);
            EXPECT_EQ(qobject_cast<QSlider*>(widget)->value(), 0);
            break;
        case ControlKind::StatusBar:
            EXPECT_NE(qobject_cast<QStatusBar*>(widget), nullptr);
            break;
        default:
            switch (control.role) {
            case settings::OtherRole::Frame:
                if (auto* box = qobject_cast<QGroupBox*>(widget)) {
                    EXPECT_EQ(box->title(), caption);
                } else {
                    EXPECT_TRUE(caption.isEmpty()) << "a frame with a caption is a group box";
                }
                break;
            case settings::OtherRole::Tree:
                EXPECT_NE(qobject_cast<QTreeWidget*>(widget), nullptr);
                break;
            case settings::OtherRole::Browser:
                EXPECT_NE(qobject_cast<plait::gui::PreviewWidget*>(widget), nullptr);
                break;
            case settings::OtherRole::Image:
                EXPECT_NE(qobject_cast<QLabel*>(widget), nullptr);
                break;
            case settings::OtherRole::None:
                break;
            }
            break;
        }
        EXPECT_EQ(widget->isEnabled(), control.enabled);
    }
}

TEST(SettingsDialog, NoWidgetOnTheTabsLacksAField) {
    Fixture f;
    QSet<QString> known;
    for (const settings::ControlDef& control : settings::controlTable()) {
        known.insert(FormBinder::objectNameFor(std::string(control.name), control.index));
        if (control.kind == ControlKind::Toolbar) {
            for (std::size_t b = 1; b <= control.items.size(); ++b) {
                known.insert(qs(control.name) + QStringLiteral("_%1").arg(b));
            }
        }
    }
    known.insert(QStringLiteral("imgAlignPage")); // the page drawn under the alignment options
    auto* browser = f.w("WebBrowser1");
    for (int tab = 0; tab < SettingsDialog::kTabCount; ++tab) {
        for (QWidget* w : f.dialog->tabPage(tab)->findChildren<QWidget*>()) {
            const QString name = w->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) || browser->isAncestorOf(w)) {
                continue;
            }
            EXPECT_TRUE(known.contains(name)) << name.toStdString() << " on tab " << tab;
        }
    }
}

TEST(SettingsDialog, FieldsAndModelStayInStep) {
    Fixture f;
    auto* x = f.w<QLineEdit>("txtPageSizeX");
    auto* y = f.w<QLineEdit>("txtPageSizeY");
    auto* scaleUp = f.w("chkAutoScale1");
    QTest::keyClicks(x, "612");
    EXPECT_EQ(f.model->text("txtPageSizeX"), "612");
    EXPECT_FALSE(scaleUp->isEnabled());
    QTest::keyClicks(y, "792");
    EXPECT_TRUE(scaleUp->isEnabled()) << "the model's interlock shows in the widget";

    // The program (a loaded file) changes the model: the widgets follow, rules included.
    f.model->setChecked("chkPage", true);
    EXPECT_TRUE(f.w<QCheckBox>("chkPage")->isChecked());
    EXPECT_TRUE(f.w("txtPgFmt")->isEnabled());
    EXPECT_TRUE(f.w("optPgAlign_3")->isEnabled());
    f.model->setText("txtPgFmt", -1, "Page %1");
    EXPECT_EQ(f.w<QLineEdit>("txtPgFmt")->text(), "Page %1");

    f.w<QRadioButton>("optLeft_0")->click();
    f.w<QRadioButton>("optBottom_0")->click();
    EXPECT_EQ(f.model->value("optLeft", 1), 0);
    EXPECT_EQ(f.model->value("imgFromPage"), settings::kOriginTopRight);
    EXPECT_FALSE(f.w<QLabel>("imgFromPage")->pixmap().isNull());

    f.w<QComboBox>("cmbStamp")->setCurrentIndex(14); // "Revised"
    EXPECT_TRUE(f.w("txtStampText")->isEnabled());
    EXPECT_FALSE(f.w("txtStampAngle")->isEnabled());

    QTest::keyClicks(f.w("txtTransparency"), "150");
    EXPECT_EQ(f.w<QSlider>("sldTransparency")->value(), 100);
    EXPECT_EQ(f.w<QLineEdit>("txtTransparency")->text(), "150");
    f.w<QSlider>("sldTransparency")->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(f.model->text("txtTransparency"), "90");
}

TEST(SettingsDialog, PasswordsAreMaskedWhileMaskPasswordsIsTicked) {
    Fixture f;
    f.model->setListIndex("Compat_Com", 1);
    auto* open = f.w<QLineEdit>("open1_txt");
    QTest::keyClicks(open, "Secret");
    for (const char* name : {"open1_txt", "open2_txt", "perm1_txt", "perm2_txt"}) {
        EXPECT_EQ(f.w<QLineEdit>(name)->echoMode(), QLineEdit::Password) << name;
    }
    EXPECT_EQ(open->displayText(),
              QString(6, QChar(open->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter))));

    f.w<QCheckBox>("Check1")->click();
    EXPECT_EQ(open->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(open->displayText(), "Secret");
    f.model->setChecked("Check1", true); // as a loaded file would
    EXPECT_EQ(f.w<QLineEdit>("perm2_txt")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(f.model->text("open1_txt"), "Secret");

    EXPECT_TRUE(f.w("txtPassword")->isHidden());
    EXPECT_TRUE(f.w("txtStandard")->isHidden());
}

TEST(SettingsDialog, LeavingAConfirmationBoxChecksItOnlyOnTheUsersMoves) {
    Fixture f;
    f.showActive();
    f.dialog->setCurrentTab(settings::kTabSecurity);
    f.model->setListIndex("Compat_Com", 2);
    auto* open1 = f.w<QLineEdit>("open1_txt");
    auto* open2 = f.w<QLineEdit>("open2_txt");
    QTest::keyClicks(open1, "Secret");
    QTest::keyClicks(open2, "secret");

    open2->setFocus(Qt::OtherFocusReason);
    open1->setFocus(Qt::OtherFocusReason); // the program moves the focus: no check
    QApplication::processEvents();
    EXPECT_TRUE(f.messages.shown.empty());

    open2->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(open2, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Open Password does not match confirmation - please re-enter.");
    EXPECT_EQ(f.messages.shown[0].caption, "PDF Plait Application");
    EXPECT_EQ(f.messages.shown[0].icon, plait::ui::Icon::Exclamation);
    EXPECT_EQ(open2->text(), "secret") << "the boxes keep their text";

    // Leaving the first box of a pair checks nothing.
    open1->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(open1, Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_EQ(f.messages.shown.size(), 1u);
}

TEST(SettingsDialog, ResetAllAsksFirstAndShowsTheFreshModel) {
    Fixture f;
    f.showActive();
    QTest::keyClicks(f.w("txtTitle"), "Report");
    f.dialog->setCurrentTab(settings::kTabStamps);

    f.messages.answers = {Answer::No};
    f.w<QPushButton>("btnReset")->click();
    ASSERT_EQ(f.messages.shown.size(), 1u);
    EXPECT_EQ(f.messages.shown[0].text, "Clear all current settings?");
    EXPECT_EQ(f.messages.shown[0].caption, "PDF Plait");
    EXPECT_EQ(f.messages.shown[0].icon, plait::ui::Icon::Question);
    EXPECT_EQ(f.messages.shown[0].buttons, plait::ui::Buttons::YesNo);
    EXPECT_EQ(f.resets, 0);
    EXPECT_TRUE(f.dialog->isVisible());
    EXPECT_EQ(f.model->text("txtTitle"), "Report");

    f.messages.answers = {Answer::Yes};
    f.w<QPushButton>("btnReset")->click();
    EXPECT_EQ(f.resets, 1);
    EXPECT_FALSE(f.dialog->isVisible()) << "the dialog closes";
    EXPECT_EQ(f.w<QLineEdit>("txtTitle")->text(), "");
    EXPECT_EQ(f.dialog->currentTab(), settings::kTabFiles);

    // The widgets now edit the new model.
    QTest::keyClicks(f.w("txtTitle"), "Fresh");
    EXPECT_EQ(f.model->text("txtTitle"), "Fresh");
}

TEST(SettingsDialog, OkKeepsEverything) {
    Fixture f;
    f.showActive();
    QTest::keyClicks(f.w("txtAuthor"), "Me");
    f.dialog->outlineTree()->addTopLevelItem(new QTreeWidgetItem(QStringList{"Kept"}));
    f.w<QPushButton>("btnOK")->click();
    EXPECT_FALSE(f.dialog->isVisible());
    EXPECT_EQ(f.model->text("txtAuthor"), "Me");
    EXPECT_EQ(f.dialog->outlineTree()->topLevelItemCount(), 1);
    EXPECT_TRUE(f.messages.shown.empty());
}

TEST(SettingsDialog, ColourAndAttachmentButtonsUseTheInjectedDialogs) {
    Fixture f;
    f.colors.answers = {0x000000FFu, std::nullopt};
    f.w<QPushButton>("btnColor")->click();
    EXPECT_EQ(f.model->color("picColor"), 0x000000FFu);
    EXPECT_EQ(f.w("picColor")->palette().color(QPalette::Window), QColor(255, 0, 0));
    f.w<QPushButton>("btnTextColor")->click(); // cancelled
    EXPECT_EQ(f.model->color("lblTextColor"), settings::kButtonText);
    EXPECT_EQ(f.model->color("picColor"), 0x000000FFu);

    f.files.nextNames = {"/tmp/a file.pdf"};
    f.w<QPushButton>("btnAttach5")->click();
    EXPECT_EQ(f.w<QLineEdit>("txtAttach5")->text(), "/tmp/a file.pdf");
    EXPECT_EQ(f.w<QLineEdit>("txtAttach4")->text(), "");
    EXPECT_FALSE(f.firstOpen);

    f.w<QPushButton>("btnOpen3")->click(); // empty row: nothing
    EXPECT_TRUE(f.shell.opened.empty());
    QTest::keyClicks(f.w("txtAttach3"), "notes.txt");
    f.w<QPushButton>("btnOpen3")->click();
    ASSERT_EQ(f.shell.opened.size(), 1u);
    EXPECT_EQ(f.shell.opened[0], "notes.txt");
}

TEST(SettingsDialog, WindowLayoutKeepsItsMinimumAndAlignsTheButtons) {
    Fixture f;
    const QSize least(f.dialog->twipsX(8880), f.dialog->twipsY(5820));
    f.dialog->show();
    f.dialog->resize(100, 100);
    QApplication::processEvents();
    EXPECT_GE(f.dialog->width(), least.width());
    EXPECT_GE(f.dialog->height(), least.height());

    f.dialog->resize(least.width() + 300, least.height() + 200);
    QApplication::processEvents();
    const QRect tab = f.dialog->tabControl()->geometry();
    const QRect ok = f.w("btnOK")->geometry();
    const QRect reset = f.w("btnReset")->geometry();
    EXPECT_EQ(tab.left(), f.dialog->twipsX(480));
    EXPECT_EQ(tab.width(), f.dialog->width() - 2 * tab.left());
    EXPECT_EQ(ok.right(), tab.right()) << "OK right-aligned with the tabs";
    EXPECT_EQ(reset.top(), ok.top());
    EXPECT_EQ(ok.left() - (reset.right() + 1), f.dialog->twipsX(160));
    EXPECT_EQ(ok.top(), tab.bottom() + 1 + f.dialog->twipsY(80));
    EXPECT_TRUE(f.w<QPushButton>("btnOK")->isDefault());
}

TEST(SettingsDialog, AtItsSmallestEveryTabKeepsTheRoomItsFieldsNeed) {
    Fixture f;
    f.dialog->show();
    f.dialog->resize(100, 100);
    QApplication::processEvents();
    for (int t = 0; t < SettingsDialog::kTabCount; ++t) {
        f.dialog->setCurrentTab(t);
        QApplication::processEvents();
        QWidget* page = f.dialog->tabPage(t);
        const QSize need = page->minimumSizeHint();
        EXPECT_GE(page->width(), need.width()) << "tab " << t;
        EXPECT_GE(page->height(), need.height()) << "tab " << t;
        if (page->hasHeightForWidth()) {
            EXPECT_GE(page->height(), page->heightForWidth(page->width())) << "tab " << t;
        }
        for (auto* box : page->findChildren<QLineEdit*>()) {
            if (box->isVisibleTo(page)) {
                EXPECT_GE(box->height(), box->minimumSizeHint().height()) << box->objectName().toStdString();
            }
        }
    }
}

TEST(SettingsDialog, ControlTabAndControlPageKeysPageThroughTheTabs) {
    Fixture f;
    f.showActive();
    f.w("txtPullPages")->setFocus();
    QTest::keyClick(f.dialog.get(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(f.dialog->currentTab(), 1);
    QTest::keyClick(f.dialog.get(), Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(f.dialog->currentTab(), 2);
    QTest::keyClick(f.dialog.get(), Qt::Key_PageUp, Qt::ControlModifier);
    QTest::keyClick(f.dialog.get(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(f.dialog->currentTab(), 0);
    QTest::keyClick(f.dialog.get(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(f.dialog->currentTab(), SettingsDialog::kTabCount - 1) << "round from the first to the last";
    EXPECT_TRUE(f.dialog->tabButton(SettingsDialog::kTabCount - 1)->hasFocus());
}

TEST(SettingsDialog, PageNumbersTabIsWalkedDownTheFieldsBeforeTheAlignment) {
    // The switch, then the fields beneath it in the order they stand, then the alignment
    // picture to their right.
    Fixture f;
    QWidget* page = f.dialog->tabPage(settings::kTabPageNumbers);
    QStringList order;
    for (QWidget* w = f.w("chkPage"); order.size() < 10; w = w->nextInFocusChain()) {
        if (page->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) != 0) {
            order << w->objectName();
        }
    }
    EXPECT_EQ(order.join(' ').toStdString(), "chkPage txtPgFmt cmbNumber txtSize txtPgLeft txtPgBottom "
                                             "optPgAlign_0 optPgAlign_1 optPgAlign_2 optPgAlign_3");
}

TEST(SettingsDialog, BookmarksTabIsLaidOutWhenItShows) {
    Fixture f;
    f.dialog->show();
    f.dialog->setCurrentTab(settings::kTabFiles);
    auto* tree = f.w("TreeOutline");
    auto* browser = f.w("WebBrowser1");
    const QRect before = tree->geometry();
    f.dialog->resize(f.dialog->width() + 200, f.dialog->height() + 150);
    QApplication::processEvents();
    EXPECT_EQ(tree->geometry(), before) << "another tab shows: the Bookmarks tab waits";

    f.dialog->tabButton(settings::kTabBookmarks)->click();
    QApplication::processEvents();
    ASSERT_TRUE(f.dialog->bookmarksShowing());
    QWidget* sstab = f.dialog->tabControl();
    const QPoint origin = f.dialog->tabPage(settings::kTabBookmarks)->mapTo(sstab, QPoint(0, 0));
    const int h = f.dialog->tabHeight();
    const int top = browser->y() + origin.y();
    EXPECT_EQ(browser->width(), sstab->width() - (browser->x() + origin.x()) - (top - h));
    EXPECT_EQ(browser->height(), sstab->height() - 2 * (top - h));
    auto* insert = f.w("btnInsBefore");
    auto* text = f.w("txtOutlineText");
    auto* page = f.w("txtOutlinePage");
    EXPECT_EQ(insert->y(), tree->geometry().bottom() + 1 + f.dialog->twipsY(40));
    EXPECT_EQ(f.w("btnLoadOutline")->y(), insert->y());
    EXPECT_EQ(text->y(), insert->geometry().bottom() + 1 + f.dialog->twipsY(40));
    EXPECT_EQ(page->y(), text->geometry().bottom() + 1 + f.dialog->twipsY(40));
    EXPECT_EQ(f.w("chkOutline")->y(), page->y() - f.dialog->twipsY(20));
    EXPECT_GT(tree->height(), before.height()) << "the outline takes the height gained";
    EXPECT_EQ(f.w("btnUp")->geometry().topLeft(), QPoint(f.dialog->twipsX(120), f.dialog->twipsY(120)));
}

// The Bookmarks tab is placed by hand: its captions are measured with their text in place, so
// that none is cut to its designed width.
TEST(SettingsDialog, BookmarksTabCaptionsTakeTheRoomTheirTextNeeds) {
    Fixture f;
    f.dialog->show();
    f.dialog->setCurrentTab(settings::kTabBookmarks);
    QApplication::processEvents();
    for (const char* name : {"lblOutline1", "lblOutline2", "chkOutline", "btnInsBefore", "btnLoadOutline"}) {
        QWidget* w = f.w(QLatin1String(name));
        EXPECT_GE(w->width(), w->sizeHint().width()) << name;
    }
}

TEST(SettingsDialog, ActivationShowsTheSelectedInputOrTheBlankPage) {
    Fixture f;
    auto* pane = f.dialog->preview();
    ASSERT_NE(pane, nullptr);
    f.dialog->activate();
    EXPECT_EQ(pane->mode(), "blank");

    const QString pdf = QDir(QDir::tempPath()).filePath(QStringLiteral("plait-dialog-preview.png"));
    QPixmap picture(20, 20);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(pdf));
    f.previewTarget = pdf.toStdString();
    f.dialog->activate();
    EXPECT_EQ(pane->mode(), "image");
    EXPECT_EQ(pane->currentPath(), pdf);
    QFile::remove(pdf);
}

} // namespace

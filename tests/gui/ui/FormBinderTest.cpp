#include "gui/ui/FormBinder.h"
#include "gui/ui/TestApp.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using plait::gui::FormBinder;
using plait::ui::Control;
using plait::ui::ControlKind;
using plait::ui::Form;

namespace {

std::unique_ptr<Form> makeForm() {
    auto f = std::make_unique<Form>();
    auto add = [&f](std::string name, int index, ControlKind kind) -> Control& {
        Control c;
        c.name = std::move(name);
        c.index = index;
        c.kind = kind;
        return f->add(std::move(c));
    };
    add("txtName", -1, ControlKind::TextBox);
    add("txtBox", 0, ControlKind::TextBox);
    add("txtBox", 1, ControlKind::TextBox);
    add("txtNote", -1, ControlKind::TextBox);
    add("chkOn", -1, ControlKind::CheckBox);
    add("optSide", 0, ControlKind::OptionButton);
    add("optSide", 1, ControlKind::OptionButton).value = 1;
    add("cmbMode", -1, ControlKind::ComboBox).items = {"None", "Some", "All"};
    add("picColor", -1, ControlKind::PictureBox).color = 0x80000005;
    add("lblColor", -1, ControlKind::Label).color = 0x000000FF;
    add("tbAlign", -1, ControlKind::Toolbar).buttons = {1, 0, 0};
    add("sldLevel", -1, ControlKind::Slider);
    add("btnGo", -1, ControlKind::CommandButton);
    return f;
}

struct WithApp {
    WithApp() { plait::test::testApp(); }
};

// The widgets a view of makeForm() has, named as the binder expects.
struct View : WithApp {
    QWidget root;
    QLineEdit* txtName = new QLineEdit(&root);
    QLineEdit* txtBox1 = new QLineEdit(&root);
    QPlainTextEdit* txtNote = new QPlainTextEdit(&root);
    QCheckBox* chkOn = new QCheckBox(&root);
    QRadioButton* opt0 = new QRadioButton(&root);
    QRadioButton* opt1 = new QRadioButton(&root);
    QComboBox* cmbMode = new QComboBox(&root);
    QFrame* picColor = new QFrame(&root);
    QLabel* lblColor = new QLabel(QStringLiteral("Color"), &root);
    QToolButton* align[3] = {new QToolButton(&root), new QToolButton(&root), new QToolButton(&root)};
    QSlider* sldLevel = new QSlider(Qt::Horizontal, &root);
    QPushButton* btnGo = new QPushButton(&root);

    View() {
        txtName->setObjectName("txtName");
        txtBox1->setObjectName("txtBox_1");
        txtNote->setObjectName("txtNote");
        chkOn->setObjectName("chkOn");
        opt0->setObjectName("optSide_0");
        opt1->setObjectName("optSide_1");
        cmbMode->setObjectName("cmbMode");
        picColor->setObjectName("picColor");
        lblColor->setObjectName("lblColor");
        for (int i = 0; i < 3; ++i) {
            align[i]->setObjectName(QStringLiteral("tbAlign_%1").arg(i + 1));
        }
        sldLevel->setObjectName("sldLevel");
        sldLevel->setRange(0, 100);
        btnGo->setObjectName("btnGo");
        auto* layout = new QVBoxLayout(&root);
        for (QWidget* w : root.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            layout->addWidget(w);
        }
        root.show();
    }
};

TEST(FormBinder, TextFlowsBothWaysAndProgramChangesDoNotEcho) {
    View v;
    auto form = makeForm();
    int ruleRuns = 0;
    form->onChange("txtName", [&ruleRuns](Form& f, const Control& c) {
        ++ruleRuns;
        f.setEnabled("chkOn", c.text.empty());
    });
    FormBinder binder(&v.root, *form);

    QTest::keyClicks(v.txtName, "ab");
    EXPECT_EQ(form->text("txtName"), "ab");
    EXPECT_EQ(ruleRuns, 2);
    EXPECT_FALSE(v.chkOn->isEnabled()) << "a rule's enabled state shows in the widget";

    form->setText("txtName", "");
    EXPECT_EQ(v.txtName->text(), "");
    EXPECT_EQ(ruleRuns, 3) << "the program's change ran the rule once, not again through the widget";
    EXPECT_TRUE(v.chkOn->isEnabled());

    // Array members are found by name and index; other members stay unbound.
    form->setText("txtBox", 1, "x");
    EXPECT_EQ(v.txtBox1->text(), "x");
    EXPECT_EQ(binder.widget("txtBox", 1), v.txtBox1);
    EXPECT_EQ(binder.widget("txtBox", 0), nullptr);
    QTest::keyClicks(v.txtBox1, "y");
    EXPECT_EQ(form->text("txtBox", 1), "xy");
    EXPECT_EQ(form->text("txtBox", 0), "");
}

TEST(FormBinder, MultiLineTextKeepsCrLfInTheModel) {
    View v;
    auto form = makeForm();
    FormBinder binder(&v.root, *form);
    form->setText("txtNote", "one\r\ntwo");
    EXPECT_EQ(v.txtNote->toPlainText(), "one\ntwo");
    v.txtNote->setPlainText("a\nb\nc");
    EXPECT_EQ(form->text("txtNote"), "a\r\nb\r\nc");
}

TEST(FormBinder, ChecksOptionsAndListsFollowTheModel) {
    View v;
    auto form = makeForm();
    FormBinder binder(&v.root, *form);

    EXPECT_TRUE(v.opt1->isChecked());
    v.opt0->click();
    EXPECT_EQ(form->value("optSide", 0), 1);
    EXPECT_EQ(form->value("optSide", 1), 0);
    form->pickOption("optSide", 1);
    EXPECT_FALSE(v.opt0->isChecked());
    EXPECT_TRUE(v.opt1->isChecked());

    v.chkOn->click();
    EXPECT_EQ(form->value("chkOn"), 1);
    form->setValue("chkOn", 0);
    EXPECT_FALSE(v.chkOn->isChecked());

    ASSERT_EQ(v.cmbMode->count(), 3) << "the list's entries come from the model";
    EXPECT_EQ(v.cmbMode->currentIndex(), 0);
    v.cmbMode->setCurrentIndex(2);
    EXPECT_EQ(form->listIndex("cmbMode"), 2);
    form->setListIndex("cmbMode", -1);
    EXPECT_EQ(v.cmbMode->currentIndex(), -1);
}

TEST(FormBinder, ToolbarClicksRunTheClickRuleButProgramStatesDoNot) {
    View v;
    auto form = makeForm();
    int clicks = 0;
    form->onButtonClick("tbAlign", [&clicks](Form& f, int button) {
        ++clicks;
        for (int b = 1; b <= 3; ++b) {
            f.setButton("tbAlign", b, b == button);
        }
    });
    FormBinder binder(&v.root, *form);
    EXPECT_TRUE(v.align[0]->isChecked());

    QTest::mouseClick(v.align[2], Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(form->buttonPressed("tbAlign", 3));
    EXPECT_FALSE(v.align[0]->isChecked());
    EXPECT_TRUE(v.align[2]->isChecked());

    // Clicking the pressed button: the rule presses it again and the widget shows that.
    QTest::mouseClick(v.align[2], Qt::LeftButton);
    EXPECT_TRUE(v.align[2]->isChecked());

    form->setButton("tbAlign", 2, true);
    EXPECT_TRUE(v.align[1]->isChecked());
    EXPECT_EQ(clicks, 2);
}

TEST(FormBinder, SliderReportsUserMovesOnly) {
    View v;
    auto form = makeForm();
    std::vector<int> clicks;
    FormBinder binder(&v.root, *form);
    binder.setSliderClick([&clicks](Form& f, const Control& c, int position) {
        clicks.push_back(position);
        f.setValue(f.at(c.name), position);
    });

    form->setValue("sldLevel", 40);
    EXPECT_EQ(v.sldLevel->value(), 40);
    EXPECT_TRUE(clicks.empty());

    v.sldLevel->triggerAction(QAbstractSlider::SliderPageStepAdd);
    ASSERT_EQ(clicks.size(), 1u);
    EXPECT_EQ(clicks[0], 50);
    EXPECT_EQ(form->value("sldLevel"), 50);

    // A drag reports once, when the thumb is let go.
    v.sldLevel->setSliderDown(true);
    v.sldLevel->setSliderPosition(70);
    v.sldLevel->setSliderPosition(75);
    EXPECT_EQ(clicks.size(), 1u);
    v.sldLevel->setSliderDown(false);
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[1], 75);
}

TEST(FormBinder, ColoursAndSystemColours) {
    View v;
    auto form = makeForm();
    FormBinder binder(&v.root, *form);
    const QPalette pal = QApplication::palette(v.picColor);
    EXPECT_EQ(v.picColor->palette().color(QPalette::Window), pal.color(QPalette::Base));
    EXPECT_EQ(v.lblColor->palette().color(QPalette::WindowText), QColor(255, 0, 0));

    form->setColor("picColor", -1, 0x00336699); // blue 0x33, green 0x66, red 0x99
    EXPECT_EQ(v.picColor->palette().color(QPalette::Window), QColor(0x99, 0x66, 0x33));
    EXPECT_EQ(FormBinder::fromQColor(QColor(0x99, 0x66, 0x33)), 0x00336699u);

    // Back to a system colour: resolved afresh, not from the colour the label had.
    form->setColor("lblColor", -1, 0x80000012);
    EXPECT_EQ(v.lblColor->palette().color(QPalette::WindowText),
              QApplication::palette(v.lblColor).color(QPalette::ButtonText));
    EXPECT_EQ(FormBinder::toQColor(0x80000008, pal), pal.color(QPalette::Text));
    EXPECT_EQ(FormBinder::toQColor(0x8000000F, pal), pal.color(QPalette::Button));
}

TEST(FormBinder, EnabledVisibleAndCommandClicks) {
    View v;
    auto form = makeForm();
    FormBinder binder(&v.root, *form);
    QSignalSpy spy(&binder, &FormBinder::clicked);

    form->setEnabled("btnGo", false);
    EXPECT_FALSE(v.btnGo->isEnabled());
    form->setEnabled("btnGo", true);
    QTest::mouseClick(v.btnGo, Qt::LeftButton);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "btnGo");

    form->setVisible("txtName", false);
    EXPECT_TRUE(v.txtName->isHidden());
    form->setVisible("txtName", true);
    EXPECT_FALSE(v.txtName->isHidden());
}

TEST(FormBinder, RebindsToAReplacementModelAfterTheOldOneIsGone) {
    View v;
    auto form = makeForm();
    FormBinder binder(&v.root, *form);
    QTest::keyClicks(v.txtName, "old");
    form->setValue("chkOn", 1);

    form.reset();
    auto fresh = makeForm();
    binder.rebind(*fresh);
    EXPECT_EQ(v.txtName->text(), "");
    EXPECT_FALSE(v.chkOn->isChecked());
    EXPECT_EQ(fresh->text("txtName"), "") << "showing the new model wrote nothing back into it";

    QTest::keyClicks(v.txtName, "new");
    EXPECT_EQ(fresh->text("txtName"), "new");
}

} // namespace

#include "core/settings/SettingsModel.h"
#include "core/support/Fakes.h"

#include <gtest/gtest.h>

#include <deque>
#include <vector>

using namespace plait::core::settings;
namespace ui = plait::ui;

namespace {

const std::vector<const char*> kBasic = {"Print_chk", "Change_chk", "Text_Chk", "Ann_Chk"};
const std::vector<const char*> kExtended = {"Fill_Chk", "Asm_chk", "Low_Chk"};

void expectEnabled(const SettingsModel& m, const std::vector<const char*>& names, bool on) {
    for (const char* n : names) {
        EXPECT_EQ(m.enabled(n), on) << n;
    }
}

struct FakeFileDialog : ui::FileDialog {
    std::deque<std::string> answers;
    std::vector<ui::FileDialogState> shown;
    void showOpen(ui::FileDialogState& state) override {
        shown.push_back(state);
        state.fileName = answers.front();
        answers.pop_front();
    }
    void showSave(ui::FileDialogState&) override { FAIL() << "no save dialog expected"; }
};

struct FakeShell : ui::ShellOpen {
    std::vector<std::string> opened;
    void open(const std::string& path) override { opened.push_back(path); }
};

} // namespace

TEST(SecurityRules, LevelsEnablePasswordsAndPermissions) {
    auto m = SettingsModel::create();
    m->setListIndex("Compat_Com", 1);
    for (std::string_view n : kPasswordBoxes) {
        EXPECT_TRUE(m->enabled(n));
        EXPECT_EQ(m->color(n), kWindowBackground);
    }
    // No permissions password yet: every permission box stays off.
    expectEnabled(*m, kBasic, false);
    expectEnabled(*m, kExtended, false);
    m->setText("perm1_txt", "p");
    expectEnabled(*m, kBasic, true);
    expectEnabled(*m, kExtended, false);

    m->setListIndex("Compat_Com", 2);
    expectEnabled(*m, kBasic, true);
    expectEnabled(*m, kExtended, true);

    // Going down a level disables but keeps every tick.
    m->setChecked("Fill_Chk", true); // also ticks Ann_Chk
    m->setChecked("Print_chk", true);
    m->setListIndex("Compat_Com", 1);
    expectEnabled(*m, kExtended, false);
    EXPECT_TRUE(m->checked("Fill_Chk"));
    m->setListIndex("Compat_Com", 0);
    expectEnabled(*m, kBasic, false);
    for (std::string_view n : kPasswordBoxes) {
        EXPECT_FALSE(m->enabled(n));
        EXPECT_EQ(m->color(n), kButtonFace);
    }
    EXPECT_EQ(m->text("perm1_txt"), "p");
    EXPECT_TRUE(m->checked("Print_chk"));
    EXPECT_TRUE(m->checked("Ann_Chk"));
}

// The AES levels come after the 128-bit level and enable what it enables, whichever of the
// level and the permissions password arrives first.
TEST(SecurityRules, AesLevelsEnableWhatThe128BitLevelDoes) {
    for (int level : {kCompatAes128, kCompatAes256}) {
        SCOPED_TRACE(level);
        auto m = SettingsModel::create();
        m->setListIndex("Compat_Com", level);
        EXPECT_TRUE(m->enabled("open1_txt"));
        expectEnabled(*m, kExtended, false);
        m->setText("perm1_txt", "p");
        expectEnabled(*m, kBasic, true);
        expectEnabled(*m, kExtended, true);
        m->setListIndex("Compat_Com", kCompat40Bit);
        expectEnabled(*m, kExtended, false);

        m = SettingsModel::create();
        m->setText("perm1_txt", "p");
        m->setListIndex("Compat_Com", level);
        expectEnabled(*m, kExtended, true);
    }
}

TEST(SecurityRules, PermissionsPasswordSwitchesThePermissionBoxes) {
    auto m = SettingsModel::create();
    m->setListIndex("Compat_Com", 2);
    m->setText("perm1_txt", "ab");
    m->setText("perm1_txt", "a");
    expectEnabled(*m, kExtended, true);
    m->setText("perm1_txt", "");
    expectEnabled(*m, kBasic, false);
    expectEnabled(*m, kExtended, false);
    m->setText("perm1_txt", "x");
    expectEnabled(*m, kBasic, true);
    expectEnabled(*m, kExtended, true);

    // At level 0 a loaded password still enables the basic boxes; the level does not matter.
    m = SettingsModel::create();
    m->setText("perm1_txt", "x");
    expectEnabled(*m, kBasic, true);
    expectEnabled(*m, kExtended, false);
    EXPECT_FALSE(m->enabled("perm1_txt"));
}

TEST(SecurityRules, PermissionPairsPullOneWayOnly) {
    auto m = SettingsModel::create();
    struct Case {
        const char* set;
        int to;
        const char* partner;
        int partnerBefore;
        int partnerAfter;
    };
    for (const Case& c : {Case{"Print_chk", 1, "Low_Chk", 1, 0},
                          {"Low_Chk", 1, "Print_chk", 1, 0},
                          {"Ann_Chk", 0, "Fill_Chk", 1, 0},
                          {"Fill_Chk", 1, "Ann_Chk", 0, 1},
                          {"Change_chk", 0, "Asm_chk", 1, 0},
                          {"Asm_chk", 1, "Change_chk", 0, 1},
                          // the opposite changes leave the partner alone
                          {"Print_chk", 0, "Low_Chk", 1, 1},
                          {"Ann_Chk", 1, "Fill_Chk", 0, 0},
                          {"Fill_Chk", 0, "Ann_Chk", 1, 1},
                          {"Asm_chk", 0, "Change_chk", 1, 1}}) {
        m->setValue(c.set, 1 - c.to);
        m->setValue(c.partner, c.partnerBefore);
        m->setValue(c.set, c.to);
        EXPECT_EQ(m->value(c.partner), c.partnerAfter) << c.set << " -> " << c.to;
    }
    // Ticking "Fillin" then clearing "Annotations" leaves both cleared.
    m->setValue("Ann_Chk", 0);
    m->setValue("Fill_Chk", 1);
    EXPECT_EQ(m->value("Ann_Chk"), 1);
    m->setValue("Ann_Chk", 0);
    EXPECT_EQ(m->value("Fill_Chk"), 0);
}

TEST(SecurityRules, ConfirmationChecksOnLeavingTheSecondBox) {
    auto m = SettingsModel::create();
    m->setText("open1_txt", "Secret");
    m->setText("open2_txt", "secret");
    EXPECT_EQ(confirmationMessage(*m, "open2_txt"),
              "Open Password does not match confirmation - please re-enter.");
    EXPECT_EQ(confirmationMessage(*m, "open1_txt"), std::nullopt);
    m->setText("open2_txt", "Secret");
    EXPECT_EQ(confirmationMessage(*m, "open2_txt"), std::nullopt);

    m->setText("perm2_txt", "typed");
    EXPECT_EQ(confirmationMessage(*m, "perm2_txt"), std::nullopt); // empty first box: no check
    m->setText("perm1_txt", "other");
    EXPECT_EQ(confirmationMessage(*m, "perm2_txt"),
              "Permissions Password does not match confirmation - please re-enter.");
}

TEST(Interlocks, EachTriggerSwitchesItsGroupAndKeepsValues) {
    auto m = SettingsModel::create();
    m->setChecked("chkPage", true);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(m->enabled("optPgAlign", i));
    }
    expectEnabled(*m, {"txtPgFmt", "lblPgFmt", "txtPgLeft", "txtPgBottom", "cmbNumber", "txtSize", "lblLeft"},
                  true);
    EXPECT_TRUE(m->enabled("lblPoints", 1));
    m->setText("txtPgFmt", "Page %1");
    m->setChecked("chkPage", false);
    expectEnabled(*m, {"txtPgFmt", "lblNumb", "lblCenter", "lblRight2", "lblLeft"}, false);
    EXPECT_FALSE(m->enabled("lblPoints", 0));
    EXPECT_EQ(m->text("txtPgFmt"), "Page %1");

    m->setChecked("chkCenter", false);
    expectEnabled(*m, {"txtDown", "txtRight", "lblDown", "lblRight", "lblPoints1", "lblPoints2"}, true);
    m->setText("txtDown", "5");
    m->setChecked("chkCenter", true);
    expectEnabled(*m, {"txtDown", "lblPoints2"}, false);
    EXPECT_EQ(m->text("txtDown"), "5");

    m->setText("txtPageSizeX", "0");
    expectEnabled(*m, {"chkAutoScale1", "chkAutoScale2"}, false);
    m->setText("txtPageSizeY", " ");
    expectEnabled(*m, {"chkAutoScale1", "chkAutoScale2"}, true);
    m->setChecked("chkAutoScale1", true);
    m->setText("txtPageSizeX", "");
    expectEnabled(*m, {"chkAutoScale1", "chkAutoScale2"}, false);
    EXPECT_TRUE(m->checked("chkAutoScale1"));

    m->setText("txtPullPages", " ");
    expectEnabled(*m, {"chkRevOverlay", "chkAutoRotate"}, false);
    m->setText("txtPullPages", "");
    expectEnabled(*m, {"chkRevOverlay", "chkAutoRotate"}, true);

    m->setText("txtReplace", "x");
    expectEnabled(*m, {"cmbHiType", "lblHighlight"}, false);

    const std::vector<const char*> reduce{"txtImageDpi", "lblImageDpi", "txtImageQuality", "lblImageQuality"};
    expectEnabled(*m, reduce, false);
    m->setChecked("chkReduceImages", true);
    expectEnabled(*m, reduce, true);
    m->setText("txtImageDpi", "300");
    m->setChecked("chkReduceImages", false);
    expectEnabled(*m, reduce, false);
    EXPECT_EQ(m->text("txtImageDpi"), "300");
}

TEST(Pictures, AlignmentClicksKeepOneButtonPressed) {
    auto m = SettingsModel::create();
    m->clickButton("tbTextAlign", 1); // the pressed one: stays pressed
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
    m->clickButton("tbTextAlign", 2);
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 1));
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 2));
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 3));
    // Set by the program: no rule, the others stay as they are.
    m->setButton("tbTextAlign", 3, true);
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 2));
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 3));
}

TEST(Pictures, OriginPictureFollowsBothGroups) {
    auto m = SettingsModel::create();
    m->pickOption("optLeft", 0); // Right
    EXPECT_EQ(m->value("imgFromPage"), kOriginBottomRight);
    m->pickOption("optBottom", 0); // Top
    EXPECT_EQ(m->value("imgFromPage"), kOriginTopRight);
    m->pickOption("optLeft", 1); // Left
    EXPECT_EQ(m->value("imgFromPage"), kOriginTopLeft);
    m->pickOption("optBottom", 1); // Bottom
    EXPECT_EQ(m->value("imgFromPage"), kOriginBottomLeft);
}

TEST(Pictures, StampChoiceSwitchesPictureTextAndAngle) {
    auto m = SettingsModel::create();
    for (int p = 0; p < 22; ++p) {
        m->setListIndex("cmbStamp", p);
        const bool withText = p >= 13 && p <= 16;
        EXPECT_EQ(m->value("picStamp"), p == 0 ? kBlankStampPicture : p) << p;
        EXPECT_EQ(m->enabled("txtStampText"), withText) << p;
        EXPECT_EQ(m->enabled("lblStampText"), withText) << p;
        EXPECT_EQ(m->enabled("txtStampAngle"), !withText) << p;
        EXPECT_EQ(m->enabled("lblStampAngle2"), !withText) << p;
    }
    m->setListIndex("cmbStamp", 14);
    m->setText("txtStampText", "by me");
    m->setListIndex("cmbStamp", 3);
    EXPECT_EQ(m->text("txtStampText"), "by me");
    m->setListIndex("cmbStamp", -1);
    EXPECT_EQ(m->value("picStamp"), kBlankStampPicture);
}

TEST(Pictures, TransparencyTextMovesTheSlider) {
    auto m = SettingsModel::create();
    struct Case {
        const char* text;
        int slider;
    };
    for (const Case& c : {Case{"12.5", 12},
                          {"13.5", 14},
                          {"150", 100},
                          {"-5", 0},
                          {" 40 ", 40},
                          {"0.5", 0},
                          {"1.5", 2},
                          {"99.6", 100},
                          {"+7", 7},
                          {"32767", 100},
                          {"-32768", 0},
                          {"5e1", 50}}) {
        m->setText("txtTransparency", c.text);
        EXPECT_EQ(m->value("sldTransparency"), c.slider) << c.text;
        EXPECT_EQ(m->text("txtTransparency"), c.text);
    }
    // No number, or one beyond 16 bits: the slider stays where it was.
    m->setText("txtTransparency", "33");
    for (const char* text : {"abc", "", "32768", "-32769", "32767.5", "inf", "nan", "1,5", "12abc", "."}) {
        m->setText("txtTransparency", text);
        EXPECT_EQ(m->value("sldTransparency"), 33) << text;
        EXPECT_EQ(m->text("txtTransparency"), text);
    }
    sliderClicked(*m, 64);
    EXPECT_EQ(m->text("txtTransparency"), "64");
    EXPECT_EQ(m->value("sldTransparency"), 64);
}

TEST(Pictures, ColourButtonsStoreOnlyConfirmedColours) {
    auto m = SettingsModel::create();
    plait::test::FakeColorDialog dialog;
    dialog.answers = {0x00336699, std::nullopt};
    clickColorButton(*m, "btnColor", dialog);
    clickColorButton(*m, "btnTextColor", dialog); // cancelled
    EXPECT_EQ(m->color("picColor"), 0x00336699u);
    EXPECT_EQ(m->color("lblTextColor"), kButtonText);
    dialog.answers = {0x000000FF};
    clickColorButton(*m, "btnTextColor", dialog);
    EXPECT_EQ(m->color("lblTextColor"), 0x000000FFu);
    EXPECT_EQ(m->color("picColor"), 0x00336699u);
}

TEST(Attachments, BrowseFillsItsOwnRowAndRemembersTheFolderRule) {
    auto m = SettingsModel::create();
    FakeFileDialog dialog;
    bool firstOpenDialog = true;
    dialog.answers = {"", "/docs/five.txt", "/docs/two.txt"};

    browseAttachment(*m, 5, dialog, firstOpenDialog); // cancelled
    EXPECT_FALSE(firstOpenDialog);
    EXPECT_FALSE(dialog.shown[0].initDir.empty()); // the very first dialog: current directory
    EXPECT_EQ(dialog.shown[0].filter, "All Files (*.*)|*.*");
    EXPECT_EQ(dialog.shown[0].maxFileSize, 2048);
    EXPECT_EQ(dialog.shown[0].flags & ui::FileDialogState::kAllowMultiSelect, 0);
    EXPECT_EQ(m->text("txtAttach5"), "");

    browseAttachment(*m, 5, dialog, firstOpenDialog);
    EXPECT_EQ(dialog.shown[1].initDir, dialog.shown[0].initDir); // unchanged after the cancel
    EXPECT_EQ(m->text("txtAttach5"), "/docs/five.txt");
    EXPECT_EQ(m->text("txtAttach4"), "");

    m->commonDialog().defaultExt = ".pdf";
    browseAttachment(*m, 2, dialog, firstOpenDialog);
    EXPECT_EQ(dialog.shown[2].initDir, ""); // after a pick the platform chooses
    EXPECT_EQ(dialog.shown[2].defaultExt, "");
    EXPECT_EQ(m->text("txtAttach2"), "/docs/two.txt");

    FakeShell shell;
    openAttachment(*m, 1, shell); // empty: nothing
    m->setText("txtAttach1", "not/checked first.doc");
    openAttachment(*m, 1, shell);
    openAttachment(*m, 2, shell);
    EXPECT_EQ(shell.opened, (std::vector<std::string>{"not/checked first.doc", "/docs/two.txt"}));
}

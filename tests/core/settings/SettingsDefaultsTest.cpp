#include "core/settings/SettingsModel.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

using namespace plait::core::settings;
using plait::ui::ControlKind;

TEST(SettingsTable, StoresTheFieldsOnceEachInFileOrder) {
    EXPECT_EQ(storedFieldCount(), 222u);
    ASSERT_EQ(storedRecords().size(), 224u);

    std::set<std::pair<std::string_view, int>> seen;
    for (const ControlSpec& c : controlTable()) {
        EXPECT_TRUE(seen.emplace(c.name, c.index).second) << c.name << "(" << c.index << ") twice";
        EXPECT_TRUE(c.tab >= kNoTab && c.tab < kTabCount) << c.name;
    }

    // Every stored control precedes every control that is not stored, so the file order is
    // the collection order.
    bool inStoredPart = true;
    for (const ControlSpec& c : controlTable()) {
        if (!c.stored()) {
            inStoredPart = false;
        }
        EXPECT_TRUE(inStoredPart || !c.stored()) << c.name << " is stored after an unstored control";
    }

    const auto records = storedRecords();
    EXPECT_EQ(records.front().name, "chkMediaRepeat");
    EXPECT_EQ(records.back().name, "lblNumb");
    // Labels of arrays are written bare; option buttons, text-box arrays and toolbar buttons
    // carry their index.
    int bareBoxLabels = 0;
    int alignButtons = 0;
    for (const StoredRecord& r : records) {
        if (r.name == "lblBox" || r.name == "lblPoints") {
            EXPECT_EQ(r.writtenIndex, -1);
            bareBoxLabels += r.name == "lblBox";
        }
        if (r.name == "tbTextAlign") {
            EXPECT_EQ(r.type, 'B');
            EXPECT_EQ(r.writtenIndex, ++alignButtons);
        }
        if (r.name == "txtCropBox" || r.name == "optLeft") {
            EXPECT_GE(r.writtenIndex, 0);
        }
        if (r.name == "txtStampScale2") {
            EXPECT_EQ(r.type, 'A');
        }
    }
    EXPECT_EQ(bareBoxLabels, 5);
    EXPECT_EQ(alignButtons, 3);
}

TEST(SettingsDefaults, FreshModelHoldsTheDocumentedDefaults) {
    const auto m = SettingsModel::create();

    // The model mirrors the table one to one, in order.
    ASSERT_EQ(m->controls().size(), controlTable().size());
    for (std::size_t i = 0; i < controlTable().size(); ++i) {
        EXPECT_EQ(m->controls()[i].name, controlTable()[i].name);
    }

    // Every combo box shows its first entry, never an empty selection.
    for (const auto& c : m->controls()) {
        if (c.kind == ControlKind::ComboBox) {
            EXPECT_EQ(c.value, 0) << c.name;
        }
    }
    EXPECT_EQ(m->listText("cmbSort"), "Order Listed");
    EXPECT_EQ(m->listText("cmbNumber"), "Arabic");
    EXPECT_EQ(m->listText("cmbTranstype"), "Normal");
    EXPECT_EQ(m->controls()[0].kind, ControlKind::CheckBox);
    EXPECT_EQ(m->at("cmbTranstype").items.size(), 16u);
    EXPECT_EQ(m->at("cmbStamp").items.size(), 22u);
    EXPECT_EQ(m->at("cmbStamp").items[13], "Approved (w/ Text)");
    EXPECT_EQ(m->listText("Compat_Com"), "None");
    EXPECT_EQ(m->listText("cmbTextAreaUnits"), "Points");

    struct TextDefault {
        const char* name;
        int index;
        const char* text;
    };
    for (const TextDefault& d : {TextDefault{"txtPgFmt", -1, "%1 of %2"},
                                 {"txtSize", -1, "10"},
                                 {"txtPgLeft", -1, "36"},
                                 {"txtPgBottom", -1, "36"},
                                 {"txtDown", -1, "0"},
                                 {"txtRight", -1, "0"},
                                 {"txtTextAreaPoint", -1, "12"},
                                 {"txtTextAreaAngle", -1, "0"},
                                 {"txtPassword", -1, "Text1"},
                                 {"txtStandard", -1, "Text1"},
                                 {"txtTransparency", -1, ""},
                                 {"txtMediaBox", 3, ""},
                                 {"perm1_txt", -1, ""}}) {
        EXPECT_EQ(m->text(d.name, d.index), d.text) << d.name;
    }

    EXPECT_EQ(m->value("chkKeepBM"), 1);
    EXPECT_EQ(m->value("chkCenter"), 1);
    EXPECT_EQ(m->value("Check1"), 1);
    EXPECT_EQ(m->value("chkPage"), 0);
    EXPECT_EQ(m->value("chkMediaRepeat"), 0);

    EXPECT_EQ(m->value("optLeft", 1), 1); // "Left"
    EXPECT_EQ(m->value("optLeft", 0), 0);
    EXPECT_EQ(m->value("optBottom", 1), 1); // "Bottom"
    EXPECT_EQ(m->value("optBottom", 0), 0);
    EXPECT_EQ(m->value("optPgAlign", 0), 1);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_EQ(m->value("optPgAlign", i), 0);
    }

    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 2));
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 3));

    EXPECT_EQ(m->color("picColor"), 0x80000005u);
    EXPECT_EQ(m->color("picStamp"), 0x80000005u);
    EXPECT_EQ(m->color("lblTextColor"), 0x80000012u);
    EXPECT_EQ(m->color("lblBox", 4), 0x80000012u);

    EXPECT_EQ(m->value("sldTransparency"), 0);
    EXPECT_EQ(m->value("imgFromPage"), kOriginBottomLeft);
    EXPECT_EQ(m->value("picStamp"), kBlankStampPicture);
}

TEST(SettingsDefaults, StartStatesFollowTheRules) {
    const auto m = SettingsModel::create();
    // Page numbers are off, so their details are too; the three alignment captions are not.
    for (const char* n : {"txtPgFmt", "lblPgFmt", "cmbNumber", "lblNumb", "txtSize", "lblSize", "txtPgLeft",
                          "lblPgLeft", "txtPgBottom", "lblPgBottom"}) {
        EXPECT_FALSE(m->enabled(n)) << n;
    }
    EXPECT_FALSE(m->enabled("lblPoints", 0));
    EXPECT_FALSE(m->enabled("lblPoints", 1));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(m->enabled("optPgAlign", i));
    }
    for (const char* n : {"lblLeft", "lblCenter", "lblRight2"}) {
        EXPECT_TRUE(m->enabled(n)) << n;
    }
    // Centred, no page size, no stamp with text.
    for (const char* n : {"txtDown", "txtRight", "lblDown", "lblRight", "lblPoints1", "lblPoints2",
                          "chkAutoScale1", "chkAutoScale2", "txtStampText", "lblStampText"}) {
        EXPECT_FALSE(m->enabled(n)) << n;
    }
    for (const char* n : {"txtStampAngle", "lblStampAngle", "lblStampAngle2", "chkRevOverlay",
                          "chkAutoRotate", "cmbHiType", "lblHighlight", "Check1", "Compat_Com"}) {
        EXPECT_TRUE(m->enabled(n)) << n;
    }
    // Level "None": every password and permission box is off, the password boxes greyed.
    for (std::string_view n : kPasswordBoxes) {
        EXPECT_FALSE(m->enabled(n)) << n;
        EXPECT_EQ(m->color(n), kButtonFace) << n;
    }
    for (const char* n :
         {"Print_chk", "Change_chk", "Text_Chk", "Ann_Chk", "Fill_Chk", "Asm_chk", "Low_Chk"}) {
        EXPECT_FALSE(m->enabled(n)) << n;
    }
    EXPECT_TRUE(passwordsMasked(*m));
    EXPECT_FALSE(m->at("txtPassword").visible);
}

TEST(SettingsDefaults, ResetReplacesEveryChangedValue) {
    auto m = SettingsModel::create();
    m->setText("txtTitle", "changed");
    m->setChecked("chkPage", true);
    m->setListIndex("cmbStamp", 14);
    m->clickButton("tbTextAlign", 3);
    resetSettings(m);
    EXPECT_EQ(m->text("txtTitle"), "");
    EXPECT_EQ(m->value("chkPage"), 0);
    EXPECT_FALSE(m->enabled("txtPgFmt"));
    EXPECT_EQ(m->listIndex("cmbStamp"), 0);
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 3));
}

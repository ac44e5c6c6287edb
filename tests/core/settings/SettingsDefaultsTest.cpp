#include "core/settings/SettingsModel.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>

// Stored values and their order are pinned by the golden defaults file; these tests cover what
// the file cannot show: the table's shape, the lists' entries, pictures and start states.
using namespace plait::core::settings;
using plait::ui::ControlKind;

TEST(SettingsTable, EveryControlOnceAndStoredOnesFirst) {
    EXPECT_EQ(storedFieldCount(), 228u);
    EXPECT_EQ(storedRecords().size(), 230u);
    std::set<std::pair<std::string_view, int>> seen;
    bool storedPart = true;
    for (const ControlDef& c : controlTable()) {
        EXPECT_TRUE(seen.emplace(c.name, c.index).second) << c.name << "(" << c.index << ") twice";
        storedPart = storedPart && c.stored();
        EXPECT_TRUE(storedPart || !c.stored()) << c.name << " is stored after an unstored control";
    }
}

TEST(SettingsDefaults, ListsShowTheirFirstEntryAndPicturesTheirDefaults) {
    const auto m = SettingsModel::create();
    for (const auto& c : m->controls()) {
        if (c.kind == ControlKind::ComboBox) {
            EXPECT_EQ(c.value, 0) << c.name;
        }
    }
    EXPECT_EQ(m->listText("cmbSort"), "Order Listed");
    EXPECT_EQ(m->listText("cmbNumber"), "Arabic");
    EXPECT_EQ(m->listText("cmbTextAreaUnits"), "Points");
    EXPECT_EQ(m->at("cmbTranstype").items.size(), 16u);
    EXPECT_EQ(m->at("cmbTranstype").items[15], "Luminosity");
    EXPECT_EQ(m->at("cmbStamp").items.size(), 22u);
    EXPECT_EQ(m->at("cmbStamp").items[13], "Approved (w/ Text)");
    EXPECT_EQ(m->at("Compat_Com").items[2], "Acrobat 5.0 (128-Bit)");

    EXPECT_EQ(m->value("sldTransparency"), 0);
    EXPECT_EQ(m->value("imgFromPage"), kOriginBottomLeft);
    EXPECT_EQ(m->value("picStamp"), kBlankStampPicture);
    EXPECT_FALSE(m->at("txtPassword").visible);
    EXPECT_EQ(m->at("optBottom", 0).caption, "Top");
}

TEST(SettingsDefaults, StartStatesFollowTheRules) {
    const auto m = SettingsModel::create();
    // Page numbers are off, so are their details; the three alignment captions are not.
    for (const char* n :
         {"txtPgFmt",     "lblPgFmt",     "cmbNumber",   "lblNumb",     "txtSize",       "lblSize",
          "txtPgLeft",    "lblPgLeft",    "txtPgBottom", "lblPgBottom", "txtDown",       "txtRight",
          "lblDown",      "lblRight",     "lblPoints1",  "lblPoints2",  "chkAutoScale1", "chkAutoScale2",
          "txtStampText", "lblStampText", "Print_chk",   "Fill_Chk",    "Low_Chk"}) {
        EXPECT_FALSE(m->enabled(n)) << n;
    }
    EXPECT_FALSE(m->enabled("lblPoints", 0));
    EXPECT_FALSE(m->enabled("lblPoints", 1));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(m->enabled("optPgAlign", i));
    }
    for (const char* n : {"lblLeft", "lblCenter", "lblRight2", "txtStampAngle", "lblStampAngle2",
                          "chkRevOverlay", "cmbHiType", "lblHighlight", "Compat_Com"}) {
        EXPECT_TRUE(m->enabled(n)) << n;
    }
    // Level "None": the password boxes are off and greyed.
    for (std::string_view n : kPasswordBoxes) {
        EXPECT_FALSE(m->enabled(n)) << n;
        EXPECT_EQ(m->color(n), kButtonFace) << n;
    }
    EXPECT_TRUE(passwordsMasked(*m));
}

TEST(SettingsDefaults, ResetReplacesEveryChangedValue) {
    auto m = SettingsModel::create();
    m->setText("txtTitle", "changed");
    m->setChecked("chkPage", true);
    m->setListIndex("cmbStamp", 14);
    m->clickButton("tbTextAlign", 3);
    resetSettings(m);
    EXPECT_EQ(m->text("txtTitle"), "");
    EXPECT_FALSE(m->enabled("txtPgFmt"));
    EXPECT_EQ(m->listIndex("cmbStamp"), 0);
    EXPECT_TRUE(m->enabled("txtStampAngle"));
    EXPECT_TRUE(m->buttonPressed("tbTextAlign", 1));
    EXPECT_FALSE(m->buttonPressed("tbTextAlign", 3));
}

TEST(SettingsTable, NamedListPositionsNameTheEntriesTheySayAndEveryGetterIsStrict) {
    auto model = SettingsModel::create();
    EXPECT_EQ(model->at("Compat_Com").items.at(kCompat128Bit), "Acrobat 5.0 (128-Bit)");
    EXPECT_EQ(model->at("cmbStamp").items.at(kFirstTextStamp), "Approved (w/ Text)");
    EXPECT_EQ(model->at("cmbStamp").items.at(kLastTextStamp), "Received");
    EXPECT_EQ(model->at("cmbStamp").items.at(kLastTextStamp + 1), "Witness");
    EXPECT_NE(model->find("optPgAlign", kPageAlignCenter), nullptr);
    EXPECT_NE(model->find("optPgAlign", kPageAlignRight), nullptr);

    // A misspelt name fails loudly whichever way it is used.
    EXPECT_THROW((void)model->text("txtPgLft"), std::out_of_range);
    EXPECT_THROW((void)model->value("chkPages"), std::out_of_range);
    EXPECT_THROW((void)model->checked("optPgAlign", 9), std::out_of_range);
    EXPECT_THROW((void)model->listText("cmbNumbers"), std::out_of_range);
    EXPECT_THROW((void)model->color("picColour"), std::out_of_range);
    EXPECT_THROW((void)model->enabled("txtStamp"), std::out_of_range);
    EXPECT_THROW(model->setText("txtPgLft", "1"), std::out_of_range);
    EXPECT_EQ(model->text("txtSize"), "10");
}

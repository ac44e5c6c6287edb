#include "core/build/OptionSteps.h"
#include "core/build/Markup.h"
#include "core/build/steps/Steps.h"
#include "core/outline/Outline.h"
#include "core/settings/ControlTable.h"
#include "core/settings/SettingsModel.h"
#include "engine/RecordingEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace plait::core::build;
using plait::core::settings::SettingsModel;
using plait::engine::RecordingEngine;
using Lines = std::vector<std::string>;

namespace {

struct StepsFixture : ::testing::Test {
    SettingsModel settings;
    RecordingEngine engine;
    int overlayType = 0;
    bool autoOpen = false;
    const plait::core::outline::Outline* outline = nullptr;

    Lines all() {
        engine.log()->clear();
        StepContext ctx{engine, settings, overlayType, autoOpen, outline};
        runOptionSteps(ctx);
        return engine.log()->lines();
    }
    Lines only(void (*step)(StepContext&)) {
        engine.log()->clear();
        StepContext ctx{engine, settings, overlayType, autoOpen, outline};
        step(ctx);
        return engine.log()->lines();
    }
};

const Lines kDefaultTranscript{
    "setOwner(\"\")",      "setUser(\"\")",      "setPageNumOutside()", "setBookmarkKeep()",
    "setTitle(\"\")",      "setSubject(\"\")",   "setAuthor(\"\")",     "setProducer(\"\")",
    "setKeywords(\"\")",   "setPwdList(\"\")",   "setCmds(\"\")",       "setPageDown(\"0\")",
    "setPageRight(\"0\")", "setMediaPlay(\"\")", "setPageCenter()",     "setPages(\"\")",
};

TEST_F(StepsFixture, DefaultSettingsGiveExactlyTheDefaultTranscript) {
    EXPECT_EQ(all(), kDefaultTranscript);
    ASSERT_EQ(optionSteps().size(), 26u);
    for (std::size_t i = 0; i < optionSteps().size(); ++i) {
        EXPECT_EQ(optionSteps()[i].letter, static_cast<char>('a' + i));
    }
}

TEST_F(StepsFixture, PasswordMismatchSkipsTheWholeSecurityStep) {
    settings.setListIndex("Compat_Com", 2);
    settings.setText("open1_txt", "user");
    settings.setText("perm1_txt", "Owner");
    settings.setText("perm2_txt", "Owner");
    settings.setValue("Print_chk", 1);
    settings.setValue("Asm_chk", 1); // ticks Change_chk with it
    // Restrictions the rules keep apart can still arrive together from outside the rules.
    settings.at("Low_Chk").value = 1;
    EXPECT_EQ(only(steps::security), Lines{}); // open2_txt still empty: a mismatch
    settings.setText("open2_txt", "user");
    EXPECT_EQ(only(steps::security),
              (Lines{"setOwner(\"Owner\")", "setUser(\"user\")", "setEncrypt128()", "setNoPrint()",
                     "setNoChange()", "setNoAssemble()", "setNoDigital()"}));
    // A confirmation differing in case only is a mismatch too. The build stops before its
    // steps then; the step on its own still makes none of its calls.
    settings.setText("perm2_txt", "owner");
    EXPECT_EQ(only(steps::security), Lines{});
    EXPECT_EQ(all().front(), "setPageNumOutside()");
    // 40-bit: no setEncrypt128.
    settings.setListIndex("Compat_Com", 1);
    settings.setText("perm2_txt", "Owner");
    EXPECT_EQ(only(steps::security).at(2), "setNoPrint()");
    // The AES levels ask for AES in place of setEncrypt128, restrictions alike.
    settings.setListIndex("Compat_Com", plait::core::settings::kCompatAes128);
    EXPECT_EQ(only(steps::security),
              (Lines{"setOwner(\"Owner\")", "setUser(\"user\")", "setEncryptAES128()", "setNoPrint()",
                     "setNoChange()", "setNoAssemble()", "setNoDigital()"}));
    settings.setListIndex("Compat_Com", plait::core::settings::kCompatAes256);
    EXPECT_EQ(only(steps::security).at(2), "setEncryptAES256()");
}

TEST_F(StepsFixture, StampsFollowImpositionAndTheAngleRule) {
    settings.setListIndex("cmbStamp", 3); // Draft
    settings.setText("txtStampAngle", "45");
    settings.setText("txtStampScale", "50");
    settings.setText("txtStampY", "2");
    settings.setListIndex("cmbStampUnits", 2);
    settings.setText("txtStampPages", "1,3");
    EXPECT_EQ(only(steps::stamp),
              (Lines{"setStamp(\"Draft\")", "setAngle(\"45\")", "setPageScale(\"50\")", "setUnits(\"cm\")",
                     "setPageDown(\"2\")", "setOverlayPages(\"1,3\")"}));

    for (int revised : {13, 14, 15, 16}) {
        settings.setListIndex("cmbStamp", revised);
        const Lines lines = only(steps::stamp);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "setAngle(\"45\")"), 0) << revised;
    }
    settings.setListIndex("cmbStamp", 17);
    EXPECT_EQ(only(steps::stamp).at(1), "setAngle(\"45\")");

    // Approved (w/ Text) is the engine's Approved with a text; a text also drops the angle.
    settings.setListIndex("cmbStamp", 13);
    settings.setText("txtStampText", "OK by me");
    settings.setText("txtStampScale", "");
    settings.setText("txtStampY", "");
    settings.setText("txtStampPages", "");
    EXPECT_EQ(only(steps::stamp), (Lines{"setStamp(\"Approved\")", "setStampText(\"OK by me\")"}));

    settings.setListIndex("cmbStamp", 10);
    settings.setValue("chkStampBack", 1);
    settings.setText("txtStampText", "");
    settings.setText("txtStampAngle", "");
    settings.setText("txtStampX", " ");
    settings.setListIndex("cmbStampUnits", 0);
    EXPECT_EQ(only(steps::stamp), (Lines{"setStamp(\"Void,rev\")", "setPageRight(\" \")"}));

    for (int impose : {1, 2, 3, 4, 5}) {
        settings.setListIndex("cmbImpose", impose);
        EXPECT_EQ(only(steps::stamp), Lines{}) << impose;
    }
    settings.setListIndex("cmbImpose", 3);
    EXPECT_EQ(only(steps::imposition), Lines{"setOnePage(\"noscale\")"});
    settings.setListIndex("cmbImpose", 1);
    EXPECT_EQ(only(steps::imposition), Lines{"setImpose(\"2-up\")"});
    settings.setListIndex("cmbImpose", 4);
    EXPECT_EQ(only(steps::imposition), Lines{"setImpose(\"booklet\")"});
    settings.setListIndex("cmbImpose", 5);
    EXPECT_EQ(only(steps::imposition), Lines{"setImpose(\"booklet-long\")"});
    settings.setListIndex("cmbImpose", 0);
    settings.setListIndex("cmbStamp", 0);
    EXPECT_EQ(only(steps::stamp), Lines{});
}

TEST_F(StepsFixture, PulledPagesSwitchTheOverlayOff) {
    overlayType = 2;
    EXPECT_EQ(only(steps::overlayMode), (Lines{"setOverlay()", "setRepeat()"}));
    settings.setText("txtPullPages", "1-3");
    EXPECT_EQ(only(steps::overlayMode), Lines{});
    const Lines lines = all();
    EXPECT_EQ(lines.back(), "setPages(\"1-3\")");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "setOverlay()"), 0);

    // Reverse overlay counts only while its box is enabled, and also in merge mode.
    overlayType = 0;
    settings.setText("txtPullPages", "");
    settings.setValue("chkRevOverlay", 1);
    EXPECT_EQ(only(steps::overlayMode), Lines{"setRevOverlay()"});
    settings.setEnabled("chkRevOverlay", false);
    EXPECT_EQ(only(steps::overlayMode), Lines{});

    settings.setText("txtTransparency", "50");
    EXPECT_EQ(only(steps::transparency), Lines{"setTransparency(\"50\", \"Normal\")"});
}

TEST_F(StepsFixture, PageBoxesPageSizeAndPlacement) {
    for (int i = 0; i < 4; ++i) {
        settings.setText("txtMediaBox", i, std::to_string(i * 10));
        settings.setText("txtTrimBox", i, "t" + std::to_string(i));
        if (i < 3) {
            settings.setText("txtCropBox", i, "1");
        }
    }
    EXPECT_EQ(only(steps::pageBoxes), (Lines{"setMediaBox(\"0\", \"10\", \"20\", \"30\")",
                                             "setTrimBox(\"t0\", \"t1\", \"t2\", \"t3\")"}));

    settings.setText("txtPageSizeX", "210");
    settings.setValue("chkAutoScale1", 1);
    settings.setValue("chkAutoScale2", 1);
    settings.setListIndex("cmbPageSize", 3);
    EXPECT_EQ(only(steps::pageSize), Lines{}); // only the width
    settings.setText("txtPageSizeY", "297");
    EXPECT_EQ(only(steps::pageSize),
              (Lines{"setUnits(\"mm\")", "setPageSize(\"210\", \"297\")", "setAutoScale(\"du\")"}));
    settings.setValue("chkAutoScale1", 0);
    settings.setListIndex("cmbPageSize", 0);
    EXPECT_EQ(only(steps::pageSize), (Lines{"setPageSize(\"210\", \"297\")", "setAutoScale(\"d\")"}));

    settings.setText("txtDown", "");
    settings.setText("txtRight", "");
    EXPECT_EQ(only(steps::moveDownRight), (Lines{"setPageDown(\"\")", "setPageRight(\"\")"}));
    settings.setValue("chkAutoRotate", 1);
    settings.setText("txtAngle", "90");
    EXPECT_EQ(only(steps::rotation), (Lines{"setAutoRotate()", "setAngle(\"90\")"}));
}

TEST_F(StepsFixture, PageNumbersAndAlignment) {
    settings.pickOption("optPgAlign", 2);
    EXPECT_EQ(only(steps::pageNumbers), Lines{"setPageNumAlign(\"C\")"});
    settings.pickOption("optPgAlign", 3);
    settings.setValue("chkPage", 1);
    settings.setListIndex("cmbNumber", 2);
    EXPECT_EQ(
        only(steps::pageNumbers),
        (Lines{"setPageNumAlign(\"R\")", "setPageNum()", "setPageLMargin(\"36\")", "setPageBMargin(\"36\")",
               "setPageFmt(\"%1 of %2\")", "setPageNumStyle(\"roman\")", "setFontSize(\"10\")"}));
}

TEST_F(StepsFixture, TextMarkingWithReplacementOrColour) {
    settings.setText("txthighlight", "needle");
    // The default swatch is a system colour: its number lands in the red digits.
    EXPECT_EQ(only(steps::textMarking), (Lines{"setString(\"needle\")", "setStringColor(\"050000\")"}));
    settings.setListIndex("cmbHiType", 1);
    settings.setColor("picColor", -1, 0x0000FFFF); // yellow: red and green
    EXPECT_EQ(only(steps::textMarking),
              (Lines{"setString(\"needle\")", "setStringColorMode(\"HI-R\")", "setStringColor(\"FFFF00\")"}));
    settings.setListIndex("cmbHiType", 4);
    EXPECT_EQ(only(steps::textMarking).at(1), "setStringColorMode(\"CO\")");
    settings.setText("txtReplace", "pin");
    EXPECT_EQ(only(steps::textMarking), (Lines{"setString(\"needle\")", "setStringChange(\"pin\")"}));
}

TEST_F(StepsFixture, OutputActionsSortAttributesAndMedia) {
    autoOpen = true;
    settings.setValue("chkMail", 1);
    settings.setValue("chkPrint", 1);
    settings.setValue("chkKeepBM", 0);
    EXPECT_EQ(only(steps::outputActions), (Lines{"setOpen()", "setMail()", "setPrint()"}));
    settings.setListIndex("cmbSort", 4);
    EXPECT_EQ(only(steps::sortOrder), Lines{"setSort(\"d\")"});
    settings.setListIndex("cmbSort", 2);
    EXPECT_EQ(only(steps::sortOrder), Lines{"setSort(\"n\")"});

    settings.setText("txtValueAttr1", "lost");
    settings.setText("txtNameAttr2", "Dept");
    EXPECT_EQ(only(steps::customAttributes), Lines{"setAttribute(\"Dept\", \"\")"});

    settings.setValue("chkMediaOpen", 1);
    settings.setValue("chkMediaView", 1);
    settings.setValue("chkMediaMouse", 1);
    settings.setValue("chkMediaRepeat", 1);
    EXPECT_EQ(only(steps::media), (Lines{"setMediaPlay(\"ovm\")", "setMediaRepeat()"}));
}

// Image reduction and the smallest file follow the parameters, and only when ticked.
TEST_F(StepsFixture, OutputSizeOptionsFollowTheParameters) {
    settings.setText("txtParams", "linearize");
    settings.setText("txtImageDpi", "200");
    EXPECT_EQ(only(steps::parameters), Lines{"setCmds(\"linearize\")"});
    settings.setValue("chkReduceImages", 1);
    settings.setValue("chkSmallest", 1);
    EXPECT_EQ(only(steps::parameters),
              (Lines{"setCmds(\"linearize\")", "setImageReduce(\"200\", \"75\")", "setSmallest()"}));
}

TEST_F(StepsFixture, BookmarkOutlineGoesInAfterKeepAndBeforeSort) {
    plait::core::outline::KeyCounter keys;
    plait::core::outline::Outline tree(keys);
    outline = &tree;
    EXPECT_EQ(all(), kDefaultTranscript); // an empty outline passes nothing

    tree.insert();
    settings.setListIndex("cmbSort", 1);
    const Lines lines = all();
    const auto keep = std::find(lines.begin(), lines.end(), "setBookmarkKeep()");
    ASSERT_NE(keep, lines.end());
    ASSERT_GE(lines.end() - keep, 4);
    EXPECT_EQ(keep[1],
              "setFileDataS(\"_bm_\", \"<BOOKMARK LEVEL=1 DESCR=\\\"New Bookmark\\\" PAGE= CLOSED>\\r\\n\")");
    EXPECT_EQ(keep[2], "setBookmarkFile(\"_bm_\")");
    EXPECT_EQ(keep[3], "setSort(\"f\")");
}

TEST_F(StepsFixture, NoteAttachmentAndTextAreaMarkupByteForByte) {
    settings.setText("txtNote", "Read me");
    EXPECT_EQ(only(steps::note), Lines{}); // no pages: no note
    settings.setText("txtNoteTitle", "  Say \"hi\" ");
    settings.setText("txtNotePages", " 1-2 ");
    EXPECT_EQ(noteMarkup(settings),
              "<A X1=72 Y1=288 X2=288 Y2=72 TITLE=\"Say \"hi\"\" NOTE=\"Read me\" PAGES=\"1-2\">");
    EXPECT_EQ(only(steps::note)[1], "setAnnotesFile(\"annotes\")");

    settings.setText("txtAttach2", " /a b.pdf ");
    settings.setText("txtAttachDesc2", "first");
    settings.setText("txtAttachDesc3", "ignored: no file");
    settings.setText("txtAttach5", "/c.txt");
    EXPECT_EQ(attachmentMarkup(settings),
              "<EMBED SRC=\"/a b.pdf\" DESCR=\"first\"><EMBED SRC=\"/c.txt\" DESCR=\"\">");
    EXPECT_EQ(only(steps::attachments),
              (Lines{"setFileDataS(\"attach\", \"<EMBED SRC=\\\"/a b.pdf\\\" DESCR=\\\"first\\\"><EMBED "
                     "SRC=\\\"/c.txt\\\" DESCR=\\\"\\\">\")",
                     "setEmbedFile(\"attach\")"}));

    settings.setText("txtTextArea", "   ");
    EXPECT_EQ(only(steps::textArea), Lines{}); // only blanks
    settings.setText("txtTextArea", " Hello ");
    // Defaults: points, size 12, angle 0, left aligned, from bottom-left, button-text colour.
    EXPECT_EQ(textAreaMarkup(settings),
              "<TEXT PAGES=\"\" SIZE=\"12\" X= Y= ANGLE=0  COLOR=\"120000\" > Hello </TEXT>");
    settings.setListIndex("cmbTextAreaUnits", 3);
    settings.setButton("tbTextAlign", 1, false);
    settings.setButton("tbTextAlign", 2, true);
    settings.setColor("lblTextColor", -1, 0x00000000);
    settings.pickOption("optBottom", 0);
    settings.pickOption("optLeft", 0);
    settings.setText("txtTextAreaX", "1");
    settings.setText("txtTextAreaY", "2");
    settings.setText("txtTextAreaPages", "3");
    EXPECT_EQ(textAreaMarkup(settings),
              "<UNITS VALUE='mm'><TEXT PAGES=\"3\" SIZE=\"12\" X=1 Y=2 ANGLE=0  ALIGN=\"C\"  "
              "COLOR=\"000000\"  FROMTOP  FROMRIGHT > Hello </TEXT>");
    settings.setButton("tbTextAlign", 2, false);
    settings.setButton("tbTextAlign", 3, true);
    settings.setColor("lblTextColor", -1, 0x00FF0000); // blue
    EXPECT_NE(textAreaMarkup(settings).find("ANGLE=0  ALIGN=\"R\"  COLOR=\"0000FF\""), std::string::npos);
    EXPECT_EQ(only(steps::textArea).back(), "setStrFileIn(\"_text_\")");
}

TEST(ColorDigits, LowTwentyFourBitsAsRedGreenBlue) {
    EXPECT_EQ(colorDigits(0x000000FF), "FF0000");
    EXPECT_EQ(colorDigits(0x00FF0000), "0000FF");
    EXPECT_EQ(colorDigits(0x00000000), "000000");
    EXPECT_EQ(colorDigits(0x00123456), "563412");
    EXPECT_EQ(colorDigits(0x80000005), "050000");
    EXPECT_EQ(colorDigits(0x80000012), "120000");
}

} // namespace

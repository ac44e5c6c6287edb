#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace plait;
using plait::test::Harness;
using ::testing::ElementsAre;

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { h.window->load(); }
    core::app::MainWindow& w() { return *h.window; }
    Harness h;
};

const char* const kListControls[] = {"go",        "btnUp",   "btnDown",      "btnRemove",
                                     "mnuRemove", "mnuView", "mnuRemoveAll", "mnuBuildPDF"};

} // namespace

TEST_F(MainWindowTest, StartsInMergeModeWithEmptyListAndBlankPreview) {
    EXPECT_EQ(w().overlayType(), 0);
    EXPECT_TRUE(w().form().buttonPressed("Toolbar1", 6));
    EXPECT_FALSE(w().form().buttonPressed("Toolbar1", 7));
    EXPECT_FALSE(w().form().buttonPressed("Toolbar1", 8));
    EXPECT_TRUE(w().inputs().empty());
    EXPECT_EQ(w().form().value("chkViewer"), 1);
    EXPECT_EQ(w().form().value("chkPreview"), 0);
    EXPECT_EQ(w().form().text("txtOutfile"), "");
    for (const char* name : kListControls) {
        EXPECT_FALSE(w().form().enabled(name)) << name;
    }
    EXPECT_FALSE(w().form().enabled("mnuSave"));
    EXPECT_FALSE(w().form().enabled("mnuAddOutput"));
    EXPECT_TRUE(w().form().enabled("mnuSaveAs"));
    // Start-up fills the empty page before colouring it.
    EXPECT_THAT(h.preview.actions, ElementsAre("navigate:about:blank", "html", "bgcolor:#FFFFFF"));
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST_F(MainWindowTest, BlankPreviewIsTheGreyPageInFourLines) {
    const std::string html = w().blankPreviewHtml();
    EXPECT_EQ(html.rfind("<html><style type=\"text/css\">\r\nbody { margin: 0px;", 0), 0u);
    EXPECT_NE(html.find("background-color: #787878;} \r\n</style>\r\n<body marginwidth=\"0\""),
              std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 26), "&nbsp;</div></body></html>");
    EXPECT_EQ(std::count(html.begin(), html.end(), '\n'), 3);
}

TEST_F(MainWindowTest, KeysArePositionAndPathAndStayUnique) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    const auto c = h.file("c.pdf");
    w().insertFile(a);
    w().insertFile(b);
    w().insertFile(c);
    ASSERT_EQ(w().inputs().size(), 3u);
    EXPECT_EQ(w().inputs().at(0).key, "1" + a);
    EXPECT_EQ(w().inputs().at(2).key, "3" + c);
    EXPECT_EQ(w().inputs().selected(), 2u);
    for (const char* name : kListControls) {
        EXPECT_TRUE(w().form().enabled(name)) << name;
    }
    EXPECT_EQ(h.preview.current, c);

    // Add X, add X, remove the first, add X again: the natural key of the third would
    // repeat the second's; the file exists and must be taken.
    Harness h2;
    h2.window->load();
    const auto x = h2.file("x.pdf");
    h2.window->insertFile(x);
    h2.window->insertFile(x);
    h2.window->clickEntry(0);
    h2.window->removeSelected();
    ASSERT_TRUE(h2.window->insertFile(x));
    EXPECT_TRUE(h2.messages.shown.empty());
    ASSERT_EQ(h2.window->inputs().size(), 2u);
    EXPECT_NE(h2.window->inputs().at(0).key, h2.window->inputs().at(1).key);
}

TEST_F(MainWindowTest, MultiSelectionAppendsFolderAndNamesInOrder) {
    const auto folder = (h.platform.root / "in").string();
    plait::test::writeFile(h.platform.root / "in" / "a.pdf");
    plait::test::writeFile(h.platform.root / "in" / "b.pdf");
    h.files.nextNames.push_back(folder + std::string(1, '\0') + "a.pdf" + std::string(1, '\0') + "b.pdf");
    w().openScript();
    ASSERT_EQ(w().inputs().size(), 2u);
    EXPECT_EQ(w().inputs().at(0).text, folder + "/a.pdf");
    EXPECT_EQ(w().inputs().at(1).text, folder + "/b.pdf");
    EXPECT_EQ(w().inputs().selected(), 1u);
    // The add dialog: first one of the run starts in the current folder, multi-selection on.
    const auto& st = h.files.shownStates.at(0);
    EXPECT_EQ(st.initDir, h.platform.currentDir());
    EXPECT_EQ(st.defaultExt, ".pdf");
    EXPECT_EQ(st.flags, 524804);
    EXPECT_EQ(st.maxFileSize, 2048);
    EXPECT_FALSE(w().firstOpenDialog());
    // The shared dialog remembers the last file and forgets the folder.
    EXPECT_EQ(w().fileDialogState().fileName, folder + "/b.pdf");
    EXPECT_EQ(w().fileDialogState().initDir, "");
}

TEST_F(MainWindowTest, MissingFileIsReportedAndNothingAdded) {
    const auto missing = (h.platform.root / "nope.pdf").string();
    EXPECT_FALSE(w().insertFile(missing));
    ASSERT_EQ(h.messages.shown.size(), 1u);
    EXPECT_EQ(h.messages.shown[0].text, "File '" + missing + "' not found");
    EXPECT_EQ(h.messages.shown[0].caption, "PDF Plait");
    EXPECT_EQ(h.messages.shown[0].icon, ui::Icon::Exclamation);
    EXPECT_TRUE(w().inputs().empty());
    EXPECT_FALSE(w().form().enabled("go"));
}

TEST_F(MainWindowTest, MovesStopAtTheEndsAndLeaveThePreviewAlone) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().insertFile(b);
    const auto before = h.preview.actions.size();
    w().moveDown(); // b is last
    EXPECT_EQ(w().inputs().at(1).text, b);
    w().moveUp();
    EXPECT_EQ(w().inputs().at(0).text, b);
    EXPECT_EQ(w().inputs().at(0).key, "2" + b);
    EXPECT_EQ(w().inputs().selected(), 0u);
    w().moveUp(); // b is first now
    EXPECT_EQ(w().inputs().at(0).text, b);
    EXPECT_EQ(h.preview.actions.size(), before);
}

TEST_F(MainWindowTest, RemovingTheLastEntryBlanksThePaneAndDisablesTheListControls) {
    w().insertFile(h.file("a.pdf"));
    w().removeSelected();
    EXPECT_TRUE(w().inputs().empty());
    EXPECT_EQ(h.preview.current, "blank");
    EXPECT_THAT(std::vector<std::string>(h.preview.actions.end() - 3, h.preview.actions.end()),
                ElementsAre("navigate:about:blank", "bgcolor:#FFFFFF", "html"));
    for (const char* name : kListControls) {
        EXPECT_FALSE(w().form().enabled(name)) << name;
    }
}

TEST_F(MainWindowTest, RemoveSelectsANeighbourAndPreviewsIt) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    const auto c = h.file("c.pdf");
    w().insertFile(a);
    w().insertFile(b);
    w().insertFile(c);
    w().clickEntry(1);
    w().removeSelected();
    EXPECT_EQ(w().inputs().selectedEntry()->text, c);
    EXPECT_EQ(h.preview.current, c);
    w().removeAll();
    EXPECT_TRUE(w().inputs().empty());
    EXPECT_EQ(h.preview.current, "blank");
    EXPECT_FALSE(w().form().enabled("mnuBuildPDF"));
}

TEST_F(MainWindowTest, ViewUncheckedKeepsThePreview) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().form().setChecked("chkViewer", false);
    w().insertFile(b);
    w().clickEntry(1);
    EXPECT_EQ(h.preview.current, a);
}

TEST_F(MainWindowTest, ModeButtonsKeepExactlyOnePressed) {
    w().clickToolbar(7);
    EXPECT_EQ(w().overlayType(), 1);
    EXPECT_FALSE(w().form().buttonPressed("Toolbar1", 6));
    EXPECT_TRUE(w().form().buttonPressed("Toolbar1", 7));
    w().clickToolbar(7); // clicking the pressed one changes nothing
    EXPECT_EQ(w().overlayType(), 1);
    EXPECT_TRUE(w().form().buttonPressed("Toolbar1", 7));
    w().clickToolbar(8);
    EXPECT_EQ(w().overlayType(), 2);
    EXPECT_FALSE(w().form().buttonPressed("Toolbar1", 7));
    // A stored mode presses its button; an impossible one is passed over.
    w().setOverlayType(0);
    EXPECT_EQ(w().overlayType(), 0);
    EXPECT_TRUE(w().form().buttonPressed("Toolbar1", 6));
    w().setOverlayType(7);
    EXPECT_EQ(w().overlayType(), 0);
    EXPECT_TRUE(w().form().buttonPressed("Toolbar1", 6));
}

TEST_F(MainWindowTest, ToolbarSaveAlwaysAsksForAName) {
    w().clickToolbar(2);
    ASSERT_EQ(h.files.wasSave.size(), 1u);
    EXPECT_TRUE(h.files.wasSave[0]);
    EXPECT_EQ(h.files.shownStates[0].defaultExt, ".plt");
}

TEST_F(MainWindowTest, OutputDialogAsksBeforeOverwritingAndCancelKeepsTheName) {
    w().form().setText("txtOutfile", "kept.pdf");
    w().chooseOutputFile();
    EXPECT_EQ(h.files.shownStates.at(0).flags, ui::FileDialogState::kOverwritePrompt);
    EXPECT_EQ(h.files.shownStates.at(0).filter, "PDF Files|*.pdf|All Files (*.*)|*.*");
    EXPECT_EQ(w().form().text("txtOutfile"), "kept.pdf");
    h.files.nextNames.push_back("/x/out.pdf");
    w().chooseOutputFile();
    EXPECT_EQ(w().form().text("txtOutfile"), "/x/out.pdf");
}

TEST_F(MainWindowTest, ViewSelectedOpensInTheDesktopApplication) {
    w().viewSelectedFile();
    EXPECT_TRUE(h.shell.opened.empty());
    const auto a = h.file("a.pdf");
    w().insertFile(a);
    w().viewSelectedFile();
    EXPECT_THAT(h.shell.opened, ElementsAre(a));
    EXPECT_EQ(w().form().text("StatusBar1"), "");
    w().addOutputFile(); // no build yet
    EXPECT_EQ(w().inputs().size(), 1u);
}

TEST_F(MainWindowTest, ShutdownQuestion) {
    h.messages.answers = {ui::Answer::Cancel};
    EXPECT_FALSE(w().unload());
    EXPECT_FALSE(h.host.closed);
    EXPECT_EQ(h.messages.shown.back().text, "Do you want to save your settings?");
    EXPECT_EQ(h.messages.shown.back().caption, "PDF Plait");
    EXPECT_EQ(h.messages.shown.back().buttons, ui::Buttons::YesNoCancel);

    h.messages.answers = {ui::Answer::Yes};
    h.files.nextNames = {""}; // save dialog cancelled
    EXPECT_TRUE(w().unload());
    EXPECT_TRUE(h.host.closed);
    EXPECT_TRUE(std::filesystem::is_empty(h.platform.root / "cwd"));

    h.messages.answers = {ui::Answer::No};
    EXPECT_TRUE(w().unload());
    EXPECT_EQ(h.files.shownStates.size(), 1u); // No asks for no file
}

TEST(BrowserWait, GivesUpAfterItsBoundAndEndsTheProgram) {
    Harness h;
    h.preview.neverReady = true;
    h.window->load(); // start-up survives nothing but this
    EXPECT_TRUE(h.events.terminated);
    ASSERT_FALSE(h.messages.shown.empty());
    EXPECT_EQ(h.messages.shown.back().text, "Browser not in ready state");
    EXPECT_EQ(h.messages.shown.back().caption, "PDF Plait Application");
    EXPECT_EQ(h.messages.shown.back().buttons, ui::Buttons::Ok);
    // One event pass before the wait, then exactly the bound.
    EXPECT_EQ(h.events.passes, 1 + 50000);
}

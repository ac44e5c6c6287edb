#include "core/app/CloseWhileBuilding.h"
#include "core/support/Fakes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using namespace plait;
using plait::test::Harness;
using ::testing::ElementsAre;

namespace {

class OpenFilesTest : public ::testing::Test {
protected:
    void SetUp() override { h.window->load(); }
    core::app::MainWindow& w() { return *h.window; }
    std::vector<std::string> navigations() const {
        std::vector<std::string> out;
        for (const auto& a : h.preview.actions) {
            if (a.rfind("navigate:", 0) == 0 && a != "navigate:about:blank") {
                out.push_back(a.substr(9));
            }
        }
        return out;
    }
    Harness h;
};

} // namespace

TEST_F(OpenFilesTest, AddsInOrderSelectsTheLastAndPreviewsOnlyIt) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.jpg");
    // A relative name is taken against the current folder, as a command line gives it.
    w().openFiles({b, "a.pdf"});
    ASSERT_EQ(w().inputs().size(), 2u);
    EXPECT_EQ(w().inputs().at(0).text, b);
    EXPECT_EQ(w().inputs().at(1).text, a);
    EXPECT_EQ(w().inputs().selected(), 1u);
    EXPECT_TRUE(w().form().enabled("go"));
    EXPECT_THAT(navigations(), ElementsAre(a));
    EXPECT_EQ(w().form().value("chkViewer"), 1);
}

TEST_F(OpenFilesTest, MissingFilesAreReportedAndTheRestStillAdded) {
    const auto a = h.file("a.pdf");
    const auto missing = (h.platform.root / "cwd" / "gone.pdf").string();
    w().openFiles({missing, a, (h.platform.root / "cwd" / "gone.plt").string()});
    EXPECT_THAT(h.messages.texts(), ElementsAre("File '" + missing + "' not found", "File does not exist"));
    ASSERT_EQ(w().inputs().size(), 1u);
    EXPECT_EQ(w().inputs().at(0).text, a);
}

TEST_F(OpenFilesTest, NothingAddedLeavesTheListAndPreviewAlone) {
    w().openFiles({(h.platform.root / "nothing.pdf").string()});
    EXPECT_TRUE(w().inputs().empty());
    EXPECT_FALSE(w().form().enabled("go"));
    EXPECT_TRUE(navigations().empty());
    EXPECT_EQ(w().form().value("chkViewer"), 1);
}

TEST_F(OpenFilesTest, AFolderAddsItsPdfsByNameAndNothingElse) {
    const auto dir = h.platform.root / "cwd" / "scans";
    const auto second = test::writeFile(dir / "b.PDF");
    const auto first = test::writeFile(dir / "a.pdf");
    test::writeFile(dir / "notes.txt", "x");
    test::writeFile(dir / "inner" / "c.pdf");
    w().openFiles({dir.string()});
    ASSERT_EQ(w().inputs().size(), 2u);
    EXPECT_EQ(w().inputs().at(0).text, first);
    EXPECT_EQ(w().inputs().at(1).text, second);
    EXPECT_TRUE(core::app::pdfFilesIn((h.platform.root / "no-such-folder").string()).empty());
}

TEST_F(OpenFilesTest, ASettingsFileIsOpenedAsOpenWouldAmongTheInputs) {
    const auto a = h.file("a.pdf");
    const auto b = h.file("b.pdf");
    w().insertFile(a);
    w().setOverlayType(2);
    const auto plt = (h.platform.root / "cwd" / "saved.PLT").string();
    ASSERT_TRUE(w().saveSettingsTo(plt));
    w().removeAll();
    w().setOverlayType(0);

    w().openFiles({plt, b});
    EXPECT_EQ(w().overlayType(), 2);
    EXPECT_EQ(w().currentSettingsFile(), plt);
    EXPECT_TRUE(w().form().enabled("mnuSave"));
    ASSERT_EQ(w().inputs().size(), 2u);
    EXPECT_EQ(w().inputs().at(0).text, a);
    EXPECT_EQ(w().inputs().at(1).text, b);
    EXPECT_TRUE(h.messages.shown.empty());
}

TEST(SettingsFileName, OnlyTheExtensionInAnyCaseCounts) {
    EXPECT_TRUE(core::app::isSettingsFileName("/a/b.plt"));
    EXPECT_TRUE(core::app::isSettingsFileName("B.PlT"));
    EXPECT_FALSE(core::app::isSettingsFileName("plt"));
    EXPECT_FALSE(core::app::isSettingsFileName("a.plt.pdf"));
    EXPECT_FALSE(core::app::isSettingsFileName(""));
}

TEST(CloseWhileBuilding, AsksThenStopsAndClosesOnlyOnceTheBuildEnds) {
    test::FakeMessageBox messages;
    int stops = 0;
    int closes = 0;
    core::app::CloseWhileBuilding flow(messages, {[&] { ++stops; }, [&] { ++closes; }});

    messages.answers = {ui::Answer::No};
    flow.closeRequested();
    EXPECT_EQ(stops, 0);
    EXPECT_FALSE(flow.closing());
    flow.buildFinished();
    EXPECT_EQ(closes, 0); // "No": the build goes on and the window stays

    messages.answers = {ui::Answer::Yes};
    flow.closeRequested();
    EXPECT_EQ(stops, 1);
    EXPECT_EQ(closes, 0);  // the engine still holds its files
    flow.closeRequested(); // a second close while stopping asks nothing more
    EXPECT_EQ(messages.shown.size(), 2u);
    flow.buildFinished();
    EXPECT_EQ(closes, 1);
    flow.buildFinished(); // a later build does not close the window again
    EXPECT_EQ(closes, 1);

    ASSERT_FALSE(messages.shown.empty());
    EXPECT_EQ(messages.shown[0].text, "A build is still running. Stop it?");
    EXPECT_EQ(messages.shown[0].caption, "PDF Plait");
    EXPECT_EQ(messages.shown[0].icon, ui::Icon::Question);
    EXPECT_EQ(messages.shown[0].buttons, ui::Buttons::YesNo);
}

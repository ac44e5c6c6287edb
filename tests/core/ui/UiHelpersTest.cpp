#include "core/support/Fakes.h"
#include "core/ui/PreviewWait.h"
#include "core/ui/Text.h"

#include <gtest/gtest.h>

namespace ui = plait::ui;

namespace {

// A pane that becomes ready after a number of event passes.
class SlowPane : public plait::test::FakePreview {
public:
    explicit SlowPane(plait::test::FakeEvents& events, long readyAfter)
        : events_(events), after_(readyAfter) {}
    int readyState() override { return events_.passes >= after_ ? ui::kPreviewReady : 1; }

private:
    plait::test::FakeEvents& events_;
    long after_;
};

TEST(PreviewWait, WaitsForTheReadyStateAndGivesUpAfterTheLastPass) {
    plait::test::FakeEvents events;
    plait::test::FakeMessageBox messages;
    SlowPane late(events, 1000);
    EXPECT_TRUE(ui::waitForPreview(late, events, messages));
    EXPECT_EQ(events.passes, 1000);
    EXPECT_TRUE(messages.shown.empty());

    plait::test::FakeEvents idle;
    SlowPane never(idle, ui::kPreviewWaitPasses + 1);
    EXPECT_FALSE(ui::waitForPreview(never, idle, messages));
    EXPECT_EQ(idle.passes, ui::kPreviewWaitPasses);
    EXPECT_TRUE(idle.terminated);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Browser not in ready state");
    EXPECT_EQ(messages.shown[0].caption, ui::kAppTitle);
}

TEST(Trim, BlanksOnlyUnlessTabsAreAsked) {
    EXPECT_EQ(ui::trimBlanks("  a b  "), "a b");
    EXPECT_EQ(ui::trimBlanks("\ta\t"), "\ta\t");
    EXPECT_EQ(ui::trimBlanks("   "), "");
    EXPECT_EQ(ui::trimBlanks(""), "");
    EXPECT_EQ(ui::trimmed(" \t12\t ", ui::kBlanksAndTabs), "12");
    EXPECT_EQ(ui::trimmed("\r\n x \r\n", ui::kBlanks), "\r\n x \r\n");
}

} // namespace

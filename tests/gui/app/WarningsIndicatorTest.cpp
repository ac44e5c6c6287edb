#include "gui/build/WarningsIndicator.h"
#include "gui/ui/TestApp.h"

#include <gtest/gtest.h>

TEST(WarningsIndicator, AppearsOnlyWhenTheLastBuildNotedSomething) {
    plait::test::testApp();
    QWidget parent;
    plait::gui::WarningsIndicator notes(&parent);
    parent.show();
    EXPECT_FALSE(notes.isVisible());
    notes.setWarnings({"a.pdf: repaired: file is damaged", "Stamps are not supported yet"});
    EXPECT_TRUE(notes.isVisible());
    EXPECT_EQ(notes.text(), "2 notes from the last build");
    EXPECT_EQ(notes.details(), "• a.pdf: repaired: file is damaged\n• Stamps are not supported yet");
    notes.setWarnings({});
    EXPECT_FALSE(notes.isVisible());
}

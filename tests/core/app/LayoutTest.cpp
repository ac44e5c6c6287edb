#include "core/app/Layout.h"

#include <gtest/gtest.h>

using plait::core::app::layoutMainWindow;

TEST(MainLayout, DesignSizeLaysOutAroundThePane) {
    const auto l = layoutMainWindow(9750, 7200, 9990, 600);
    EXPECT_EQ(l.treeView.width, 855 + 855 + 735); // exactly the button row
    EXPECT_EQ(l.treeView.left, 100);
    EXPECT_EQ(l.btnUp.top, 680);
    EXPECT_EQ(l.treeView.top, 600 + 495 + 160);
    EXPECT_EQ(l.webBrowser.left, 100 + 2445 + 100);
    EXPECT_EQ(l.labOutfile.top, 7200 - 285 - 315 - 400);
    EXPECT_EQ(l.chkPreview.top, l.txtOutfile.top + 285 + 80);
    EXPECT_EQ(l.cmdOutput.left, l.txtOutfile.left + 3375 + 80);
    // go centred on the span from the output row to the bottom of the check boxes.
    EXPECT_EQ(l.go.top, l.labOutfile.top + (l.chkViewer.top + 315 - l.labOutfile.top) / 2 - 495 / 2);
    EXPECT_EQ(l.webBrowser.height, l.labOutfile.top - 100 - 600);
    EXPECT_EQ(l.webBrowser.width, 9990 - l.webBrowser.left - 100);
    EXPECT_EQ(l.line2.x1, l.webBrowser.left - 15);
    EXPECT_EQ(l.line3.y1, 605);
}

TEST(MainLayout, TinyWindowKeepsItsMinimums) {
    const auto l = layoutMainWindow(300, 300, 300, 600);
    EXPECT_EQ(l.treeView.height, 500);
    EXPECT_EQ(l.labOutfile.top, 400);
    EXPECT_EQ(l.webBrowser.height, 100);
    EXPECT_EQ(l.webBrowser.width, 500);
    EXPECT_EQ(l.btnRemove.width, 735); // design sizes never change
}

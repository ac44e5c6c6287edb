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

TEST(MainLayout, AtTheMinimumClientSizeNothingLeavesTheWindow) {
    using plait::core::app::minimumClientSize;
    using plait::core::app::Rect;
    plait::core::app::ControlSizes wide;
    wide.chkPreview.width = 6000; // a font that needs far more room for the caption
    for (const auto& sizes : {plait::core::app::ControlSizes{}, wide}) {
        const auto least = minimumClientSize(0, sizes);
        const auto l = layoutMainWindow(least.width, least.height, least.width, 0, sizes);
        for (const Rect& r : {l.treeView, l.btnUp, l.btnRemove, l.txtOutfile, l.cmdOutput, l.go, l.chkViewer,
                              l.chkPreview, l.webBrowser}) {
            EXPECT_LE(r.left + r.width, least.width);
            EXPECT_LE(r.top + r.height, least.height);
        }
        // And not needlessly large: the build button ends one margin from the edge.
        EXPECT_EQ(std::max(l.go.left + l.go.width, l.chkPreview.left + l.chkPreview.width) + 100,
                  least.width);
    }
    EXPECT_EQ(minimumClientSize(0).height, 495 + 2 * 80 + 500); // the list at its least
}

#include "Layout.h"

#include <algorithm>

namespace plait::core::app {

MainLayout layoutMainWindow(int scaleWidth, int scaleHeight, int windowWidth, int toolbarHeight,
                            const ControlSizes& sizes) {
    using D = MainDesign;
    MainLayout l;
    static_cast<ControlSizes&>(l) = sizes; // the fixed-size controls keep their sizes

    // The list column.
    l.treeView.top = toolbarHeight + l.btnUp.height + 2 * D::gap;
    l.treeView.left = D::margin;
    l.treeView.height = std::max(D::minListHeight, scaleHeight - toolbarHeight - l.treeView.top);
    l.btnUp.left = l.treeView.left;
    l.btnDown.left = l.btnUp.left + l.btnUp.width;
    l.btnRemove.left = l.btnDown.left + l.btnDown.width;
    l.btnUp.top = toolbarHeight + D::gap;
    l.btnDown.top = l.btnUp.top;
    l.btnRemove.top = l.btnUp.top;
    l.treeView.width = l.btnUp.width + l.btnDown.width + l.btnRemove.width;

    // The output row above the check-box row.
    const int labTop = scaleHeight - l.txtOutfile.height - l.chkViewer.height - 4 * D::margin;
    l.labOutfile.top = labTop > 4 * D::margin ? labTop : 4 * D::margin;
    l.txtOutfile.top = l.labOutfile.top;
    l.cmdOutput.top = l.labOutfile.top;
    l.chkPreview.top = l.txtOutfile.top + l.txtOutfile.height + D::gap;
    l.chkViewer.top = l.chkPreview.top;

    // The preview pane and the row beneath it.
    l.webBrowser.top = toolbarHeight;
    l.webBrowser.left = l.treeView.left + l.treeView.width + D::margin;
    l.labOutfile.left = l.webBrowser.left;
    l.txtOutfile.left = l.labOutfile.left + l.labOutfile.width + D::gap;
    l.cmdOutput.left = l.txtOutfile.left + l.txtOutfile.width + D::gap;
    l.chkViewer.left = l.labOutfile.left + D::gap;
    l.chkPreview.left = l.chkViewer.left + l.chkViewer.width + D::gap;
    l.go.left = l.cmdOutput.left + l.cmdOutput.width + 2 * D::gap;
    l.go.top =
        l.labOutfile.top + (l.chkViewer.top + l.chkViewer.height - l.labOutfile.top) / 2 - l.go.height / 2;

    const int paneHeight = l.labOutfile.top - D::margin - l.webBrowser.top;
    l.webBrowser.height = paneHeight > D::margin ? paneHeight : D::margin;
    const int paneWidth = windowWidth - l.webBrowser.left - D::margin;
    l.webBrowser.width = paneWidth > D::minPaneWidth ? paneWidth : D::minPaneWidth;

    // Separator lines.
    const int paneBottom = l.webBrowser.top + l.webBrowser.height;
    l.line1 = {l.webBrowser.left, paneBottom + 1, l.webBrowser.left + l.webBrowser.width, paneBottom + 1};
    l.line2 = {l.webBrowser.left - 15, 0, l.webBrowser.left - 15, scaleHeight};
    l.line3 = {0, toolbarHeight + 5, scaleWidth, toolbarHeight + 5};
    return l;
}

ClientSize minimumClientSize(int toolbarHeight, const ControlSizes& sizes) {
    // Below some size the rules stop shrinking things and hold their minimums; laid out at no
    // size at all, every control is at its least, and the area must reach round all of them.
    const MainLayout l = layoutMainWindow(0, 0, 0, toolbarHeight, sizes);
    ClientSize least;
    for (const Rect& r : {l.treeView, l.btnUp, l.btnDown, l.btnRemove, l.labOutfile, l.txtOutfile,
                          l.cmdOutput, l.go, l.chkViewer, l.chkPreview, l.webBrowser}) {
        least.width = std::max(least.width, r.left + r.width);
        least.height = std::max(least.height, r.top + r.height);
    }
    // The pane and the build button keep the window's margin on their right; the list reaches
    // down to the bottom edge, as it does at every other size.
    least.width += MainDesign::margin;
    return least;
}

} // namespace plait::core::app

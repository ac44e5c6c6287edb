#pragma once

namespace plait::core::app {

// Positions of the main window's controls, in twips (1440 an inch), computed from the size
// of the window's client area by the window's own layout rules.
struct Rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const Rect&) const = default;
};

struct LineSegment {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

// Design sizes that the layout uses and never changes.
struct MainDesign {
    static constexpr int margin = 100;
    static constexpr int gap = 80;
    static constexpr int minListHeight = 500;
    static constexpr int minPaneWidth = 500;
    static constexpr Rect btnUp{0, 0, 855, 495};
    static constexpr Rect btnDown{0, 0, 855, 495};
    static constexpr Rect btnRemove{0, 0, 735, 495};
    static constexpr Rect labOutfile{0, 0, 975, 255};
    static constexpr Rect txtOutfile{0, 0, 3375, 285};
    static constexpr Rect cmdOutput{0, 0, 315, 255};
    static constexpr Rect go{0, 0, 855, 495};
    static constexpr Rect chkViewer{0, 0, 855, 315};
    static constexpr Rect chkPreview{0, 0, 2775, 315};
    static constexpr int clientWidth = 9750;
    static constexpr int clientHeight = 7200;
};

// The sizes of the fixed-size controls. The design sizes are the default; a screen whose font
// needs more room for a caption may pass larger ones, and the rules place the rest around them.
struct ControlSizes {
    Rect btnUp = MainDesign::btnUp;
    Rect btnDown = MainDesign::btnDown;
    Rect btnRemove = MainDesign::btnRemove;
    Rect labOutfile = MainDesign::labOutfile;
    Rect txtOutfile = MainDesign::txtOutfile;
    Rect cmdOutput = MainDesign::cmdOutput;
    Rect go = MainDesign::go;
    Rect chkViewer = MainDesign::chkViewer;
    Rect chkPreview = MainDesign::chkPreview;
};

// The place of every control: the fixed-size ones keep the size they were given.
struct MainLayout : ControlSizes {
    Rect treeView;
    Rect webBrowser;
    LineSegment line1, line2, line3;
};

// scaleWidth/scaleHeight: the client area; windowWidth: the outer width; toolbarHeight: the
// toolbar's own height. Every length is in twips.
MainLayout layoutMainWindow(int scaleWidth, int scaleHeight, int windowWidth, int toolbarHeight,
                            const ControlSizes& sizes = {});

// The smallest client area in which the layout rules still place every control inside the
// window: the list, the pane and the output rows at their least. In twips.
struct ClientSize {
    int width = 0;
    int height = 0;
    bool operator==(const ClientSize&) const = default;
};
ClientSize minimumClientSize(int toolbarHeight, const ControlSizes& sizes = {});

} // namespace plait::core::app

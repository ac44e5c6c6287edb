#pragma once

namespace plait::pdf {

// When an embedded audio or video input starts playing, and whether it loops. With no trigger
// set it plays when the user clicks its screen area.
struct MediaOptions {
    bool onPageOpen = false;    // 'o': the page is opened
    bool onPageVisible = false; // 'v': the page becomes visible
    bool onMouseEnter = false;  // 'm': the pointer enters the screen area
    bool repeat = false;        // play again and again instead of once
};

} // namespace plait::pdf

#pragma once

class QAbstractItemView;

namespace plait::gui {

// An empty list or tree has no current item to draw the focus on, so the style shows nothing
// when it takes the focus. Its frame takes the palette's highlight colour while it has the
// focus instead (in a dark theme too).
void showFocusOnFrame(QAbstractItemView* view);

} // namespace plait::gui

#pragma once

#include <QSize>

class QWidget;

namespace plait::gui {

// The room a top-level window has on the screen it opens on: the screen's available area
// (without panels and docks) less the window frame. A window that wants more gets this much,
// so that its bottom row (the build button, OK) stays on the screen at any scale factor.
QSize screenRoom(const QWidget* window);

// `wanted`, cut down to `room` in each direction.
QSize fitWithin(QSize wanted, QSize room);

} // namespace plait::gui

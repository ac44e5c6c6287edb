#pragma once

#include <QColor>

namespace plait::gui {

// WCAG contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& a, const QColor& b);

// `color`, lightened as far as needed to stand out from the current palette's button colour
// when the desktop uses a dark theme; unchanged on a light one. For the coloured parts of
// the program's own pictures (arrows, crosses), which carry no text colour of their own.
QColor readableOnButtons(const QColor& color);

} // namespace plait::gui

#include "Contrast.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace plait::gui {

namespace {

double channel(double c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

// What pictures need against their background: the large-graphics level.
constexpr double kPictureContrast = 3.0;

} // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor readableOnButtons(const QColor& color) {
    const QColor button = QApplication::palette().color(QPalette::Button);
    if (button.lightnessF() >= 0.5) {
        return color;
    }
    QColor shown = color;
    for (int i = 0; i < 10 && contrastRatio(shown, button) < kPictureContrast; ++i) {
        shown = shown.lighter(125);
    }
    return shown;
}

} // namespace plait::gui

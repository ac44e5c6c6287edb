#include "ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace plait::gui {

namespace {

// What the window manager adds around the client area, when the window has not been shown
// yet and cannot say: a title bar and thin borders.
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 40;

} // namespace

QSize screenRoom(const QWidget* window) {
    const QScreen* screen = window != nullptr ? window->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return {QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    }
    const QSize available = screen->availableGeometry().size();
    int frameW = kFrameWidth;
    int frameH = kFrameHeight;
    if (window != nullptr && window->isVisible()) {
        frameW = window->frameGeometry().width() - window->width();
        frameH = window->frameGeometry().height() - window->height();
    }
    return {std::max(1, available.width() - frameW), std::max(1, available.height() - frameH)};
}

QSize fitWithin(QSize wanted, QSize room) {
    return wanted.boundedTo(room);
}

} // namespace plait::gui

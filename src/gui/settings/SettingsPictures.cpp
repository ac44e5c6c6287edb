#include "SettingsPictures.h"

#include "gui/ui/Contrast.h"

#include <QApplication>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPolygonF>

#include <cmath>
#include <functional>

namespace plait::gui::pictures {

namespace {

QPixmap blank(QSize size) {
    QPixmap pm(size);
    pm.fill(Qt::transparent);
    return pm;
}

// A portrait page with a folded top-right corner, inside rect.
void drawPage(QPainter& p, const QRectF& r) {
    const qreal fold = std::min(r.width(), r.height()) * 0.18;
    QPainterPath page;
    page.moveTo(r.topLeft());
    page.lineTo(r.right() - fold, r.top());
    page.lineTo(r.right(), r.top() + fold);
    page.lineTo(r.bottomRight());
    page.lineTo(r.bottomLeft());
    page.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.setBrush(QColor(220, 220, 220));
    p.drawPolygon(QPolygonF({QPointF(r.right() - fold, r.top()), QPointF(r.right() - fold, r.top() + fold),
                             QPointF(r.right(), r.top() + fold)}));
}

void drawArrow(QPainter& p, QPointF from, QPointF to, const QColor& color) {
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const qreal len = std::hypot(d.x(), d.y());
    if (len <= 0) {
        return;
    }
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    const qreal head = 6.0;
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPolygon(QPolygonF({to, to - u * head + n * head * 0.5, to - u * head - n * head * 0.5}));
}

QColor stampColor(int n) {
    switch (n) {
    case 1:  // Approved
    case 4:  // Final
    case 5:  // Completed
    case 13: // Approved (w/ Text)
    case 15: // Reviewed
    case 16: // Received
    case 20: // Check
        return QColor(30, 130, 50);
    case 2:  // Not Approved
    case 6:  // Confidential
    case 8:  // Not For Public Release
    case 10: // Void
    case 21: // Cross
        return QColor(190, 30, 30);
    default:
        return QColor(30, 60, 160);
    }
}

QIcon iconFrom(const std::function<void(QPainter&, const QRectF&)>& draw) {
    QIcon icon;
    for (int side : {16, 24, 32}) {
        QPixmap pm = blank(QSize(side, side));
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, QRectF(0, 0, side, side));
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

} // namespace

QPixmap originPicture(int n, QSize size) {
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF page = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4, 3, -4, -3);
    drawPage(p, page);
    const qreal in = std::min(page.width(), page.height()) * 0.45;
    QPointF corner;
    QPointF dir;
    switch (n) {
    case 4:
        corner = page.topRight() + QPointF(-2, 2);
        dir = QPointF(-1, 1);
        break;
    case 5:
        corner = page.bottomLeft() + QPointF(2, -2);
        dir = QPointF(1, -1);
        break;
    case 6:
        corner = page.bottomRight() + QPointF(-2, -2);
        dir = QPointF(-1, -1);
        break;
    case 7:
        corner = page.topLeft() + QPointF(2, 2);
        dir = QPointF(1, 1);
        break;
    default:
        return pm;
    }
    const QColor red(200, 30, 30);
    p.setPen(Qt::NoPen);
    p.setBrush(red);
    p.drawEllipse(corner, 2.5, 2.5);
    drawArrow(p, corner, corner + dir * in, red);
    return pm;
}

QPixmap stampPicture(int n, const QString& name, QSize size) {
    QPixmap pm = blank(size);
    if (n < 1 || n > 21) {
        return pm;
    }
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor color = stampColor(n);
    const QRectF frame = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4, 8, -4, -8);
    p.setPen(QPen(color, 2.5));
    p.setBrush(QColor(color.red(), color.green(), color.blue(), 22));
    p.drawRoundedRect(frame, 8, 8);

    const bool withText = n >= 13 && n <= 16;
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(static_cast<int>(frame.height() * (withText ? 0.32 : 0.40)));
    // Long names shrink to fit the frame.
    while (font.pixelSize() > 7 &&
           QFontMetricsF(font).horizontalAdvance(name.toUpper()) > frame.width() - 10) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    p.setFont(font);
    p.setPen(color);
    if (!withText) {
        p.drawText(frame, Qt::AlignCenter, name.toUpper());
        return pm;
    }
    const QRectF top(frame.left(), frame.top() + 2, frame.width(), frame.height() * 0.55);
    p.drawText(top, Qt::AlignHCenter | Qt::AlignBottom, name.toUpper());
    QFont small = font;
    small.setBold(false);
    small.setItalic(true);
    small.setPixelSize(std::max(7, static_cast<int>(frame.height() * 0.2)));
    p.setFont(small);
    const QRectF bottom(frame.left(), top.bottom() + 1, frame.width(), frame.bottom() - top.bottom() - 2);
    p.drawText(bottom, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("your stamp text"));
    return pm;
}

QPixmap alignPagePicture(QSize size) {
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF page = QRectF(QPointF(0, 0), QSizeF(size)).adjusted(6, 2, -6, -2);
    drawPage(p, page);
    // Lines of text, and the three places a page number can stand.
    p.setPen(QPen(QColor(170, 170, 170), 1));
    for (qreal y = page.top() + 10; y < page.bottom() - 18; y += 6) {
        p.drawLine(QPointF(page.left() + 8, y), QPointF(page.right() - 12, y));
    }
    QFont font = p.font();
    font.setPixelSize(9);
    p.setFont(font);
    p.setPen(QColor(30, 60, 160));
    const qreal y = page.bottom() - 13;
    const QRectF slot(0, y, page.width() / 3, 12);
    p.drawText(slot.translated(page.left() + 2, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("1"));
    p.drawText(slot.translated(page.left() + page.width() / 3, 0), Qt::AlignCenter, QStringLiteral("1"));
    p.drawText(slot.translated(page.left() + 2 * page.width() / 3 - 2, 0), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("1"));
    return pm;
}

QPixmap lockPicture(QSize size) {
    QPixmap pm = blank(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal w = size.width();
    const qreal h = size.height();
    p.setPen(QPen(QColor(120, 120, 120), w * 0.09));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(w * 0.28, h * 0.08, w * 0.44, h * 0.5), 0, 180 * 16);
    p.drawLine(QPointF(w * 0.28, h * 0.33), QPointF(w * 0.28, h * 0.45));
    p.drawLine(QPointF(w * 0.72, h * 0.33), QPointF(w * 0.72, h * 0.45));
    p.setPen(QPen(QColor(150, 110, 20), 1.2));
    p.setBrush(QColor(230, 180, 50));
    p.drawRoundedRect(QRectF(w * 0.16, h * 0.42, w * 0.68, h * 0.5), 4, 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 60, 10));
    p.drawEllipse(QPointF(w * 0.5, h * 0.62), w * 0.06, w * 0.06);
    p.drawRect(QRectF(w * 0.47, h * 0.62, w * 0.06, h * 0.16));
    return pm;
}

QIcon alignIcon(int button) {
    // Lines in the desktop's text colour, so that they show on light and dark themes alike.
    const QColor ink = QApplication::palette().color(QPalette::ButtonText);
    return iconFrom([button, ink](QPainter& p, const QRectF& r) {
        const qreal s = r.width();
        p.setPen(QPen(ink, std::max(1.0, s / 14)));
        const qreal widths[] = {0.8, 0.5, 0.8, 0.6};
        for (int i = 0; i < 4; ++i) {
            const qreal y = s * (0.22 + 0.19 * i);
            const qreal len = s * widths[i];
            qreal x = s * 0.1;
            if (button == 2) {
                x = (s - len) / 2;
            } else if (button == 3) {
                x = s * 0.9 - len;
            }
            p.drawLine(QPointF(x, y), QPointF(x + len, y));
        }
    });
}

QIcon outlineIcon(const QString& which) {
    return iconFrom([which](QPainter& p, const QRectF& r) {
        const qreal s = r.width();
        const QPointF c = r.center();
        if (which == QLatin1String("delete")) {
            p.setPen(QPen(readableOnButtons(QColor(190, 30, 30)), s / 7, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(s * 0.25, s * 0.25), QPointF(s * 0.75, s * 0.75));
            p.drawLine(QPointF(s * 0.75, s * 0.25), QPointF(s * 0.25, s * 0.75));
            return;
        }
        QPointF d(0, -1);
        if (which == QLatin1String("down")) {
            d = QPointF(0, 1);
        } else if (which == QLatin1String("left")) {
            d = QPointF(-1, 0);
        } else if (which == QLatin1String("right")) {
            d = QPointF(1, 0);
        }
        const QPointF n(-d.y(), d.x());
        const QColor blue = readableOnButtons(QColor(30, 80, 170));
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        const QPointF tip = c + d * s * 0.38;
        const QPointF base = c - d * s * 0.02;
        p.drawPolygon(QPolygonF({tip, base + n * s * 0.3, base - n * s * 0.3}));
        const QPointF tail = c - d * s * 0.36;
        const QPointF w = n * s * 0.12;
        p.drawPolygon(QPolygonF({tail + w, base + w, base - w, tail - w}));
    });
}

} // namespace plait::gui::pictures

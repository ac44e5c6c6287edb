#include "Icons.h"

#include "gui/ui/Contrast.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <functional>

// The resources of a static library are only linked in when something asks for them.
static void loadIconResources() {
    static const bool loaded = [] {
        Q_INIT_RESOURCE(icons);
        return true;
    }();
    (void)loaded;
}

namespace plait::gui::icons {
namespace {

constexpr int kSize = 64;

QIcon draw(const std::function<void(QPainter&)>& paint) {
    QPixmap pm(kSize, kSize);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    paint(p);
    p.end();
    return QIcon(pm);
}

void page(QPainter& p, QRectF r, QColor fill = Qt::white) {
    p.setPen(QPen(QColor(0x55, 0x55, 0x55), 3));
    p.setBrush(fill);
    p.drawRoundedRect(r, 3, 3);
    p.setPen(QPen(QColor(0xAA, 0xAA, 0xAA), 2));
    for (qreal y = r.top() + 12; y < r.bottom() - 6; y += 8) {
        p.drawLine(QPointF(r.left() + 6, y), QPointF(r.right() - 6, y));
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, QColor c) {
    p.setPen(QPen(c, 6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(from, to);
    QLineF line(to, from);
    QLineF a = line;
    a.setLength(14);
    a.setAngle(line.angle() + 35);
    QLineF b = line;
    b.setLength(14);
    b.setAngle(line.angle() - 35);
    p.drawLine(a);
    p.drawLine(b);
}

const QColor kBlue(0x29, 0x80, 0xB9);
const QColor kGreen(0x27, 0xAE, 0x60);
const QColor kRed(0xC0, 0x39, 0x2B);

} // namespace

QIcon open() {
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0x8a, 0x6d, 0x1f), 3));
        p.setBrush(QColor(0xF1, 0xC4, 0x0F));
        p.drawRoundedRect(QRectF(6, 18, 52, 38), 4, 4);
        p.setBrush(QColor(0xF7, 0xDC, 0x6F));
        QPainterPath flap;
        flap.moveTo(12, 56);
        flap.lineTo(20, 30);
        flap.lineTo(62, 30);
        flap.lineTo(54, 56);
        flap.closeSubpath();
        p.drawPath(flap);
    });
}

QIcon save() {
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0x1f, 0x3a, 0x60), 3));
        p.setBrush(kBlue);
        p.drawRoundedRect(QRectF(8, 8, 48, 48), 4, 4);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(18, 10, 28, 16));
        p.setBrush(QColor(0xDD, 0xDD, 0xDD));
        p.drawRect(QRectF(16, 36, 32, 18));
    });
}

QIcon add() {
    return draw([](QPainter& p) {
        page(p, QRectF(8, 4, 38, 50));
        p.setPen(Qt::NoPen);
        p.setBrush(kGreen);
        p.drawEllipse(QPointF(46, 46), 15, 15);
        p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(46, 38), QPointF(46, 54));
        p.drawLine(QPointF(38, 46), QPointF(54, 46));
    });
}

QIcon merge() {
    return draw([](QPainter& p) {
        page(p, QRectF(4, 6, 24, 32));
        page(p, QRectF(36, 6, 24, 32));
        arrow(p, QPointF(16, 42), QPointF(30, 58), kBlue);
        arrow(p, QPointF(48, 42), QPointF(34, 58), kBlue);
    });
}

QIcon overlay() {
    return draw([](QPainter& p) {
        page(p, QRectF(6, 4, 34, 44));
        p.setOpacity(0.8);
        page(p, QRectF(22, 16, 34, 44), QColor(0xD6, 0xEA, 0xF8));
    });
}

QIcon repeat() {
    return draw([](QPainter& p) {
        page(p, QRectF(6, 4, 30, 40));
        p.setOpacity(0.8);
        page(p, QRectF(18, 14, 30, 40), QColor(0xD6, 0xEA, 0xF8));
        p.setOpacity(1);
        p.setPen(QPen(kGreen, 5, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(34, 34, 26, 26), 90 * 16, 270 * 16);
        arrow(p, QPointF(47, 34), QPointF(52, 34), kGreen);
    });
}

QIcon settings() {
    return draw([](QPainter& p) {
        p.setPen(QPen(QColor(0x44, 0x44, 0x44), 3));
        p.setBrush(QColor(0x95, 0xA5, 0xA6));
        QPainterPath gear;
        const QPointF c(32, 32);
        for (int i = 0; i < 8; ++i) {
            QTransform t;
            t.translate(c.x(), c.y());
            t.rotate(i * 45);
            gear.addPolygon(t.map(QPolygonF(QRectF(-6, -28, 12, 14))));
        }
        gear.addEllipse(c, 20, 20);
        p.drawPath(gear.simplified());
        p.setBrush(Qt::white);
        p.drawEllipse(c, 8, 8);
    });
}

QIcon up() {
    return draw([](QPainter& p) { arrow(p, QPointF(32, 56), QPointF(32, 10), readableOnButtons(kBlue)); });
}

QIcon down() {
    return draw([](QPainter& p) { arrow(p, QPointF(32, 8), QPointF(32, 54), readableOnButtons(kBlue)); });
}

QIcon remove() {
    return draw([](QPainter& p) {
        p.setPen(QPen(readableOnButtons(kRed), 8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(16, 16), QPointF(48, 48));
        p.drawLine(QPointF(48, 16), QPointF(16, 48));
    });
}

QIcon build() {
    return draw([](QPainter& p) {
        page(p, QRectF(14, 4, 36, 48));
        p.setPen(Qt::NoPen);
        p.setBrush(kRed);
        p.drawRoundedRect(QRectF(6, 34, 52, 24), 4, 4);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setBold(true);
        f.setPixelSize(16);
        p.setFont(f);
        p.drawText(QRectF(6, 34, 52, 24), Qt::AlignCenter, QStringLiteral("PDF"));
    });
}

// The same picture the icon theme installs, rendered from one source.
QIcon application() {
    loadIconResources();
    return QIcon(QStringLiteral(":/icons/pdfplait.svg"));
}

} // namespace plait::gui::icons

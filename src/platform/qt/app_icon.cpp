// The window's icon, drawn in code: the same picture as data/velmora.svg.
#include "platform/qt/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QPolygonF>
#include <array>

namespace velmora {

namespace {

struct Bar {
    qreal x;
    qreal top;
    qreal bottom;
};

// The waveform's bars, in the 64 x 64 units of the SVG file.
constexpr std::array<Bar, 7> kBars{{
    {14, 22, 32},
    {20, 16, 38},
    {26, 10, 44},
    {32, 18, 36},
    {38, 12, 42},
    {44, 20, 34},
    {50, 23, 31},
}};

QPixmap DrawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x5f, 0x7a));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 12, 12);

    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    for (const Bar& bar : kBars) {
        painter.drawLine(QPointF(bar.x, bar.top), QPointF(bar.x, bar.bottom));
    }

    const QColor arrow(0xf5, 0xa6, 0x23);
    painter.setPen(QPen(arrow, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(14, 52), QPointF(44, 52));
    painter.setPen(Qt::NoPen);
    painter.setBrush(arrow);
    painter.drawPolygon(QPolygonF({QPointF(43, 46), QPointF(52, 52), QPointF(43, 58)}));
    return pixmap;
}

}  // namespace

QIcon MakeAppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addPixmap(DrawIcon(size));
    }
    return icon;
}

}  // namespace velmora

#include "panel/ui/Artwork.h"

#include <QPainter>
#include <QPainterPath>

namespace {

QPixmap DrawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(20, 60, 140));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);

    // Hull and superstructure.
    QPainterPath hull;
    hull.moveTo(4, 20);
    hull.lineTo(28, 20);
    hull.lineTo(24, 27);
    hull.lineTo(8, 27);
    hull.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(hull);
    painter.drawRect(QRectF(11, 15, 10, 5));
    painter.drawRect(QRectF(15, 8, 2, 7));

    // The transmitted signal.
    QPen wave(QColor(255, 220, 0), 1.8);
    painter.setPen(wave);
    painter.setBrush(Qt::NoBrush);
    for (int ring = 1; ring <= 2; ++ring) {
        const double r = 3.5 * ring;
        painter.drawArc(QRectF(16 - r, 8 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    }
    return pixmap;
}

} // namespace

QPixmap DrawApplicationIcon(int size)
{
    return DrawIcon(size);
}

QIcon MakeApplicationIcon()
{
    QIcon icon;
    for (const int size : {16, 32, 48}) icon.addPixmap(DrawIcon(size));
    return icon;
}

QPixmap MakeAntennaDiagram()
{
    constexpr int kWidthPx = 55;
    constexpr int kHeightPx = 101;
    QPixmap pixmap(kWidthPx, kHeightPx);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);

    // Hull, bow up.
    QPainterPath hull;
    hull.moveTo(27.5, 3);
    hull.cubicTo(40, 18, 43, 30, 43, 45);
    hull.lineTo(43, 90);
    hull.lineTo(12, 90);
    hull.lineTo(12, 45);
    hull.cubicTo(12, 30, 15, 18, 27.5, 3);
    painter.setPen(QPen(QColor(40, 40, 40), 1.5));
    painter.setBrush(QColor(200, 220, 240));
    painter.drawPath(hull);

    const QPointF antenna(24, 38);
    QPen dotted(QColor(160, 0, 0), 1, Qt::DotLine);
    painter.setPen(dotted);
    painter.drawLine(antenna, QPointF(antenna.x(), 3));
    painter.drawLine(antenna, QPointF(antenna.x(), 90));
    painter.drawLine(antenna, QPointF(12, antenna.y()));
    painter.drawLine(antenna, QPointF(43, antenna.y()));

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 0, 0));
    painter.drawEllipse(antenna, 2.5, 2.5);

    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(9);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRectF(antenna.x() + 1, 14, 10, 10), Qt::AlignCenter, QStringLiteral("A"));
    painter.drawText(QRectF(antenna.x() + 1, 62, 10, 10), Qt::AlignCenter, QStringLiteral("B"));
    painter.drawText(QRectF(0, antenna.y() - 11, 11, 10), Qt::AlignCenter, QStringLiteral("C"));
    painter.drawText(QRectF(44, antenna.y() - 11, 11, 10), Qt::AlignCenter, QStringLiteral("D"));
    return pixmap;
}

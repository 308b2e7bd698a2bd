#include "panel/chart/Symbols.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace chart {

namespace {

constexpr qreal kPenPx = 1.5;

QPen Outline(QColor colour, bool lost)
{
    QPen pen(colour, kPenPx);
    if (lost) pen.setStyle(Qt::DashLine);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

QColor Fill(QColor colour)
{
    colour.setAlpha(70);
    return colour;
}

void DrawTriangle(QPainter& painter, QColor colour, bool lost, qreal lengthPx, qreal widthPx)
{
    // Centred on the position, apex ahead; the heading line goes on from the apex.
    const QPointF triangle[] = {{0, -lengthPx / 2}, {widthPx / 2, lengthPx / 2}, {-widthPx / 2, lengthPx / 2}};
    painter.setPen(Outline(colour, lost));
    painter.setBrush(lost ? Qt::NoBrush : QBrush(Fill(colour)));
    painter.drawPolygon(triangle, 3);
    painter.setPen(QPen(colour, kPenPx));
    painter.drawLine(QPointF(0, -lengthPx / 2), QPointF(0, -lengthPx / 2 - lengthPx * 0.6));
}

void DrawDiamond(QPainter& painter, QColor colour, bool dashed)
{
    constexpr qreal kHalfPx = 8;
    const QPointF diamond[] = {{0, -kHalfPx}, {kHalfPx, 0}, {0, kHalfPx}, {-kHalfPx, 0}};
    painter.setPen(Outline(colour, dashed));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(diamond, 4);
    painter.setPen(QPen(colour, 1.0));
    painter.drawLine(QPointF(-3, 0), QPointF(3, 0));
    painter.drawLine(QPointF(0, -3), QPointF(0, 3));
}

// Day colours: traffic in dark green and blue, stations in violet and magenta, aircraft in
// orange, distress in the alarm red, the own ship in black.
const SymbolLook kLooks[kStationKindCount] = {
    {DrawVessel, QColor(0, 110, 40), true, true, false},          // ClassA
    {DrawSmallVessel, QColor(20, 70, 200), true, true, false},    // ClassB
    {DrawBaseStation, QColor(120, 40, 170), false, false, false}, // BaseStation
    {DrawRealAton, QColor(200, 0, 160), false, false, false},     // AtonReal
    {DrawVirtualAton, QColor(200, 0, 160), false, false, false},  // AtonVirtual
    {DrawSarAircraft, QColor(230, 110, 0), true, true, false},    // SarAircraft
    {DrawDistress, QColor(230, 0, 0), false, false, true},        // Sart
    {DrawDistress, QColor(230, 0, 0), false, false, true},        // Mob
    {DrawDistress, QColor(230, 0, 0), false, false, true},        // Epirb
    {DrawOwnShip, QColor(0, 0, 0), true, true, true},             // OwnShip
};

} // namespace

const SymbolLook& LookOf(StationKind kind)
{
    return kLooks[static_cast<int>(kind)];
}

QColor LostColour()
{
    return {110, 110, 110};
}

void DrawVessel(QPainter& painter, QColor colour, bool lost)
{
    DrawTriangle(painter, colour, lost, 18, 11);
}

void DrawSmallVessel(QPainter& painter, QColor colour, bool lost)
{
    DrawTriangle(painter, colour, lost, 14, 9);
}

void DrawBaseStation(QPainter& painter, QColor colour, bool lost)
{
    painter.setPen(Outline(colour, lost));
    painter.setBrush(lost ? Qt::NoBrush : QBrush(Fill(colour)));
    painter.drawRect(QRectF(-6, -6, 12, 12));
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawEllipse(QPointF(0, 0), 1.8, 1.8);
}

void DrawRealAton(QPainter& painter, QColor colour, bool lost)
{
    DrawDiamond(painter, colour, lost);
}

void DrawVirtualAton(QPainter& painter, QColor colour, bool)
{
    DrawDiamond(painter, colour, true);
}

void DrawSarAircraft(QPainter& painter, QColor colour, bool lost)
{
    QPainterPath plane;
    plane.moveTo(0, -10);   // nose
    plane.lineTo(0, 9);     // fuselage
    plane.moveTo(-10, -1);  // wings
    plane.lineTo(10, -1);
    plane.moveTo(-4, 8);    // tail plane
    plane.lineTo(4, 8);
    QPen pen = Outline(colour, lost);
    pen.setWidthF(2.5);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(plane);
}

void DrawDistress(QPainter& painter, QColor colour, bool lost)
{
    constexpr qreal kRadiusPx = 9;
    const qreal arm = kRadiusPx * std::sqrt(0.5);
    QPen pen = Outline(colour, lost);
    pen.setWidthF(2.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0, 0), kRadiusPx, kRadiusPx);
    painter.drawLine(QPointF(-arm, -arm), QPointF(arm, arm));
    painter.drawLine(QPointF(-arm, arm), QPointF(arm, -arm));
}

void DrawOwnShip(QPainter& painter, QColor colour, bool lost)
{
    painter.setPen(Outline(colour, lost));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(QPointF(0, 0), 10, 10);
    painter.drawEllipse(QPointF(0, 0), 5, 5);
    painter.setPen(QPen(colour, kPenPx));
    painter.drawLine(QPointF(0, -10), QPointF(0, -19));
}

void DrawLostCross(QPainter& painter)
{
    constexpr qreal kArmPx = 11;
    painter.setPen(QPen(LostColour(), 1.5));
    painter.drawLine(QPointF(-kArmPx, -kArmPx), QPointF(kArmPx, kArmPx));
    painter.drawLine(QPointF(-kArmPx, kArmPx), QPointF(kArmPx, -kArmPx));
}

SymbolSprites::SymbolSprites() : m_sprites(static_cast<std::size_t>(kStationKindCount) * 2 * kHeadingSteps) {}

const Sprite& SymbolSprites::Get(StationKind kind, bool lost, float headingDeg)
{
    const SymbolLook& look = LookOf(kind);
    int step = 0;
    if (look.turnsWithHeading && std::isfinite(headingDeg)) {
        const double stepDeg = 360.0 / kHeadingSteps;
        step = static_cast<int>(std::lround(std::fmod(std::fmod(headingDeg, 360.0) + 360.0, 360.0) / stepDeg)) % kHeadingSteps;
    }
    Sprite& sprite = m_sprites[(static_cast<std::size_t>(kind) * 2 + (lost ? 1 : 0)) * kHeadingSteps + static_cast<std::size_t>(step)];
    if (!sprite.image.isNull()) return sprite;

    QImage canvas(kSizePx, kSizePx, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kSizePx / 2.0, kSizePx / 2.0);
    painter.rotate(step * 360.0 / kHeadingSteps);
    // A distress call keeps its alarm colour when it goes silent.
    const QColor colour = lost && !IsDistress(kind) ? LostColour() : look.colour;
    look.draw(painter, colour, lost);
    if (lost) {
        painter.resetTransform();
        painter.translate(kSizePx / 2.0, kSizePx / 2.0);
        DrawLostCross(painter);
    }
    painter.end();
    // Only the painted pixels are kept: blending transparent ones costs as much as any other.
    QRect painted;
    for (int y = 0; y < kSizePx; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < kSizePx; ++x)
            if (qAlpha(line[x]) != 0) painted |= QRect(x, y, 1, 1);
    }
    if (painted.isEmpty()) painted = QRect(0, 0, 1, 1);
    sprite.image = canvas.copy(painted);
    sprite.offset = painted.topLeft() - QPoint(kSizePx / 2, kSizePx / 2);
    return sprite;
}

} // namespace chart

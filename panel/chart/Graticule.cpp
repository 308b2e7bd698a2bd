#include "panel/chart/Graticule.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace chart {

namespace {

constexpr double kMinute = 1.0 / 60.0;
// Round steps, coarse to fine.
constexpr double kStepsDeg[] = {30, 20, 10, 5, 2, 1, 30 * kMinute, 20 * kMinute, 10 * kMinute, 5 * kMinute,
                                2 * kMinute, kMinute, 0.5 * kMinute, 0.2 * kMinute, 0.1 * kMinute};
constexpr double kScaleBarsNm[] = {5000, 2000, 1000, 500, 200, 100, 50, 20, 10, 5, 2, 1, 0.5, 0.2, 0.1, 0.05, 0.02, 0.01};

const QColor kLineColour(120, 140, 160);
const QColor kLabelColour(40, 55, 70);

QString FormatAngle(double valueDeg, double stepDeg, char positive, char negative)
{
    const char hemisphere = valueDeg < 0 ? negative : positive;
    // Whole tenths of a minute, so that 0.1' steps do not show rounding noise.
    const long tenths = std::lround(std::abs(valueDeg) * 600.0);
    const long degrees = tenths / 600;
    const long minuteTenths = tenths % 600;
    QString text = QString::number(degrees) + QChar(0x00B0);
    if (stepDeg < 1.0 || minuteTenths != 0) {
        if (stepDeg < kMinute) text += QString::number(minuteTenths / 10.0, 'f', 1);
        else text += QString::number(minuteTenths / 10);
        text += QChar('\'');
    }
    return text + QChar(hemisphere);
}

} // namespace

double GraticuleStepDeg(const ChartViewport& view)
{
    double chosen = kStepsDeg[0];
    for (const double step : kStepsDeg) {
        if (step / 360.0 * view.Scale() < kMinGraticuleSpacingPx) break;
        chosen = step;
    }
    return chosen;
}

QString FormatLatitude(double latDeg, double stepDeg)
{
    return FormatAngle(latDeg, stepDeg, 'N', 'S');
}

QString FormatLongitude(double lonDeg, double stepDeg)
{
    // 180° is neither east nor west; the sign decides the letter anyway.
    return FormatAngle(lonDeg, stepDeg, 'E', 'W');
}

double ScaleBarNm(const ChartViewport& view, double latDeg, int maxPx)
{
    const double nmPerPx = view.NauticalMilesPerPixel(latDeg);
    for (const double nm : kScaleBarsNm)
        if (nm / nmPerPx <= maxPx) return nm;
    return kScaleBarsNm[std::size(kScaleBarsNm) - 1];
}

void DrawGraticule(QPainter& painter, const ChartViewport& view)
{
    const double stepDeg = GraticuleStepDeg(view);
    const GeoBox box = view.VisibleBox();
    const int width = view.Size().width();
    const int height = view.Size().height();
    const QFontMetrics metrics(painter.font());
    painter.setPen(QPen(kLineColour, 0));

    // Meridians: vertical lines, labels along the top edge.
    // Counted in whole steps, so that no sum of steps drifts off the round values.
    for (auto i = static_cast<long>(std::ceil(box.westDeg / stepDeg - 1e-9)); i * stepDeg <= box.eastDeg + 1e-9; ++i) {
        const double lon = i * stepDeg;
        const double x = view.ToScreen(ToMercator(0, lon)).x();
        painter.setPen(QPen(kLineColour, 0));
        painter.drawLine(QPointF(x, 0), QPointF(x, height));
        painter.setPen(kLabelColour);
        painter.drawText(QPointF(x + 3, metrics.ascent() + 2), FormatLongitude(lon, stepDeg));
    }
    // Parallels: horizontal lines, labels along the left edge.
    for (auto i = static_cast<long>(std::ceil(box.southDeg / stepDeg - 1e-9)); i * stepDeg <= box.northDeg + 1e-9; ++i) {
        const double lat = i * stepDeg;
        const double y = view.ToScreen(ToMercator(lat, 0)).y();
        painter.setPen(QPen(kLineColour, 0));
        painter.drawLine(QPointF(0, y), QPointF(width, y));
        painter.setPen(kLabelColour);
        painter.drawText(QPointF(3, y - 3), FormatLatitude(lat, stepDeg));
    }
}

void DrawScaleBar(QPainter& painter, const ChartViewport& view)
{
    constexpr int kMaxBarPx = 160;
    constexpr int kMarginPx = 12;
    constexpr int kBarHeightPx = 5;
    const double latDeg = FromMercator(view.Center()).latDeg;
    const double nm = ScaleBarNm(view, latDeg, kMaxBarPx);
    const double lengthPx = nm / view.NauticalMilesPerPixel(latDeg);
    const QPointF origin(kMarginPx, view.Size().height() - kMarginPx);
    // Two halves, black and white, as on paper charts.
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::black);
    painter.drawRect(QRectF(origin.x(), origin.y() - kBarHeightPx, lengthPx / 2, kBarHeightPx));
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(origin.x() + lengthPx / 2, origin.y() - kBarHeightPx, lengthPx / 2, kBarHeightPx));
    painter.setPen(kLabelColour);
    painter.drawText(QPointF(origin.x(), origin.y() - kBarHeightPx - 4), QString::number(nm) + QStringLiteral(" NM"));
}

} // namespace chart

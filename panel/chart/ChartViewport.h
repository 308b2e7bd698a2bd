#pragma once

#include <QPointF>
#include <QSize>

#include "panel/chart/Coastline.h"

namespace chart {

// Web-Mercator plane scaled to one unit: x from 0 at 180°W to 1 at 180°E, y from 0 at the
// northern cut-off to 1 at the southern one (downwards, as on screen). Plotters draw in
// Mercator: angles on the chart are true bearings.
struct MercatorPoint {
    double x = 0;
    double y = 0;

    bool operator==(const MercatorPoint&) const = default;
};

struct MercatorRect {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    bool Contains(MercatorPoint p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
};

// Latitudes beyond this do not fit the square Mercator plane.
inline constexpr double kMercatorLimitDeg = 85.05112878;
// Nautical miles along the equator from one edge of the plane to the other.
inline constexpr double kEquatorNm = 21600.0;

MercatorPoint ToMercator(double latDeg, double lonDeg);
GeoPoint FromMercator(MercatorPoint point);

// Which part of the plane the chart shows, and at what scale.
class ChartViewport {
public:
    // Pixels per plane unit: from the whole world in a few dozen pixels down to about a
    // metre per pixel.
    static constexpr double kMinScale = 64.0;
    static constexpr double kMaxScale = 67108864.0;

    ChartViewport() = default;
    ChartViewport(QSize size, MercatorPoint center, double pixelsPerUnit);

    QSize Size() const { return m_size; }
    MercatorPoint Center() const { return m_center; }
    double Scale() const { return m_scale; }
    void SetSize(QSize size) { m_size = size; }

    QPointF ToScreen(MercatorPoint point) const;
    MercatorPoint ToPlane(QPointF screen) const;
    MercatorRect VisibleRect() const;
    GeoBox VisibleBox() const;

    // Moves the content by `deltaPx` on screen.
    void PanByPixels(QPointF deltaPx);
    // Zooms by `factor`, keeping the plane point under `anchorPx` where it is.
    void ZoomAt(double factor, QPointF anchorPx);
    // Shows all of `rect` with `marginPx` to spare on every side; a rect without extent is
    // centred at `pointScale`.
    void Fit(const MercatorRect& rect, int marginPx, double pointScale);

    // Nautical miles that one pixel spans at a latitude (Mercator stretches them with latitude).
    double NauticalMilesPerPixel(double latDeg) const;

    bool operator==(const ChartViewport&) const = default;

private:
    void Clamp();

    QSize m_size;
    MercatorPoint m_center{0.5, 0.5};
    double m_scale = kMinScale;
};

} // namespace chart

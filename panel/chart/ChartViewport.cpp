#include "panel/chart/ChartViewport.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace chart {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

} // namespace

MercatorPoint ToMercator(double latDeg, double lonDeg)
{
    const double lat = std::clamp(latDeg, -kMercatorLimitDeg, kMercatorLimitDeg) * kDegToRad;
    return {(lonDeg + 180.0) / 360.0, 0.5 - std::asinh(std::tan(lat)) / (2.0 * std::numbers::pi)};
}

GeoPoint FromMercator(MercatorPoint point)
{
    const double lat = std::atan(std::sinh((0.5 - point.y) * 2.0 * std::numbers::pi));
    return {lat / kDegToRad, point.x * 360.0 - 180.0};
}

ChartViewport::ChartViewport(QSize size, MercatorPoint center, double pixelsPerUnit)
    : m_size(size), m_center(center), m_scale(pixelsPerUnit)
{
    Clamp();
}

QPointF ChartViewport::ToScreen(MercatorPoint point) const
{
    return {(point.x - m_center.x) * m_scale + m_size.width() / 2.0,
            (point.y - m_center.y) * m_scale + m_size.height() / 2.0};
}

MercatorPoint ChartViewport::ToPlane(QPointF screen) const
{
    return {m_center.x + (screen.x() - m_size.width() / 2.0) / m_scale,
            m_center.y + (screen.y() - m_size.height() / 2.0) / m_scale};
}

MercatorRect ChartViewport::VisibleRect() const
{
    const MercatorPoint topLeft = ToPlane({0, 0});
    const MercatorPoint bottomRight = ToPlane({static_cast<double>(m_size.width()), static_cast<double>(m_size.height())});
    return {topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
}

GeoBox ChartViewport::VisibleBox() const
{
    const MercatorRect rect = VisibleRect();
    const GeoPoint northWest = FromMercator({std::max(rect.left, 0.0), std::max(rect.top, 0.0)});
    const GeoPoint southEast = FromMercator({std::min(rect.right, 1.0), std::min(rect.bottom, 1.0)});
    return {southEast.latDeg, northWest.lonDeg, northWest.latDeg, southEast.lonDeg};
}

void ChartViewport::PanByPixels(QPointF deltaPx)
{
    m_center.x -= deltaPx.x() / m_scale;
    m_center.y -= deltaPx.y() / m_scale;
    Clamp();
}

void ChartViewport::ZoomAt(double factor, QPointF anchorPx)
{
    const MercatorPoint anchor = ToPlane(anchorPx);
    m_scale = std::clamp(m_scale * factor, kMinScale, kMaxScale);
    // The anchor's plane point goes back under the same pixel.
    const MercatorPoint moved = ToPlane(anchorPx);
    m_center.x += anchor.x - moved.x;
    m_center.y += anchor.y - moved.y;
    Clamp();
}

void ChartViewport::Fit(const MercatorRect& rect, int marginPx, double pointScale)
{
    m_center = {(rect.left + rect.right) / 2.0, (rect.top + rect.bottom) / 2.0};
    const double width = rect.right - rect.left;
    const double height = rect.bottom - rect.top;
    const double roomX = std::max(1, m_size.width() - 2 * marginPx);
    const double roomY = std::max(1, m_size.height() - 2 * marginPx);
    if (width <= 0 && height <= 0) {
        m_scale = pointScale;
    } else {
        m_scale = std::min(width > 0 ? roomX / width : kMaxScale, height > 0 ? roomY / height : kMaxScale);
    }
    Clamp();
}

double ChartViewport::NauticalMilesPerPixel(double latDeg) const
{
    return kEquatorNm * std::cos(std::clamp(latDeg, -kMercatorLimitDeg, kMercatorLimitDeg) * kDegToRad) / m_scale;
}

void ChartViewport::Clamp()
{
    m_scale = std::clamp(m_scale, kMinScale, kMaxScale);
    m_center.x = std::clamp(m_center.x, 0.0, 1.0);
    m_center.y = std::clamp(m_center.y, 0.0, 1.0);
}

} // namespace chart

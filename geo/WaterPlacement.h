#pragma once

// Where random stations may go in an area: a survey of the area on a grid of sample
// points, then draws of points on its water. Lakes are water for vessels only where the
// area has no sea: a vessel is never put in an inland lake beside a coast, but an area
// that is only a lake (Lake Geneva, Lake Superior) gets its vessels on the lake.

#include "geo/LandData.h"
#include "geo/LandMask.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace geo {

enum class WaterKind : std::uint8_t { None, Ocean, Lake };

class WaterPlacement {
public:
    using Uniform = std::function<double()>;  // numbers in [0, 1)

    WaterPlacement(const LandMask& mask, const GeoBox& box);

    WaterKind Kind() const { return m_kind; }
    // Share of the area's sample points on the water stations are put on (0..1).
    double WaterShare() const { return m_waterShare; }
    bool HasCoast() const { return !m_coastalCells.empty(); }

    // A point on the area's water, uniform in latitude and longitude over it, at least
    // kUnderWayClearanceKm from land where the area allows. Without water: anywhere in the box.
    LatLon Draw(const Uniform& uniform) const;
    // A point on water within about kNearCoastKm of land, as for a vessel at anchor or
    // moored; the same as Draw when the area has no coast.
    LatLon DrawNearCoast(const Uniform& uniform) const;

    static constexpr double kUnderWayClearanceKm = 0.3;
    static constexpr double kMooredClearanceKm = kShoreClearanceKm;
    static constexpr double kNearCoastKm = 2.0;

private:
    LatLon DrawFrom(const std::vector<std::uint32_t>& cells, double clearanceKm, const Uniform& uniform) const;
    LatLon CellCorner(std::uint32_t cell) const;
    bool Accepts(double lat, double lon, double clearanceKm) const;

    const LandMask& m_mask;
    GeoBox m_box;
    double m_eastUnwrapped = 0.0;  // east, above west
    int m_rows = 0;
    int m_columns = 0;
    double m_cellLatDeg = 0.0;
    double m_cellLonDeg = 0.0;
    WaterKind m_kind = WaterKind::None;
    double m_waterShare = 0.0;
    std::vector<std::uint32_t> m_waterCells;    // row * columns + column
    std::vector<std::uint32_t> m_coastalCells;  // water cells within kNearCoastKm of land
};

} // namespace geo

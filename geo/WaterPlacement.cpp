#include "geo/WaterPlacement.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

namespace geo {

namespace {

constexpr double kKmPerDegree = 111.2;   // of latitude, near enough for survey cells
constexpr double kSurveyCellKm = 0.25;   // wanted size of a survey cell
constexpr int kMinSurveyCells = 8;       // per side
constexpr int kMaxSurveyCells = 256;     // per side
constexpr int kDrawTries = 32;           // points tried in the cells before the fallback
constexpr double kMinCos = 0.01;

double CosLat(double latDeg)
{
    return std::max(std::cos(latDeg * std::numbers::pi / 180.0), kMinCos);
}

double WrapLon(double lon)
{
    return lon >= 180.0 ? lon - 360.0 : lon;
}

} // namespace

WaterPlacement::WaterPlacement(const LandMask& mask, const GeoBox& box) : m_mask(mask), m_box(box)
{
    m_eastUnwrapped = box.east < box.west ? box.east + 360.0 : box.east;
    const double heightKm = (box.north - box.south) * kKmPerDegree;
    const double widthKm = (m_eastUnwrapped - box.west) * kKmPerDegree * CosLat(0.5 * (box.north + box.south));
    m_rows = std::clamp(static_cast<int>(std::ceil(heightKm / kSurveyCellKm)), kMinSurveyCells, kMaxSurveyCells);
    m_columns = std::clamp(static_cast<int>(std::ceil(widthKm / kSurveyCellKm)), kMinSurveyCells, kMaxSurveyCells);
    m_cellLatDeg = (box.north - box.south) / m_rows;
    m_cellLonDeg = (m_eastUnwrapped - box.west) / m_columns;

    const std::size_t cells = static_cast<std::size_t>(m_rows) * static_cast<std::size_t>(m_columns);
    std::vector<Surface> surfaces(cells);
    bool ocean = false;
    bool lake = false;
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const double lat = box.south + (row + 0.5) * m_cellLatDeg;
            const double lon = WrapLon(box.west + (column + 0.5) * m_cellLonDeg);
            const Surface s = mask.IsWater(lat, lon) ? mask.SurfaceAt(lat, lon) : Surface::Land;
            surfaces[static_cast<std::size_t>(row * m_columns + column)] = s;
            ocean = ocean || s == Surface::Ocean;
            lake = lake || s == Surface::Lake;
        }
    }
    m_kind = ocean ? WaterKind::Ocean : lake ? WaterKind::Lake : WaterKind::None;
    const Surface wanted = ocean ? Surface::Ocean : Surface::Lake;

    // Counts of cells that are not the wanted water, summed over rectangles, so that
    // "land within kNearCoastKm" is one look-up per cell.
    std::vector<std::uint32_t> dry(static_cast<std::size_t>(m_rows + 1) * static_cast<std::size_t>(m_columns + 1));
    const auto at = [this](int row, int column) { return static_cast<std::size_t>(row * (m_columns + 1) + column); };
    for (int row = 0; row < m_rows; ++row)
        for (int column = 0; column < m_columns; ++column)
            dry[at(row + 1, column + 1)] = dry[at(row, column + 1)] + dry[at(row + 1, column)] - dry[at(row, column)] +
                                           (surfaces[static_cast<std::size_t>(row * m_columns + column)] != wanted ? 1U : 0U);
    const double cellHeightKm = m_cellLatDeg * kKmPerDegree;
    const double cellWidthKm = m_cellLonDeg * kKmPerDegree * CosLat(0.5 * (box.north + box.south));
    // A square of cells whose corners lie within kNearCoastKm.
    const double reachKm = kNearCoastKm / std::numbers::sqrt2;
    const int reachRows = std::max(1, static_cast<int>(reachKm / cellHeightKm));
    const int reachColumns = std::max(1, static_cast<int>(reachKm / cellWidthKm));
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const auto cell = static_cast<std::uint32_t>(row * m_columns + column);
            if (m_kind == WaterKind::None || surfaces[cell] != wanted) continue;
            m_waterCells.push_back(cell);
            const int r0 = std::max(0, row - reachRows);
            const int r1 = std::min(m_rows, row + reachRows + 1);
            const int c0 = std::max(0, column - reachColumns);
            const int c1 = std::min(m_columns, column + reachColumns + 1);
            if (dry[at(r1, c1)] - dry[at(r0, c1)] - dry[at(r1, c0)] + dry[at(r0, c0)] > 0) m_coastalCells.push_back(cell);
        }
    }
    m_waterShare = static_cast<double>(m_waterCells.size()) / static_cast<double>(cells);
}

LatLon WaterPlacement::CellCorner(std::uint32_t cell) const
{
    const auto row = static_cast<int>(cell) / m_columns;
    const auto column = static_cast<int>(cell) % m_columns;
    return {m_box.south + row * m_cellLatDeg, m_box.west + column * m_cellLonDeg};
}

bool WaterPlacement::Accepts(double lat, double lon, double clearanceKm) const
{
    const Surface wanted = m_kind == WaterKind::Ocean ? Surface::Ocean : Surface::Lake;
    if (!m_mask.IsWater(lat, lon) || m_mask.SurfaceAt(lat, lon) != wanted) return false;
    return clearanceKm <= 0.0 || m_mask.ClearanceKm(lat, lon, clearanceKm) >= clearanceKm;
}

LatLon WaterPlacement::DrawFrom(const std::vector<std::uint32_t>& cells, double clearanceKm, const Uniform& uniform) const
{
    std::optional<LatLon> plainWater;
    std::uint32_t cell = cells.front();
    for (int attempt = 0; attempt < kDrawTries; ++attempt) {
        cell = cells[std::min(cells.size() - 1, static_cast<std::size_t>(uniform() * static_cast<double>(cells.size())))];
        const LatLon corner = CellCorner(cell);
        const double lat = corner.lat + uniform() * m_cellLatDeg;
        const double lon = WrapLon(corner.lon + uniform() * m_cellLonDeg);
        if (Accepts(lat, lon, clearanceKm)) return {lat, lon};
        if (!plainWater && Accepts(lat, lon, 0.0)) plainWater = LatLon{lat, lon};
    }
    if (plainWater) return *plainWater;
    // The survey found the wanted water at the cell's centre.
    const LatLon corner = CellCorner(cell);
    return {corner.lat + 0.5 * m_cellLatDeg, WrapLon(corner.lon + 0.5 * m_cellLonDeg)};
}

LatLon WaterPlacement::Draw(const Uniform& uniform) const
{
    if (m_waterCells.empty()) {
        const double lat = m_box.south + uniform() * (m_box.north - m_box.south);
        return {lat, WrapLon(m_box.west + uniform() * (m_eastUnwrapped - m_box.west))};
    }
    return DrawFrom(m_waterCells, kUnderWayClearanceKm, uniform);
}

LatLon WaterPlacement::DrawNearCoast(const Uniform& uniform) const
{
    if (m_coastalCells.empty()) return Draw(uniform);
    return DrawFrom(m_coastalCells, kMooredClearanceKm, uniform);
}

} // namespace geo

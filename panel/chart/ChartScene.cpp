#include "panel/chart/ChartScene.h"

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// About this many targets to a cell: fewer cells cost more exact tests, more cost more empty
// cells to step over.
constexpr double kTargetsPerCell = 4.0;
constexpr int kMaxCellsPerSide = 512;

bool HasPlace(const ChartTarget& target)
{
    return std::isfinite(target.latDeg) && std::isfinite(target.lonDeg) && std::abs(target.latDeg) <= 90.0 &&
           std::abs(target.lonDeg) <= 180.0;
}

} // namespace

ChartScene::ChartScene(ChartSnapshot targets) : m_targets(std::move(targets))
{
    std::vector<MercatorPoint> points;
    std::vector<std::uint32_t> placed;
    points.reserve(m_targets.size());
    placed.reserve(m_targets.size());
    m_byMmsi.reserve(m_targets.size());
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        const auto index = static_cast<std::uint32_t>(i);
        m_byMmsi.emplace_back(m_targets[i].mmsi, index);
        if (!HasPlace(m_targets[i])) continue;
        points.push_back(ToMercator(m_targets[i].latDeg, m_targets[i].lonDeg));
        placed.push_back(index);
    }
    std::stable_sort(m_byMmsi.begin(), m_byMmsi.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    if (placed.empty()) return;

    m_bounds = {points[0].x, points[0].y, points[0].x, points[0].y};
    for (const MercatorPoint& p : points) {
        m_bounds.left = std::min(m_bounds.left, p.x);
        m_bounds.right = std::max(m_bounds.right, p.x);
        m_bounds.top = std::min(m_bounds.top, p.y);
        m_bounds.bottom = std::max(m_bounds.bottom, p.y);
    }
    const int side = std::clamp(static_cast<int>(std::ceil(std::sqrt(placed.size() / kTargetsPerCell))), 1, kMaxCellsPerSide);
    m_columns = side;
    m_rows = side;
    m_cellWidth = std::max(m_bounds.right - m_bounds.left, 1e-12) / side;
    m_cellHeight = std::max(m_bounds.bottom - m_bounds.top, 1e-12) / side;

    // Counting sort by cell: two passes, no allocation per target.
    const std::size_t cells = static_cast<std::size_t>(m_columns) * static_cast<std::size_t>(m_rows);
    std::vector<std::uint32_t> cellOf(points.size());
    m_cellStart.assign(cells + 1, 0);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto [col, row] = Cell(points[i]);
        cellOf[i] = static_cast<std::uint32_t>(row * m_columns + col);
        ++m_cellStart[cellOf[i] + 1];
    }
    for (std::size_t c = 0; c < cells; ++c) m_cellStart[c + 1] += m_cellStart[c];
    std::vector<std::uint32_t> next(m_cellStart.begin(), m_cellStart.end() - 1);
    m_placed.resize(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const ChartTarget& target = m_targets[placed[i]];
        m_placed[next[cellOf[i]]++] = {points[i], placed[i], target.kind, target.lost};
    }
}

std::pair<int, int> ChartScene::Cell(MercatorPoint point) const
{
    const int col = static_cast<int>(std::floor((point.x - m_bounds.left) / m_cellWidth));
    const int row = static_cast<int>(std::floor((point.y - m_bounds.top) / m_cellHeight));
    return {std::clamp(col, 0, m_columns - 1), std::clamp(row, 0, m_rows - 1)};
}

std::optional<std::size_t> ChartScene::Find(std::uint32_t mmsi) const
{
    const auto at = std::lower_bound(m_byMmsi.begin(), m_byMmsi.end(), mmsi,
                                     [](const auto& entry, std::uint32_t value) { return entry.first < value; });
    if (at == m_byMmsi.end() || at->first != mmsi) return std::nullopt;
    return at->second;
}

std::size_t ChartScene::CountIn(const MercatorRect& rect) const
{
    // Whole cells first: a view that holds the whole scene is answered at once.
    if (rect.left <= m_bounds.left && rect.right >= m_bounds.right && rect.top <= m_bounds.top &&
        rect.bottom >= m_bounds.bottom)
        return m_placed.size();
    std::size_t count = 0;
    ForEachIn(rect, [&](const PlacedTarget&) { ++count; });
    return count;
}

} // namespace chart

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "panel/chart/ChartTarget.h"
#include "panel/chart/ChartViewport.h"

namespace chart {

// A target's place on the plane with what its dot needs, kept in grid order so that a pass over
// the view reads memory front to back.
struct PlacedTarget {
    MercatorPoint point;
    std::uint32_t index = 0;   // into the snapshot
    StationKind kind = StationKind::ClassA;
    bool lost = false;
};

// A snapshot of targets with their places on the Mercator plane and a grid index over them,
// so that drawing and hit-testing touch only the cells in view. Targets without a usable
// position (AIS "not available", out of range) are kept but never placed.
class ChartScene {
public:
    ChartScene() = default;
    explicit ChartScene(ChartSnapshot targets);

    const ChartSnapshot& Targets() const { return m_targets; }
    // How many targets have a place on the plane.
    std::size_t PlacedCount() const { return m_placed.size(); }
    // The smallest plane rectangle holding every placed target; empty scene: all zero.
    const MercatorRect& Bounds() const { return m_bounds; }
    // Index of the target with `mmsi` (the first one when several share it).
    std::optional<std::size_t> Find(std::uint32_t mmsi) const;

    // Calls visit(const PlacedTarget&) for every placed target inside `rect`.
    template <class Visit>
    void ForEachIn(const MercatorRect& rect, Visit&& visit) const
    {
        if (m_placed.empty() || rect.right < m_bounds.left || rect.left > m_bounds.right ||
            rect.bottom < m_bounds.top || rect.top > m_bounds.bottom)
            return;
        const auto [col0, row0] = Cell({rect.left, rect.top});
        const auto [col1, row1] = Cell({rect.right, rect.bottom});
        for (int row = row0; row <= row1; ++row) {
            const std::size_t rowBase = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_columns);
            const std::uint32_t begin = m_cellStart[rowBase + static_cast<std::size_t>(col0)];
            const std::uint32_t end = m_cellStart[rowBase + static_cast<std::size_t>(col1) + 1];
            // The cells of one row lie next to each other in the index.
            for (std::uint32_t k = begin; k < end; ++k)
                if (rect.Contains(m_placed[k].point)) visit(m_placed[k]);
        }
    }

    // How many placed targets `rect` holds.
    std::size_t CountIn(const MercatorRect& rect) const;

private:
    std::pair<int, int> Cell(MercatorPoint point) const;

    ChartSnapshot m_targets;
    MercatorRect m_bounds;
    int m_columns = 0;
    int m_rows = 0;
    double m_cellWidth = 1;
    double m_cellHeight = 1;
    // Cell c holds m_placed[m_cellStart[c] .. m_cellStart[c + 1]), cells row by row.
    std::vector<std::uint32_t> m_cellStart;
    std::vector<PlacedTarget> m_placed;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_byMmsi;   // (mmsi, index), sorted
};

} // namespace chart

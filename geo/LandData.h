#pragma once

// The GSHHG shorelines compiled into the program (made by scripts/generate-land-data.py):
// per bin of the lat/lon grid, the pieces of shoreline inside it and the level at its
// reference point, half a coordinate step north-east of the bin's south-west corner.
// Levels: 0 ocean, 1 land, 2 lake, 3 island in a lake, 4 pond in such an island.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace geo {

struct LatLon {
    double lat = 0.0;  // degrees
    double lon = 0.0;  // degrees
};

// A box in degrees; west may exceed east: the box then crosses the 180th meridian.
struct GeoBox {
    double south = 0.0;
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
};

enum class Detail : std::uint8_t {
    High,  // GSHHG high and the full level's islets, 2-degree bins: the point test and close-up charts
    Low,   // GSHHG low, 10-degree bins: overview charts
};

// A point of a piece in coordinate steps from its bin's south-west corner.
struct StepPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct ShorePiece {
    std::uint8_t level = 0;  // level of the polygon it bounds: 1 land, 2 lake, 3 island in a lake, 4 pond
    // A small island of GSHHG's full level that the high level leaves out: a closed
    // shoreline of its own, land whatever the high shorelines around it say.
    bool islet = false;
    std::uint32_t first = 0; // index of its first point in the bin's points
    std::uint32_t count = 0;
};

// One bin, decoded.
struct ShoreBin {
    std::uint8_t referenceLevel = 0;
    std::vector<StepPoint> points;
    std::vector<ShorePiece> pieces;
};

// One level of detail of the data; bins are decoded on first use, from any thread.
class ShoreDataset {
public:
    // Reads the dataset at `data`; `used` gets its length. Throws std::runtime_error on a
    // damaged file.
    ShoreDataset(std::span<const std::uint8_t> data, std::size_t& used);

    int BinDegrees() const { return m_binDegrees; }
    int Steps() const { return m_steps; }  // coordinate steps per bin side
    int Columns() const { return m_columns; }
    int Rows() const { return m_rows; }
    std::uint32_t PointCount() const { return m_pointCount; }
    // Bins count from 180 W eastwards and from 90 S northwards.
    const ShoreBin& Bin(int column, int row) const;
    LatLon ToLatLon(int column, int row, StepPoint p) const;

private:
    void Decode(std::size_t index) const;

    int m_binDegrees = 0;
    int m_steps = 0;
    int m_columns = 0;
    int m_rows = 0;
    std::uint32_t m_pointCount = 0;
    std::span<const std::uint8_t> m_levels;
    std::span<const std::uint8_t> m_offsets;
    std::span<const std::uint8_t> m_payload;
    std::unique_ptr<std::once_flag[]> m_decoded;
    mutable std::vector<ShoreBin> m_bins;
};

class LandData {
public:
    // The data compiled into the program; decoded once, on first use.
    static const LandData& Builtin();
    // Decodes bins lazily from `file`, which must outlive the object.
    explicit LandData(std::span<const std::uint8_t> file);
    explicit LandData(std::vector<std::uint8_t>&& file) = delete;  // a temporary would die first

    const ShoreDataset& Dataset(Detail detail) const { return detail == Detail::High ? *m_high : *m_low; }

private:
    std::unique_ptr<ShoreDataset> m_high;
    std::unique_ptr<ShoreDataset> m_low;
};

// Calls `visit` with every shoreline piece of the bins that meet `box`, as lat/lon points
// (longitudes within -180..180; pieces end on bin borders, so a chart strokes them as
// lines). For drawing coastlines.
void ForEachShoreline(const LandData& data, Detail detail, const GeoBox& box,
                      const std::function<void(int level, std::span<const LatLon> points)>& visit);

} // namespace geo

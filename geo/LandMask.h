#pragma once

// Which GSHHG level a point lies on, from the high-detail shorelines and the full level's
// islets (a point on an islet is land). Each bin gets a quadtree on first use whose leaves
// hold a few shoreline edges and the level at a reference point; a point's level is the
// leaf's reference level changed by every shoreline crossed on the way from that point to
// it.

#include "geo/LandData.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace geo {

// How far vessels keep off the shorelines: GSHHG's high level simplifies the full level's
// shorelines by up to 0.2 km, so the finer coast may lie that far out from them.
constexpr double kShoreClearanceKm = 0.25;

enum class Surface : std::uint8_t {
    Ocean,  // level 0
    Land,   // levels 1 and 3 (land, islands in lakes)
    Lake,   // levels 2 and 4 (lakes, ponds on islands in lakes)
};

class LandMask {
public:
    // The mask over the compiled-in data, made on first use.
    static const LandMask& Builtin();
    explicit LandMask(const LandData& data);
    ~LandMask();
    LandMask(const LandMask&) = delete;
    LandMask& operator=(const LandMask&) = delete;

    // 0 ocean, 1 land, 2 lake, 3 island in a lake, 4 pond.
    int Level(double latDeg, double lonDeg) const;
    Surface SurfaceAt(double latDeg, double lonDeg) const;
    // Water of any kind (an even level): the fast test for vessels under way.
    bool IsWater(double latDeg, double lonDeg) const;

    // The box around a point that no shoreline crosses, when it is water: everything in
    // it is water too. Nothing near shorelines. Longitudes within -180..180.
    std::optional<GeoBox> OpenWaterAround(double latDeg, double lonDeg) const;

    // How far a point on water is from the nearest shoreline of any level (coast, island,
    // lake shore), in km, up to `limitKm` (limitKm when none is nearer); 0 on land. The
    // shorelines are simplified to about 200 m, so keeping that far off them keeps off the
    // finer coast too.
    double ClearanceKm(double latDeg, double lonDeg, double limitKm) const;

    // Degrees per coordinate step of the data (about 14 m of latitude).
    double StepDegrees() const;

    struct BinIndex;

private:
    struct Locus;
    Locus Locate(double latDeg, double lonDeg) const;
    bool IsWater(const Locus& at) const;
    const BinIndex& Index(int column, int row) const;

    const ShoreDataset& m_data;
    std::unique_ptr<std::once_flag[]> m_built;
    mutable std::vector<std::unique_ptr<BinIndex>> m_indexes;
};

Surface SurfaceOfLevel(int level);

} // namespace geo

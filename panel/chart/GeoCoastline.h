#pragma once

#include "geo/LandData.h"
#include "panel/chart/Coastline.h"

namespace chart {

// The chart's coast from the compiled-in GSHHG shorelines: the low-detail set for charts that
// show much of the world, the high-detail one close in. The data keeps its shorelines cut into
// bins, each with the level (land, lake, ...) at a reference point; each bin's pieces are
// closed along the bin's border into outlines whose odd-even fill is the bin's land.
class GeoCoastline final : public ICoastlineSource {
public:
    // Closer in than this, the high-detail shorelines (GSHHG low keeps features of about 5 km).
    static constexpr double kHighDetailNmPerPixel = 0.5;

    explicit GeoCoastline(const geo::LandData& data = geo::LandData::Builtin()) : m_data(data) {}

    CoastView Coast(const GeoBox& box, double nmPerPixel) const override;

private:
    const geo::LandData& m_data;
};

// The land outlines of one bin, in the bin's coordinate steps (0 .. steps on each side):
// every piece that ends on the border is closed along it counter-clockwise, closed pieces
// stay as they are, and the whole bin is added once more when the odd-even parity of these
// outlines at the reference point disagrees with its level. A point strictly inside the bin
// is then land exactly when an odd number of outlines hold it.
std::vector<std::vector<geo::StepPoint>> BinLandOutlines(const geo::ShoreBin& bin, int steps);

} // namespace chart

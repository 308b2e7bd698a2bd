#pragma once

#include <vector>

namespace chart {

struct GeoPoint {
    double latDeg = 0;
    double lonDeg = 0;
};

// A latitude/longitude box; west may be greater than east only across the antimeridian,
// which the chart does not ask for.
struct GeoBox {
    double southDeg = 0;
    double westDeg = 0;
    double northDeg = 0;
    double eastDeg = 0;
};

// One closed land outline, first point not repeated at the end.
using CoastPolygon = std::vector<GeoPoint>;

// Where the chart's land comes from. Level of detail 0 is the coarsest; each level up about
// quarters the size of the smallest feature kept, up to kFinestCoastDetail.
inline constexpr int kFinestCoastDetail = 4;

class ICoastlineSource {
public:
    virtual ~ICoastlineSource() = default;
    // The land polygons that reach into `box`, at `levelOfDetail`; called only when the view
    // changes, so it may take a few milliseconds.
    virtual std::vector<CoastPolygon> Polygons(const GeoBox& box, int levelOfDetail) const = 0;
};

// No land at all: open sea everywhere.
class EmptyCoastline final : public ICoastlineSource {
public:
    std::vector<CoastPolygon> Polygons(const GeoBox&, int) const override { return {}; }
};

} // namespace chart

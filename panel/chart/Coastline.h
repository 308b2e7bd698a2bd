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

// A closed outline (first point not repeated at the end) or an open line.
using CoastPolygon = std::vector<GeoPoint>;

// The coast a source has for a part of the world.
struct CoastView {
    // Closed outlines; a point is land when an odd number of them hold it, so that lakes are
    // holes and islands in lakes land again. Their edges need not all be shore: a source
    // kept in tiles closes its outlines along the tiles' borders.
    std::vector<CoastPolygon> land;
    // The shorelines themselves, drawn as lines.
    std::vector<CoastPolygon> shorelines;
};

// Where the chart's land comes from.
class ICoastlineSource {
public:
    virtual ~ICoastlineSource() = default;
    // The coast that reaches into `box`, in detail fit for a chart at `nmPerPixel` nautical
    // miles per pixel; called only when the view changes, so it may take a few milliseconds.
    virtual CoastView Coast(const GeoBox& box, double nmPerPixel) const = 0;
};

// No land at all: open sea everywhere.
class EmptyCoastline final : public ICoastlineSource {
public:
    CoastView Coast(const GeoBox&, double) const override { return {}; }
};

} // namespace chart

#include "panel/chart/GeoCoastline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace chart {

namespace {

// A piece whose ends lie further from the border than this is a closed outline of its own
// (GMT cuts pieces on the border, give or take one step of rounding).
constexpr int kBorderSlackSteps = 2;
constexpr int kCorners = 4;

bool OnBorder(geo::StepPoint p, int steps)
{
    return std::min({std::abs(p.x), std::abs(p.y), std::abs(steps - p.x), std::abs(steps - p.y)}) <= kBorderSlackSteps;
}

// Where a point lies along the border, counter-clockwise from the south-west corner: corner k
// (south-west, south-east, north-east, north-west) at k, the edges between.
double BorderPosition(geo::StepPoint p, int steps)
{
    const double size = steps;
    const double x = std::clamp(p.x / size, 0.0, 1.0);
    const double y = std::clamp(p.y / size, 0.0, 1.0);
    const int toSouth = std::abs(p.y);
    const int toEast = std::abs(steps - p.x);
    const int toNorth = std::abs(steps - p.y);
    const int toWest = std::abs(p.x);
    const int nearest = std::min({toSouth, toEast, toNorth, toWest});
    if (nearest == toSouth) return x;
    if (nearest == toEast) return 1 + y;
    if (nearest == toNorth) return 2 + (1 - x);
    return y == 0 ? 0 : 3 + (1 - y);
}

geo::StepPoint Corner(int k, int steps)
{
    constexpr geo::StepPoint kUnit[kCorners] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    return {kUnit[k % kCorners].x * steps, kUnit[k % kCorners].y * steps};
}

// Odd-even count of the outlines around the reference point, half a step inside the
// south-west corner; no point of the data lies on it.
bool HoldsReference(const std::vector<std::vector<geo::StepPoint>>& outlines)
{
    constexpr double kRef = 0.5;
    bool inside = false;
    for (const auto& outline : outlines) {
        for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
            const geo::StepPoint a = outline[j];
            const geo::StepPoint b = outline[i];
            if ((a.y > kRef) == (b.y > kRef)) continue;
            const double crossX = a.x + (kRef - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y);
            if (crossX > kRef) inside = !inside;
        }
    }
    return inside;
}

} // namespace

std::vector<std::vector<geo::StepPoint>> BinLandOutlines(const geo::ShoreBin& bin, int steps)
{
    std::vector<std::vector<geo::StepPoint>> outlines;
    for (const geo::ShorePiece& piece : bin.pieces) {
        const auto first = bin.points.begin() + piece.first;
        std::vector<geo::StepPoint> outline(first, first + piece.count);
        const geo::StepPoint start = outline.front();
        const geo::StepPoint end = outline.back();
        const bool closed = (start.x == end.x && start.y == end.y) || !OnBorder(start, steps) || !OnBorder(end, steps);
        if (closed) {
            if (start.x == end.x && start.y == end.y) outline.pop_back();
        } else {
            // Along the border from the piece's end round to its start, corners on the way.
            const double from = BorderPosition(end, steps);
            double to = BorderPosition(start, steps);
            if (to <= from) to += kCorners;
            for (int corner = static_cast<int>(std::floor(from)) + 1; corner < to; ++corner)
                outline.push_back(Corner(corner, steps));
        }
        if (outline.size() >= 3) outlines.push_back(std::move(outline));
    }
    const bool land = bin.referenceLevel % 2 == 1;
    if (HoldsReference(outlines) != land)
        outlines.push_back({Corner(0, steps), Corner(1, steps), Corner(2, steps), Corner(3, steps)});
    return outlines;
}

CoastView GeoCoastline::Coast(const GeoBox& box, double nmPerPixel) const
{
    const geo::Detail detail = nmPerPixel < kHighDetailNmPerPixel ? geo::Detail::High : geo::Detail::Low;
    const geo::ShoreDataset& set = m_data.Dataset(detail);
    const int size = set.BinDegrees();
    const int steps = set.Steps();
    const double degreesPerStep = static_cast<double>(size) / steps;
    const int firstRow = std::clamp(static_cast<int>(std::floor((box.southDeg + 90.0) / size)), 0, set.Rows() - 1);
    const int lastRow = std::clamp(static_cast<int>(std::floor((box.northDeg + 90.0) / size)), 0, set.Rows() - 1);
    const int firstColumn = std::clamp(static_cast<int>(std::floor((box.westDeg + 180.0) / size)), 0, set.Columns() - 1);
    const int lastColumn = std::clamp(static_cast<int>(std::floor((box.eastDeg + 180.0) / size)), 0, set.Columns() - 1);

    CoastView view;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int column = firstColumn; column <= lastColumn; ++column) {
            const geo::ShoreBin& bin = set.Bin(column, row);
            // Not wrapped: the eastmost bin ends at 180 E, not at 180 W.
            const auto toGeo = [&](geo::StepPoint p) {
                return GeoPoint{row * size - 90.0 + p.y * degreesPerStep, column * size - 180.0 + p.x * degreesPerStep};
            };
            for (const auto& outline : BinLandOutlines(bin, steps)) {
                CoastPolygon& land = view.land.emplace_back();
                land.reserve(outline.size());
                for (const geo::StepPoint p : outline) land.push_back(toGeo(p));
            }
            for (const geo::ShorePiece& piece : bin.pieces) {
                CoastPolygon& shore = view.shorelines.emplace_back();
                shore.reserve(piece.count);
                for (std::uint32_t i = 0; i < piece.count; ++i) shore.push_back(toGeo(bin.points[piece.first + i]));
            }
        }
    }
    return view;
}

} // namespace chart

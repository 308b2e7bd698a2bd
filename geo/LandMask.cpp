#include "geo/LandMask.h"

#include <boost/container/small_vector.hpp>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace geo {

namespace {

constexpr std::size_t kLeafEdges = 8;   // a leaf holding more is split
constexpr std::int32_t kMinNodeSteps = 4; // unless it is this small already (about 55 m)
constexpr double kHalfStep = 0.5;        // reference points sit half a step inside a node's corner
constexpr double kKmPerDegree = 111.2;   // of latitude; clearances are a few hundred metres
constexpr double kMinCos = 0.01;

constexpr std::uint8_t kIslet = 0x80;    // an edge's level flag: the shoreline of an islet

struct Edge {
    float x0, y0, x1, y1;  // coordinate steps of the bin
    std::uint8_t level;    // kIslet added for an islet's
};

// Where a point lies: its level by the high shorelines, and the level of the islet it is
// on (0: none). Islets are closed and never nest, so crossing one's shoreline toggles it.
struct Place {
    std::uint8_t level = 0;
    std::uint8_t islet = 0;
    int Level() const { return islet != 0 ? islet : level; }
};

// Squared distance from the origin to the segment a-b.
double SquaredDistanceToSegment(double ax, double ay, double bx, double by)
{
    const double dx = bx - ax;
    const double dy = by - ay;
    const double length2 = dx * dx + dy * dy;
    const double t = length2 > 0.0 ? std::clamp(-(ax * dx + ay * dy) / length2, 0.0, 1.0) : 0.0;
    const double x = ax + t * dx;
    const double y = ay + t * dy;
    return x * x + y * y;
}

struct Crossing {
    double along;  // 0..1 on the vertical leg, 1..2 on the horizontal one
    std::uint8_t level;
};

// Calls `cross` for every edge met on the way from the reference point (rx, ry) to
// (px, py): first along x = rx (a half step, where no vertex lies), then along y = py.
template <class Edges, class OnCross>
void Walk(const Edges& edges, double rx, double ry, double px, double py, OnCross&& cross)
{
    const double dy = py - ry;
    const double dx = px - rx;
    for (const Edge& e : edges) {
        if ((e.x0 < rx) != (e.x1 < rx) && dy != 0.0) {
            const double y = e.y0 + (rx - e.x0) * (e.y1 - e.y0) / (e.x1 - e.x0);
            const double t = (y - ry) / dy;
            if (t >= 0.0 && t < 1.0) cross(t, e.level);
        }
        if ((e.y0 > py) != (e.y1 > py) && dx != 0.0) {
            const double x = e.x0 + (py - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0);
            const double t = (x - rx) / dx;
            if (t >= 0.0 && t < 1.0) cross(1.0 + t, e.level);
        }
    }
}

// The place (px, py) lies on, from the place of the reference point: each high shoreline
// of level k crossed moves between k - 1 and k.
template <class Edges>
Place PlaceBy(const Edges& edges, Place reference, double rx, double ry, double px, double py)
{
    boost::container::small_vector<Crossing, 32> crossings;
    Walk(edges, rx, ry, px, py, [&](double t, std::uint8_t level) { crossings.push_back({t, level}); });
    std::sort(crossings.begin(), crossings.end(), [](const Crossing& a, const Crossing& b) { return a.along < b.along; });
    Place place = reference;
    for (const Crossing& c : crossings) {
        if ((c.level & kIslet) != 0)
            place.islet = place.islet != 0 ? 0 : static_cast<std::uint8_t>(c.level & ~kIslet);
        else
            place.level = place.level == c.level ? static_cast<std::uint8_t>(c.level - 1) : c.level;
    }
    return place;
}

// Yields the edges of `all` listed by index in [begin, end) of `refs`.
struct EdgeRange {
    const std::vector<Edge>& all;
    const std::uint32_t* begin_;
    const std::uint32_t* end_;
    struct Iterator {
        const std::vector<Edge>* all;
        const std::uint32_t* at;
        const Edge& operator*() const { return (*all)[*at]; }
        Iterator& operator++() { ++at; return *this; }
        bool operator!=(const Iterator& o) const { return at != o.at; }
    };
    Iterator begin() const { return {&all, begin_}; }
    Iterator end() const { return {&all, end_}; }
};

} // namespace

struct LandMask::BinIndex {
    struct Node {
        std::int32_t x0 = 0;
        std::int32_t y0 = 0;
        std::int32_t size = 0;
        std::int32_t firstChild = -1;  // four children: south-west, south-east, north-west, north-east
        std::uint32_t edgeBegin = 0;   // leaves: their edges in `refs`
        std::uint32_t edgeEnd = 0;
        Place reference;                 // at (x0 + 0.5, y0 + 0.5)
    };
    std::vector<Edge> edges;
    std::vector<Node> nodes;
    std::vector<std::uint32_t> refs;

    EdgeRange LeafEdges(const Node& n) const { return {edges, refs.data() + n.edgeBegin, refs.data() + n.edgeEnd}; }

    void Build(std::size_t node, std::vector<std::uint32_t> candidates)
    {
        const Node n = nodes[node];
        if (candidates.size() <= kLeafEdges || n.size < 2 * kMinNodeSteps) {
            nodes[node].edgeBegin = static_cast<std::uint32_t>(refs.size());
            refs.insert(refs.end(), candidates.begin(), candidates.end());
            nodes[node].edgeEnd = static_cast<std::uint32_t>(refs.size());
            return;
        }
        const EdgeRange parentEdges{edges, candidates.data(), candidates.data() + candidates.size()};
        const double rx = n.x0 + kHalfStep;
        const double ry = n.y0 + kHalfStep;
        const std::int32_t half = n.size / 2;
        const auto first = static_cast<std::int32_t>(nodes.size());
        nodes[node].firstChild = first;
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            Node child;
            child.x0 = n.x0 + (quadrant % 2) * half;
            child.y0 = n.y0 + (quadrant / 2) * half;
            child.size = half;
            child.reference = PlaceBy(parentEdges, n.reference, rx, ry, child.x0 + kHalfStep, child.y0 + kHalfStep);
            nodes.push_back(child);
        }
        for (int quadrant = 0; quadrant < 4; ++quadrant) {
            const Node child = nodes[static_cast<std::size_t>(first + quadrant)];
            std::vector<std::uint32_t> inside;
            for (std::uint32_t i : candidates) {
                const Edge& e = edges[i];
                const auto [minX, maxX] = std::minmax(e.x0, e.x1);
                const auto [minY, maxY] = std::minmax(e.y0, e.y1);
                if (maxX >= child.x0 && minX <= child.x0 + child.size && maxY >= child.y0 &&
                    minY <= child.y0 + child.size)
                    inside.push_back(i);
            }
            Build(static_cast<std::size_t>(first + quadrant), std::move(inside));
        }
    }
};

struct LandMask::Locus {
    const BinIndex* index;
    const BinIndex::Node* leaf;
    double x;
    double y;
    int column;
    int row;
};

LandMask::LandMask(const LandData& data) : m_data(data.Dataset(Detail::High))
{
    const auto bins = static_cast<std::size_t>(m_data.Columns()) * static_cast<std::size_t>(m_data.Rows());
    m_built = std::make_unique<std::once_flag[]>(bins);
    m_indexes.resize(bins);
}

LandMask::~LandMask() = default;

const LandMask& LandMask::Builtin()
{
    static const LandMask mask(LandData::Builtin());
    return mask;
}

double LandMask::StepDegrees() const
{
    return static_cast<double>(m_data.BinDegrees()) / m_data.Steps();
}

const LandMask::BinIndex& LandMask::Index(int column, int row) const
{
    const std::size_t at = static_cast<std::size_t>(row) * static_cast<std::size_t>(m_data.Columns()) +
                           static_cast<std::size_t>(column);
    std::call_once(m_built[at], [&] {
        const ShoreBin& bin = m_data.Bin(column, row);
        auto index = std::make_unique<BinIndex>();
        for (const ShorePiece& piece : bin.pieces) {
            for (std::uint32_t i = piece.first; i + 1 < piece.first + piece.count; ++i) {
                const StepPoint a = bin.points[i];
                const StepPoint b = bin.points[i + 1];
                index->edges.push_back({static_cast<float>(a.x), static_cast<float>(a.y), static_cast<float>(b.x),
                                        static_cast<float>(b.y),
                                        static_cast<std::uint8_t>(piece.level | (piece.islet ? kIslet : 0))});
            }
        }
        BinIndex::Node root;
        root.size = m_data.Steps();
        root.reference.level = bin.referenceLevel;  // no islet holds a bin's reference point
        index->nodes.push_back(root);
        std::vector<std::uint32_t> all(index->edges.size());
        for (std::uint32_t i = 0; i < all.size(); ++i) all[i] = i;
        index->Build(0, std::move(all));
        m_indexes[at] = std::move(index);
    });
    return *m_indexes[at];
}

LandMask::Locus LandMask::Locate(double latDeg, double lonDeg) const
{
    const double size = m_data.BinDegrees();
    // A position that is no number is looked up at 0 N 0 E (open sea) rather than nowhere.
    const double lat = std::isfinite(latDeg) ? std::clamp(latDeg, -90.0, 90.0) : 0.0;
    double lon = std::isfinite(lonDeg) ? std::fmod(lonDeg + 180.0, 360.0) : 180.0;
    if (lon < 0.0) lon += 360.0;
    const int row = std::min(static_cast<int>((lat + 90.0) / size), m_data.Rows() - 1);
    const int column = std::min(static_cast<int>(lon / size), m_data.Columns() - 1);
    const double steps = m_data.Steps();
    const double x = std::clamp((lon - column * size) / size * steps, 0.0, steps);
    const double y = std::clamp((lat + 90.0 - row * size) / size * steps, 0.0, steps);
    const BinIndex& index = Index(column, row);
    const BinIndex::Node* node = &index.nodes[0];
    while (node->firstChild >= 0) {
        const std::int32_t half = node->size / 2;
        const int quadrant = (x >= node->x0 + half ? 1 : 0) + (y >= node->y0 + half ? 2 : 0);
        node = &index.nodes[static_cast<std::size_t>(node->firstChild + quadrant)];
    }
    return {&index, node, x, y, column, row};
}

int LandMask::Level(double latDeg, double lonDeg) const
{
    const Locus at = Locate(latDeg, lonDeg);
    return PlaceBy(at.index->LeafEdges(*at.leaf), at.leaf->reference, at.leaf->x0 + kHalfStep,
                   at.leaf->y0 + kHalfStep, at.x, at.y)
        .Level();
}

bool LandMask::IsWater(double latDeg, double lonDeg) const
{
    return IsWater(Locate(latDeg, lonDeg));
}

std::optional<GeoBox> LandMask::OpenWaterAround(double latDeg, double lonDeg) const
{
    const Locus at = Locate(latDeg, lonDeg);
    if (at.leaf->edgeBegin != at.leaf->edgeEnd || at.leaf->reference.Level() % 2 != 0) return std::nullopt;
    const double step = StepDegrees();
    const double south = at.row * m_data.BinDegrees() - 90.0 + at.leaf->y0 * step;
    const double west = at.column * m_data.BinDegrees() - 180.0 + at.leaf->x0 * step;
    return GeoBox{south, west, south + at.leaf->size * step, west + at.leaf->size * step};
}

double LandMask::ClearanceKm(double latDeg, double lonDeg, double limitKm) const
{
    const Locus at = Locate(latDeg, lonDeg);
    if (!IsWater(at) || !(limitKm > 0.0)) return 0.0;
    const double lat = std::isfinite(latDeg) ? std::clamp(latDeg, -90.0, 90.0) : 0.0;
    const double kmPerStepY = StepDegrees() * kKmPerDegree;
    const double kmPerStepX = kmPerStepY * std::max(std::cos(lat * std::numbers::pi / 180.0), kMinCos);
    const double reachX = limitKm / kmPerStepX;
    const double reachY = limitKm / kmPerStepY;
    const BinIndex::Node& leaf = *at.leaf;
    // Open water all round: no shoreline in a leaf that holds the whole circle.
    if (leaf.edgeBegin == leaf.edgeEnd && at.x - reachX >= leaf.x0 && at.x + reachX <= leaf.x0 + leaf.size &&
        at.y - reachY >= leaf.y0 && at.y + reachY <= leaf.y0 + leaf.size)
        return limitKm;

    // Every leaf that meets the circle's square, in this bin and its neighbours.
    const int steps = m_data.Steps();
    const int columns = m_data.Columns();
    const int firstRow = std::max(0, at.row + static_cast<int>(std::floor((at.y - reachY) / steps)));
    const int lastRow = std::min(m_data.Rows() - 1, at.row + static_cast<int>(std::floor((at.y + reachY) / steps)));
    const int firstColumn = static_cast<int>(std::floor((at.x - reachX) / steps));
    const int lastColumn = std::min(firstColumn + columns - 1, static_cast<int>(std::floor((at.x + reachX) / steps)));
    double best2 = limitKm * limitKm;
    boost::container::small_vector<std::int32_t, 64> pending;
    for (int row = firstRow; row <= lastRow; ++row) {
        for (int dc = firstColumn; dc <= lastColumn; ++dc) {
            const BinIndex& index = Index(((at.column + dc) % columns + columns) % columns, row);
            const double px = at.x - static_cast<double>(dc) * steps;
            const double py = at.y - static_cast<double>(row - at.row) * steps;
            pending.assign(1, 0);
            while (!pending.empty()) {
                const BinIndex::Node& n = index.nodes[static_cast<std::size_t>(pending.back())];
                pending.pop_back();
                if (n.x0 > px + reachX || n.x0 + n.size < px - reachX || n.y0 > py + reachY ||
                    n.y0 + n.size < py - reachY)
                    continue;
                if (n.firstChild >= 0) {
                    for (int quadrant = 0; quadrant < 4; ++quadrant) pending.push_back(n.firstChild + quadrant);
                    continue;
                }
                for (const Edge& e : index.LeafEdges(n))
                    best2 = std::min(best2, SquaredDistanceToSegment((e.x0 - px) * kmPerStepX, (e.y0 - py) * kmPerStepY,
                                                                     (e.x1 - px) * kmPerStepX, (e.y1 - py) * kmPerStepY));
            }
        }
    }
    return std::sqrt(best2);
}

bool LandMask::IsWater(const Locus& at) const
{
    unsigned shores = 0;
    unsigned islets = 0;
    Walk(at.index->LeafEdges(*at.leaf), at.leaf->x0 + kHalfStep, at.leaf->y0 + kHalfStep, at.x, at.y,
         [&](double, std::uint8_t level) { ++((level & kIslet) != 0 ? islets : shores); });
    const bool onIslet = (at.leaf->reference.islet != 0) != ((islets & 1U) != 0);
    return !onIslet && ((at.leaf->reference.level + shores) & 1U) == 0;
}

Surface SurfaceOfLevel(int level)
{
    if (level == 0) return Surface::Ocean;
    return level % 2 == 1 ? Surface::Land : Surface::Lake;
}

Surface LandMask::SurfaceAt(double latDeg, double lonDeg) const
{
    return SurfaceOfLevel(Level(latDeg, lonDeg));
}

} // namespace geo

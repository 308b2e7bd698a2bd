#include <gtest/gtest.h>

#include <random>

#include "geo/LandMask.h"
#include "panel/chart/ChartRenderer.h"
#include "panel/chart/GeoCoastline.h"
#include "tests/panel/QtTestApp.h"

namespace {

constexpr int kSteps = 100;

bool InsideOddEven(const std::vector<std::vector<geo::StepPoint>>& outlines, double x, double y)
{
    bool inside = false;
    for (const auto& outline : outlines)
        for (std::size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
            const geo::StepPoint a = outline[j];
            const geo::StepPoint b = outline[i];
            if ((a.y > y) != (b.y > y) && x < a.x + (y - a.y) * (b.x - a.x) / static_cast<double>(b.y - a.y))
                inside = !inside;
        }
    return inside;
}

struct BinRow {
    const char* name;
    std::uint8_t referenceLevel;
    std::vector<std::pair<std::uint8_t, std::vector<geo::StepPoint>>> pieces;   // level, points
    std::vector<std::pair<geo::StepPoint, bool>> probes;                      // point, land
};

// Made-up bins of 100 steps a side: pieces cut at the border close the right way round,
// whichever side the reference point is on.
TEST(GeoCoastline, BinOutlinesGiveEachSideItsLevel)
{
    const std::vector<geo::StepPoint> westToEast = {{0, 50}, {40, 45}, {60, 55}, {kSteps, 60}};
    const std::vector<geo::StepPoint> southToEast = {{30, 0}, {70, 30}, {kSteps, 40}};
    const std::vector<geo::StepPoint> ring = {{40, 40}, {60, 40}, {60, 60}, {40, 60}, {40, 40}};
    const BinRow rows[] = {
        {"coast across, sea at the reference", 0, {{1, westToEast}}, {{{50, 90}, true}, {{50, 10}, false}, {{99, 99}, true}}},
        {"coast across, land at the reference", 1, {{1, westToEast}}, {{{50, 90}, false}, {{50, 10}, true}, {{99, 1}, true}}},
        {"corner cut off, land at the reference", 1, {{1, southToEast}}, {{{95, 5}, false}, {{10, 90}, true}, {{50, 50}, true}}},
        {"corner cut off, end a step outside", 1, {{1, {{30, -1}, {70, 30}, {kSteps + 1, 40}}}}, {{{95, 5}, false}, {{10, 90}, true}}},
        {"island in open sea", 0, {{1, ring}}, {{{50, 50}, true}, {{10, 10}, false}, {{90, 90}, false}}},
        {"lake in land", 1, {{2, ring}}, {{{50, 50}, false}, {{10, 10}, true}, {{90, 90}, true}}},
        {"lake shore across the bin, an island in the lake", 2,
         {{2, westToEast}, {3, {{40, 10}, {60, 10}, {60, 30}, {40, 30}, {40, 10}}}},
         {{{50, 5}, false}, {{50, 20}, true}, {{50, 90}, true}}},
        {"all land", 1, {}, {{{50, 50}, true}, {{1, 99}, true}}},
        {"all sea", 0, {}, {{{50, 50}, false}}},
    };
    for (const BinRow& row : rows) {
        geo::ShoreBin bin;
        bin.referenceLevel = row.referenceLevel;
        for (const auto& [level, points] : row.pieces) {
            bin.pieces.push_back({.level = level,
                                  .first = static_cast<std::uint32_t>(bin.points.size()),
                                  .count = static_cast<std::uint32_t>(points.size())});
            bin.points.insert(bin.points.end(), points.begin(), points.end());
        }
        const auto outlines = chart::BinLandOutlines(bin, kSteps);
        for (const auto& [at, land] : row.probes)
            EXPECT_EQ(InsideOddEven(outlines, at.x + 0.25, at.y + 0.25), land) << row.name << " at " << at.x << "," << at.y;
    }
}

struct RegionRow {
    const char* name;
    double latDeg;
    double lonDeg;
    double pixelsPerUnit;   // of the Mercator plane
    double maxDisagreeing;  // share of probed pixels
};

// The filled land, drawn as the chart draws it, agrees pixel by pixel with the land mask's
// point test (both read the same shorelines), in high detail; far out, in low detail, it
// differs only where the low shorelines are coarser.
TEST(GeoCoastline, FilledLandAgreesWithThePointTest)
{
    EnsureQtApplication();
    const QColor sea(214, 232, 244);
    const QColor land(238, 226, 184);
    const RegionRow rows[] = {
        {"Maasvlakte, high", 51.95, 4.05, 1 << 19, 0.002},
        {"Lake Geneva, high", 46.42, 6.55, 1 << 18, 0.002},
        {"Danish straits, high", 55.5, 11.0, 1 << 15, 0.002},
        {"Isle Royale in Lake Superior, high", 48.0, -88.9, 1 << 15, 0.002},
        {"Aegean islands, low", 37.5, 25.0, 1 << 13, 0.03},
        {"Europe, low", 52.0, 10.0, 1 << 12, 0.03},
    };
    const auto coast = std::make_shared<chart::GeoCoastline>();
    std::mt19937 random(11);
    for (const RegionRow& row : rows) {
        chart::ChartRenderer renderer;
        renderer.SetCoastlineSource(coast);
        const chart::ChartViewport view(QSize(800, 600), chart::ToMercator(row.latDeg, row.lonDeg), row.pixelsPerUnit);
        QImage frame;
        renderer.Render(frame, chart::ChartScene(), view, std::nullopt);
        int probed = 0;
        int landSeen = 0;
        int disagreeing = 0;
        std::uniform_int_distribution<int> x(0, 799);
        std::uniform_int_distribution<int> y(0, 599);
        for (int i = 0; i < 4000; ++i) {
            const QPoint at(x(random), y(random));
            const QColor colour = frame.pixelColor(at);
            if (colour != sea && colour != land) continue;   // shoreline, grid, scale
            const chart::GeoPoint place = chart::FromMercator(view.ToPlane(QPointF(at) + QPointF(0.5, 0.5)));
            const bool water = geo::LandMask::Builtin().IsWater(place.latDeg, place.lonDeg);
            ++probed;
            landSeen += colour == land;
            disagreeing += water != (colour == sea);
        }
        EXPECT_GT(probed, 2000) << row.name;
        EXPECT_GT(landSeen, probed / 20) << row.name;   // a region with coast, not open sea
        EXPECT_LT(landSeen, probed * 19 / 20) << row.name;
        EXPECT_LE(disagreeing, row.maxDisagreeing * probed) << row.name << ": " << disagreeing << " of " << probed;
    }
}

} // namespace

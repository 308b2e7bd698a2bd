#include "geo/LandMask.h"
#include "geo/WaterPlacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace {

const geo::LandMask& Mask() { return geo::LandMask::Builtin(); }

struct Place {
    const char* name;
    double lat;
    double lon;
    int level;
};

// Levels as GMT's `gmt select -Dh` gives them.
const Place kPlaces[] = {
    {"North Sea off Rotterdam", 52.0, 3.5, 0},
    {"Utrecht", 52.09, 5.12, 1},
    {"Lake Geneva", 46.45, 6.55, 2},
    {"Lake Superior", 47.5, -87.5, 2},
    {"Isle Royale in Lake Superior", 48.0, -88.9, 3},
    {"Mid Atlantic", 30.0, -40.0, 0},
    {"Sahara", 23.0, 10.0, 1},
    {"Antarctica", -85.0, 0.0, 1},
    {"North Pole", 90.0, 0.0, 0},
    {"Bin corner in the Pacific", -20.0, -178.0, 0},
    {"East of the date line", -17.0, 179.99, 0},
    {"West of the date line as 180", 0.0, 180.0, 0},
    {"Longitude past a full turn", 52.09, 5.12 + 720.0, 1},
    {"Not a number: looked up at 0 N 0 E", std::nan(""), std::nan(""), 0},
    {"Latitude beyond the pole", 95.0, 0.0, 0},
    // -Df: a skerry that the high level merges into its neighbour's shoreline, 300 m off it.
    {"Skerry in the Sea of Aland", 59.8029, 19.1454, 1},
};

TEST(LandMask, KnownPlacesHaveTheirLevel)
{
    for (const Place& p : kPlaces) {
        EXPECT_EQ(Mask().Level(p.lat, p.lon), p.level) << p.name;
        EXPECT_EQ(Mask().IsWater(p.lat, p.lon), p.level % 2 == 0) << p.name;
    }
}

// Points scattered up to 2 km around GSHHG's high shorelines, up to 100 m around the full
// level's islets, and anywhere, with the levels that GMT's own `gmt select` gives them at
// the high and full levels (written by scripts/generate-land-data.py --sample).
TEST(LandMask, AgreesWithGmtSelectNearShorelines)
{
    std::ifstream in(KVL_GMT_LEVELS);
    ASSERT_TRUE(in) << KVL_GMT_LEVELS;
    std::string line;
    int points = 0;
    int differ = 0;
    bool amidIslets = false;
    int isletPoints = 0;  // amid islets: land at the full level, water at the high level
    int isletLand = 0;
    std::ostringstream listed;
    while (std::getline(in, line)) {
        amidIslets = amidIslets || line == "# amid islets";
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        double lat = 0;
        double lon = 0;
        int high = 0;
        int full = 0;
        ASSERT_TRUE(fields >> lat >> lon >> high >> full) << line;
        ++points;
        const int ours = Mask().Level(lat, lon);
        // The high level's, or land on an islet that only the full level has.
        if (ours != high && !(ours % 2 == 1 && full % 2 == 1)) {
            ++differ;
            listed << line << " (ours " << ours << ")\n";
        }
        if (amidIslets && high % 2 == 0 && full % 2 == 1) {
            ++isletPoints;
            isletLand += ours % 2;
        }
    }
    EXPECT_GT(points, 4000);
    // The file keeps 16384 steps per 2-degree bin (14 m): only points within metres of a
    // shoreline may differ.
    EXPECT_LE(differ, points / 500) << listed.str();
    EXPECT_GT(isletPoints, 300);
    EXPECT_GE(isletLand, isletPoints * 99 / 100);
    std::cout << differ << " of " << points << " points differ from gmt select; " << isletLand << " of " << isletPoints
              << " on land only at the full level are land\n";
}

std::vector<std::uint8_t> BuiltinFile()
{
    std::ifstream in(KVL_LAND_FILE, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(LandData, DamagedFilesAreRefused)
{
    const std::vector<std::uint8_t> good = BuiltinFile();
    ASSERT_GT(good.size(), 1000000u);
    EXPECT_NO_THROW(geo::LandData{good});
    struct Damage {
        const char* name;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Damage> damages = {
        {"empty", {}},
        {"magic only", {good.begin(), good.begin() + 8}},
        {"cut in the header", {good.begin(), good.begin() + 30}},
        {"cut in the payload", {good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() / 2)}},
    };
    damages.push_back({"wrong magic", good});
    damages.back().bytes[0] = 'X';
    damages.push_back({"level 9 at a bin's reference point", good});
    damages.back().bytes[12 + 28] = 9;
    for (const Damage& d : damages) EXPECT_THROW(geo::LandData{d.bytes}, std::runtime_error) << d.name;
}

TEST(LandData, ShorelinesOfABoxLieAroundIt)
{
    const geo::GeoBox box{51.5, 3.0, 52.5, 4.8};
    for (geo::Detail detail : {geo::Detail::High, geo::Detail::Low}) {
        std::size_t pieces = 0;
        std::size_t inside = 0;
        geo::ForEachShoreline(geo::LandData::Builtin(), detail, box, [&](int level, std::span<const geo::LatLon> points) {
            ++pieces;
            EXPECT_TRUE(level >= 1 && level <= 4);
            for (const geo::LatLon& p : points) {
                // Whole bins are visited: 2 or 10 degrees around the box.
                EXPECT_TRUE(p.lat >= 40.0 && p.lat <= 60.0 && p.lon >= 0.0 && p.lon <= 10.0) << p.lat << " " << p.lon;
                inside += p.lat >= box.south && p.lat <= box.north && p.lon >= box.west && p.lon <= box.east ? 1 : 0;
            }
        });
        EXPECT_GT(pieces, 0u);
        EXPECT_GT(inside, detail == geo::Detail::High ? 500u : 10u);
    }
}

struct Area {
    const char* name;
    geo::GeoBox box;
    geo::WaterKind kind;
    double minShare;
    double maxShare;
};

const Area kAreas[] = {
    {"Rotterdam", {51.5, 3.0, 52.5, 4.8}, geo::WaterKind::Ocean, 0.4, 0.8},
    {"Stockholm archipelago", {59.0, 17.5, 60.0, 19.5}, geo::WaterKind::Ocean, 0.2, 0.8},
    {"Black Forest", {48.0, 8.0, 49.0, 9.0}, geo::WaterKind::None, 0.0, 0.0},
    {"Lake Geneva only", {46.4, 6.5, 46.5, 6.7}, geo::WaterKind::Lake, 0.3, 1.0},
    {"Across the date line", {-20.0, 179.5, -19.0, -179.5}, geo::WaterKind::Ocean, 0.9, 1.0},
};

TEST(WaterPlacement, DrawsOnTheAreasWaterAndNearCoasts)
{
    for (const Area& a : kAreas) {
        const geo::WaterPlacement water(Mask(), a.box);
        EXPECT_EQ(water.Kind(), a.kind) << a.name;
        EXPECT_GE(water.WaterShare(), a.minShare) << a.name;
        EXPECT_LE(water.WaterShare(), a.maxShare) << a.name;
        if (a.kind == geo::WaterKind::None) continue;
        const geo::Surface wanted = a.kind == geo::WaterKind::Ocean ? geo::Surface::Ocean : geo::Surface::Lake;
        std::mt19937 random(3);
        const auto uniform = [&random] { return random() / 4294967296.0; };
        for (int i = 0; i < 300; ++i) {
            const geo::LatLon p = water.Draw(uniform);
            EXPECT_EQ(Mask().SurfaceAt(p.lat, p.lon), wanted) << a.name << " " << p.lat << " " << p.lon;
            const geo::LatLon c = water.DrawNearCoast(uniform);
            EXPECT_EQ(Mask().SurfaceAt(c.lat, c.lon), wanted) << a.name << " " << c.lat << " " << c.lon;
            if (!water.HasCoast()) continue;
            // Land within about 2 km (the survey's cells add a little).
            bool land = false;
            for (int bearing = 0; bearing < 360 && !land; bearing += 3) {
                const double b = bearing * 3.14159265358979 / 180.0;
                for (double km = 0.1; km <= 2.6 && !land; km += 0.1)
                    land = Mask().SurfaceAt(c.lat + km * std::cos(b) / 111.2,
                                            c.lon + km * std::sin(b) / (111.2 * std::cos(c.lat * 3.14159265 / 180.0))) !=
                           wanted;
            }
            EXPECT_TRUE(land) << a.name << " " << c.lat << " " << c.lon;
        }
    }
}

} // namespace

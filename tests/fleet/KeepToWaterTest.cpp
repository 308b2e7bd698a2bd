// Keeping to water on made-up coastlines (an island, a small lake) where the right
// behaviour is known, and on the real coast off Rotterdam.
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"
#include "emulator/model/CVesselModelImpl.h"
#include "geo/LandMask.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <unordered_set>
#include <vector>

namespace {

constexpr int kBinDegrees = 90;
constexpr std::uint32_t kSteps = 9000000;  // 1e-5 degree a step

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutVarint(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (; v >= 0x80; v >>= 7) out.push_back(static_cast<std::uint8_t>((v & 0x7F) | 0x80));
    out.push_back(static_cast<std::uint8_t>(v));
}

std::uint32_t ZigZag(std::int32_t v) { return v >= 0 ? 2U * static_cast<std::uint32_t>(v) : 2U * static_cast<std::uint32_t>(-v) - 1; }

// A land data file in the program's format: 90-degree bins at `reference` level, and in
// the bin of 0..90 N, 0..90 E one closed square shoreline of `level` with corners at
// (lat, lon) and (lat + side, lon + side) degrees.
std::vector<std::uint8_t> SquareWorld(int reference, int level, double lat, double lon, double side)
{
    std::vector<std::uint8_t> file{'K', 'V', 'L', 'G', 'S', 'H', 'G', '1'};
    Put32(file, 2);
    const int columns = 360 / kBinDegrees;
    const int rows = 180 / kBinDegrees;
    const auto s = [](double deg) { return static_cast<std::int32_t>(std::lround(deg * kSteps / kBinDegrees)); };
    const std::int32_t x0 = s(lon), y0 = s(lat), d = s(side);
    const std::int32_t ring[][2] = {{x0, y0}, {x0 + d, y0}, {x0 + d, y0 + d}, {x0, y0 + d}, {x0, y0}};
    for (char letter : {'h', 'l'}) {
        std::vector<std::uint8_t> payload;
        std::vector<std::uint32_t> offsets;
        for (int bin = 0; bin < columns * rows; ++bin) {
            offsets.push_back(static_cast<std::uint32_t>(payload.size()));
            const bool square = bin == 1 * columns + 2;  // row 0..90 N, column 0..90 E
            PutVarint(payload, square ? 1 : 0);
            if (!square) continue;
            payload.push_back(static_cast<std::uint8_t>(level));
            PutVarint(payload, 5);
            PutVarint(payload, static_cast<std::uint32_t>(ring[0][0]));
            PutVarint(payload, static_cast<std::uint32_t>(ring[0][1]));
            for (int i = 1; i < 5; ++i) {
                PutVarint(payload, ZigZag(ring[i][0] - ring[i - 1][0]));
                PutVarint(payload, ZigZag(ring[i][1] - ring[i - 1][1]));
            }
        }
        file.push_back(static_cast<std::uint8_t>(letter));
        file.push_back(kBinDegrees);
        file.push_back(0);
        file.push_back(0);
        for (std::uint32_t v : {kSteps, static_cast<std::uint32_t>(columns), static_cast<std::uint32_t>(rows), 1U, 5U,
                                static_cast<std::uint32_t>(payload.size())})
            Put32(file, v);
        for (int bin = 0; bin < columns * rows; ++bin) file.push_back(static_cast<std::uint8_t>(reference));
        for (std::uint32_t o : offsets) Put32(file, o);
        file.insert(file.end(), payload.begin(), payload.end());
    }
    return file;
}

struct Track {
    bool everOnLand = false;
    float maxTurn = 0.0F;  // largest |rate of turn| sent
    float minSpeed = 1e9F;
    double minClearanceKm = 1e9;  // to the nearest shoreline of the data
};

// Steps a vessel as the fleet engine does, one second at a time.
Track Sail(FleetVessel& v, const geo::LandMask& mask, int seconds)
{
    Track track;
    const double hours = 1.0 / 3600.0;
    for (int i = 0; i < seconds; ++i) {
        SteerClearOfLand(v, hours, mask);
        double course = v.course + v.rateOfTurn * (hours * 60.0);
        double lat = 0.0;
        double lon = 0.0;
        VincentyDirect(v.latitude, v.longitude, course, v.speed * 1.852 * hours, lat, lon);
        v.latitude = lat;
        v.longitude = lon;
        v.course = static_cast<float>(course);
        track.everOnLand = track.everOnLand || !mask.IsWater(lat, lon);
        track.maxTurn = std::max(track.maxTurn, std::fabs(v.rateOfTurn));
        track.minSpeed = std::min(track.minSpeed, v.speed);
        track.minClearanceKm = std::min(track.minClearanceKm, mask.ClearanceKm(lat, lon, 1.0));
    }
    return track;
}

FleetVessel Vessel(double lat, double lon, float courseDeg, float knots, int lengthMetres)
{
    FleetVessel v;
    v.latitude = lat;
    v.longitude = lon;
    v.course = courseDeg;
    v.speed = knots;
    v.dims[0] = v.dims[1] = lengthMetres / 2;
    v.steering = kKeepToWater;
    return v;
}

TEST(KeepToWater, RateOfTurnFallsWithLength)
{
    const struct {
        int lengthMetres;
        float degPerMinute;
    } rows[] = {{0, 120.0F}, {30, 120.0F}, {31, 60.0F}, {150, 40.0F}, {250, 25.0F}, {400, 15.0F}};
    for (const auto& row : rows) EXPECT_EQ(KeepClearRateOfTurn(row.lengthMetres), row.degPerMinute) << row.lengthMetres;
}

TEST(KeepToWater, GoesRoundAnIslandAndResumesItsCourse)
{
    // A 2 km island 5 km ahead in open sea.
    const std::vector<std::uint8_t> file = SquareWorld(0, 1, 10.0, 10.0, 0.018);
    const geo::LandData data(file);
    const geo::LandMask mask(data);
    ASSERT_FALSE(mask.IsWater(10.009, 10.009));
    struct Row {
        const char* name;
        int lengthMetres;
        float knots;
    };
    for (const Row& row : {Row{"yacht", 20, 8.0F}, Row{"cargo ship", 180, 15.0F}, Row{"large tanker", 330, 14.0F}}) {
        FleetVessel v = Vessel(9.964, 10.0095, 0.0F, row.knots, row.lengthMetres);
        const Track track = Sail(v, mask, 3600);
        EXPECT_FALSE(track.everOnLand) << row.name;
        EXPECT_EQ(track.maxTurn, KeepClearRateOfTurn(row.lengthMetres)) << row.name;
        EXPECT_GT(v.latitude, 10.03) << row.name << ": passed the island";
        EXPECT_NEAR(std::remainder(v.course, 360.0F), 0.0F, 0.5F) << row.name;
        EXPECT_EQ(v.rateOfTurn, 0.0F) << row.name;
        EXPECT_EQ(v.speed, row.knots) << row.name;
    }
}

TEST(KeepToWater, StopsInAClosedBayRatherThanCrossLand)
{
    struct Row {
        const char* name;
        double sideDeg;
        float finalMaxKnots;
    };
    // A 1.1 km lake leaves room at an eighth of the speed; a 0.5 km one at none.
    for (const Row& row : {Row{"1.1 km lake", 0.01, 18.0F / 8}, Row{"0.5 km lake", 0.0045, 0.0F}}) {
        const std::vector<std::uint8_t> file = SquareWorld(1, 2, 10.0, 10.0, row.sideDeg);
        const geo::LandData data(file);
        const geo::LandMask mask(data);
        FleetVessel v = Vessel(10.0 + row.sideDeg / 2, 10.0 + row.sideDeg / 2, 45.0F, 18.0F, 200);
        const Track track = Sail(v, mask, 3600);
        EXPECT_FALSE(track.everOnLand) << row.name;
        EXPECT_LE(v.speed, row.finalMaxKnots) << row.name;
        EXPECT_GT(v.latitude, 10.0) << row.name;
        EXPECT_LT(v.latitude, 10.0 + row.sideDeg) << row.name;
    }
}

TEST(KeepToWater, NeverSailsOntoTheRealCoast)
{
    const geo::LandMask& mask = geo::LandMask::Builtin();
    // Straight at the Maasvlakte and the Dutch coast from the North Sea, in several headings.
    for (float course : {70.0F, 90.0F, 120.0F, 160.0F}) {
        FleetVessel v = Vessel(51.98, 3.90, course, 20.0F, 300);
        const Track track = Sail(v, mask, 3600);
        EXPECT_FALSE(track.everOnLand) << course;
        EXPECT_GT(track.maxTurn, 0.0F) << course;
    }
}

// The finer coast lies up to 200 m off the data's simplified shorelines: random fleets
// among the Stockholm skerries and in the Scheldt and Maas mouths keep well off them.
TEST(KeepToWater, RandomFleetsKeepOffTheShorelines)
{
    const geo::LandMask& mask = geo::LandMask::Builtin();
    struct Row {
        const char* name;
        FleetArea area;
    };
    for (const Row& row : {Row{"Stockholm archipelago", {59.6, 18.6, 59.9, 19.2}},
                           Row{"Scheldt and Maas mouths", {51.4, 3.4, 52.1, 4.3}}}) {
        Fleet fleet;
        std::unordered_set<std::uint32_t> used;
        AddRandomFleet(fleet, 150, row.area, 7, used);
        int underWay = 0;
        int near = 0;
        double closestKm = 1e9;
        for (FleetVessel& v : fleet.vessels) {
            if (v.speed < 3.0F) continue;  // moored and anchored vessels lie near a coast on purpose
            ++underWay;
            const Track track = Sail(v, mask, 900);
            EXPECT_FALSE(track.everOnLand) << row.name;
            near += track.minClearanceKm < 0.15 ? 1 : 0;
            closestKm = std::min(closestKm, track.minClearanceKm);
        }
        EXPECT_GT(underWay, 100) << row.name;
        EXPECT_EQ(near, 0) << row.name << ": closest " << closestKm << " km";
    }
}

} // namespace


// CPA/TCPA against hand-worked encounters, the target-lost table, and the picture's
// bookkeeping (kinds, names, pruning, the cap on stations).
#include "emulator/traffic/TrafficPicture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct CpaRow {
    const char* name;
    Motion own, target;
    double rangeNm, cpaNm, tcpaMin;
};

// Positions near the equator (or one parallel) so that 1' of arc is 1 NM in both axes.
const CpaRow kCpaRows[] = {
    // 6 NM apart, closing at 20 kn: they meet in 18 minutes.
    {"HeadOn", {0, 0, 10, 0}, {0.1, 0, 10, 180}, 6.0, 0.0, 18.0},
    // Target 5 NM east going west, own going north, both 10 kn: relative (-10, -10) kn,
    // closest after 15 min at (2.5, -2.5) NM.
    {"Crossing", {0, 0, 10, 0}, {0, 5.0 / 60, 10, 270}, 5.0, std::sqrt(12.5), 15.0},
    {"CrossingAt60North", {60, 0, 10, 0}, {60, 5.0 / 30, 10, 270}, 5.0, std::sqrt(12.5), 15.0},
    // Same course and speed: the distance never changes.
    {"Parallel", {0, 0, 10, 90}, {2.0 / 60, 0, 10, 90}, 2.0, 2.0, 0.0},
    // Target 4 E 3 N running north from a still own ship: closest 18 min ago, 4 NM.
    {"Diverging", {0, 0, 0, 0}, {3.0 / 60, 4.0 / 60, 10, 0}, 5.0, 4.0, -18.0},
    // A target of unknown speed stands still; the own ship runs onto it in 15 min.
    {"UnknownSpeedStandsStill", {0, 0, 12, 0}, {3.0 / 60, 0, kNaN, kNaN}, 3.0, 0.0, 15.0},
    {"AcrossTheAntimeridianEastward", {0, 179.95, 0, 0}, {0, -179.95, 6, 270}, 6.0, 0.0, 60.0},
    {"AcrossTheAntimeridianWestward", {0, -179.95, 0, 0}, {0, 179.95, 6, 90}, 6.0, 0.0, 60.0},
};

void PrintTo(const CpaRow& row, std::ostream* os) { *os << row.name; }

class CpaCases : public ::testing::TestWithParam<CpaRow> {};

TEST_P(CpaCases, MatchTheHandWorkedValues)
{
    const CpaRow& row = GetParam();
    const auto result = ComputeCpa(row.own, row.target);
    ASSERT_TRUE(result);
    EXPECT_NEAR(result->rangeNm, row.rangeNm, 2e-3);
    EXPECT_NEAR(result->cpaNm, row.cpaNm, 2e-3);
    EXPECT_NEAR(result->tcpaMin, row.tcpaMin, 1e-2);
}

INSTANTIATE_TEST_SUITE_P(Encounters, CpaCases, ::testing::ValuesIn(kCpaRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Cpa, NeedsBothPositionsOnTheEarth)
{
    EXPECT_FALSE(ComputeCpa({kNaN, 0, 0, 0}, {0, 0, 0, 0}));
    EXPECT_FALSE(ComputeCpa({0, 0, 0, 0}, {91, 0, 0, 0}));
    EXPECT_NEAR(ComputeCpa({0, 0, 0, 0}, {0, -1.0 / 60, 0, 0})->bearingDeg, 270.0, 1e-9);
}

TEST(TargetLost, TimesFollowKindSpeedAndStatus)
{
    struct {
        StationKind kind;
        bool carrierSense;
        std::uint8_t navStatus;
        double knots;
        std::uint32_t seconds;
    } const rows[] = {
        {StationKind::ClassA, false, 1, 2.9, 1080},  {StationKind::ClassA, false, 5, 3.0, 1080},
        {StationKind::ClassA, false, 1, 3.1, 60},    {StationKind::ClassA, false, 0, 0.0, 60},
        {StationKind::ClassA, false, 0, 14.0, 60},   {StationKind::ClassA, false, 0, 14.1, 36},
        {StationKind::ClassA, false, 0, 23.1, 30},   {StationKind::ClassA, false, 0, kNaN, 60},
        {StationKind::ClassB, true, 15, 2.0, 1080},  {StationKind::ClassB, true, 15, 2.1, 180},
        {StationKind::ClassB, true, 15, 30.0, 180},  {StationKind::ClassB, false, 15, 20.0, 90},
        {StationKind::ClassB, false, 15, 30.0, 30},  {StationKind::SarAircraft, false, 15, 200, 60},
        {StationKind::BaseStation, false, 15, kNaN, 60}, {StationKind::AtonVirtual, false, 15, kNaN, 1080},
        {StationKind::Sart, false, 14, 0.5, 1080},
    };
    for (const auto& row : rows)
        EXPECT_EQ(LostAfterS(row.kind, row.carrierSense, row.navStatus, row.knots), row.seconds)
            << StationKindName(row.kind) << " " << row.knots << " kn, status " << int{row.navStatus};
}

template <typename M>
M From(std::uint32_t mmsi, std::uint8_t type, bool own = false)
{
    M m;
    m.mmsi = mmsi;
    m.type = type;
    m.ownShip = own;
    return m;
}

AisPosition At(double lat, double lon) { return {true, lat, lon}; }

TEST(TrafficPicture, KindsNamesAndOwnShipFromMessages)
{
    TrafficPicture picture;
    auto a1 = From<AisPositionReportA>(244000001, 1);
    a1.position = At(52, 4);
    a1.speedKnots = 12.5;
    a1.courseDeg = 90;
    picture.Apply(a1, 1000);
    auto a5 = From<AisStaticVoyageData>(244000001, 5);
    a5.name = "EVER GIVEN";
    a5.callSign = "H3RC";
    a5.destination = "ROTTERDAM";
    picture.Apply(a5, 2000);
    auto sart = From<AisPositionReportA>(244000002, 1);
    sart.navStatus = 14;
    picture.Apply(sart, 2000);
    picture.Apply(From<AisSafetyBroadcast>(972123456, 14), 2000);
    auto aton = From<AisAidToNavigationReport>(992441234, 21);
    aton.virtualAid = true;
    aton.name = "WEST HINDER VIRTUAL BUOY";
    picture.Apply(aton, 2000);
    picture.Apply(From<AisStaticDataA>(244000003, 24), 2000);
    picture.Apply(From<AisSarAircraftReport>(111244000, 9), 2000);
    picture.Apply(From<AisBaseStationReport>(2442000, 4), 2000);
    auto own = From<AisPositionReportA>(244999999, 1, true);
    own.position = At(52, 3.9);
    picture.Apply(own, 2000);
    OwnShipSentence gps;
    gps.speedKnots = 10.0;
    gps.courseDeg = 90.0;
    picture.Apply(gps, 2000);

    ASSERT_EQ(picture.Size(), 7u);  // the own ship is not a target
    const Target& ship = *picture.Find(244000001);
    EXPECT_EQ(ship.kind, StationKind::ClassA);
    EXPECT_EQ(ship.name.View(), "EVER GIVEN");
    EXPECT_EQ(ship.callSign.View(), "H3RC");
    EXPECT_EQ(ship.destination.View(), "ROTTERDAM");
    EXPECT_EQ(ship.lastMessageType, 5);
    EXPECT_EQ(ship.lastHeardMs, 2000);
    EXPECT_EQ(ship.lastPositionMs, 1000);
    EXPECT_DOUBLE_EQ(ship.speedKnots, 12.5);
    EXPECT_EQ(picture.Find(244000002)->kind, StationKind::Sart);
    EXPECT_EQ(picture.Find(972123456)->kind, StationKind::Mob);
    EXPECT_EQ(picture.Find(992441234)->kind, StationKind::AtonVirtual);
    EXPECT_EQ(picture.Find(992441234)->name.View(), "WEST HINDER VIRTUAL BUOY");
    EXPECT_EQ(picture.Find(244000003)->kind, StationKind::ClassB);
    EXPECT_EQ(picture.Find(111244000)->kind, StationKind::SarAircraft);
    EXPECT_EQ(picture.Find(2442000)->kind, StationKind::BaseStation);
    EXPECT_EQ(picture.Own().mmsi, 244999999u);
    EXPECT_DOUBLE_EQ(picture.Own().speedKnots, 10.0);

    // Own ship 0.1 deg of longitude (3.69 NM at 52 N) west, both east-bound, the target
    // 2.5 kn faster: never closer, the closest point was behind.
    const auto cpa = CpaToOwnShip(picture.Own(), ship);
    ASSERT_TRUE(cpa);
    EXPECT_NEAR(cpa->rangeNm, 6.0 * std::cos(52 * std::numbers::pi / 180), 1e-3);
    EXPECT_LT(cpa->tcpaMin, 0);
}

TEST(TrafficPicture, LostAtItsKindsTimeAndPrunedWithoutBreakingTheIndex)
{
    TrafficPicture picture;
    for (std::uint32_t i = 0; i < 10; ++i) {
        auto report = From<AisPositionReportA>(244000000 + i, 1);
        report.position = At(52, 4);
        report.speedKnots = i < 5 ? 20.0 : 10.0;  // lost after 36 s, after 60 s
        picture.Apply(report, 0);
    }
    const Target& fast = *picture.Find(244000000);
    EXPECT_FALSE(IsLost(fast, 36000));
    EXPECT_TRUE(IsLost(fast, 36001));
    EXPECT_EQ(picture.Prune(36000 + 10000, 10000), 0u);
    EXPECT_EQ(picture.Prune(36001 + 10000, 10000), 5u);
    ASSERT_EQ(picture.Size(), 5u);
    for (std::uint32_t i = 5; i < 10; ++i) {
        auto report = From<AisPositionReportA>(244000000 + i, 1);
        report.speedKnots = 1.0;
        picture.Apply(report, 50000);
    }
    // Every survivor was found where it now lives: the table holds the updates.
    ASSERT_EQ(picture.Size(), 5u);
    for (const Target& t : picture.Targets()) EXPECT_DOUBLE_EQ(t.speedKnots, 1.0) << t.mmsi;
    EXPECT_EQ(picture.Find(244000000), nullptr);
}

TEST(TrafficPicture, StationsBeyondTheCapAreCountedNotKept)
{
    TrafficPicture picture(3);
    for (std::uint32_t i = 0; i < 10; ++i) picture.Apply(From<AisStaticDataA>(i + 1, 24), 0);
    EXPECT_EQ(picture.Size(), 3u);
    EXPECT_EQ(picture.LeftOut(), 7u);
}

} // namespace

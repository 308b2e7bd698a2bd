#include "emulator/scenario/Encounter.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

constexpr double kMetresPerNm = 1852.0;
constexpr double kMpsPerKnot = kMetresPerNm / 3600.0;

double Wrap180(double deg)
{
    double d = std::remainder(deg, 360.0);
    return d <= -180.0 ? d + 360.0 : d;
}

struct Sailed {
    double cpaNm;
    double tcpaS;
    double startBearingDeg;  // relative to the own course, -180 to 180
    double sideAtCpa;        // > 0: target to starboard of the own ship at the CPA
};

// Both vessels sailed straight on the ellipsoid, second by second, by GeographicLib.
Sailed Sail(const OwnShipStart& own, const EncounterPlacement& target, double targetKnots, double horizonS)
{
    const auto& earth = GeographicLib::Geodesic::WGS84();
    const GeographicLib::GeodesicLine ownLine(earth, own.latDeg, own.lonDeg, own.courseDeg);
    const GeographicLib::GeodesicLine targetLine(earth, target.latDeg, target.lonDeg, target.courseDeg);
    Sailed result{1e9, 0, 0, 0};
    for (double t = 0; t <= horizonS; t += 1.0) {
        double lat1, lon1, azi1, lat2, lon2, azi2, metres, toward, arrive;
        ownLine.Position(own.speedKnots * kMpsPerKnot * t, lat1, lon1, azi1);
        targetLine.Position(targetKnots * kMpsPerKnot * t, lat2, lon2, azi2);
        earth.Inverse(lat1, lon1, lat2, lon2, metres, toward, arrive);
        if (t == 0) result.startBearingDeg = Wrap180(toward - own.courseDeg);
        if (metres / kMetresPerNm < result.cpaNm) {
            result.cpaNm = metres / kMetresPerNm;
            result.tcpaS = t;
            result.sideAtCpa = std::sin((toward - azi1) * M_PI / 180.0);
        }
    }
    return result;
}

// The start bearings the kinds demand.
bool BearingFits(EncounterKind kind, double bearingDeg)
{
    const double b = std::fabs(bearingDeg);
    switch (kind) {
    case EncounterKind::HeadOn: return b <= 5.0;
    case EncounterKind::CrossingStarboard: return bearingDeg >= 5.0 && bearingDeg <= 112.5;
    case EncounterKind::CrossingPort: return bearingDeg <= -5.0 && bearingDeg >= -112.5;
    case EncounterKind::Overtaking: return b > 112.5;
    case EncounterKind::Overtaken: return b < 67.5;
    }
    return false;
}

struct Situation {
    const char* name;
    EncounterKind kind;
    double ownKnots;
    double targetKnots;
};

const Situation kSituations[] = {
    {"head-on 12/10", EncounterKind::HeadOn, 12, 10},
    {"head-on 6/18", EncounterKind::HeadOn, 6, 18},
    {"crossing-starboard 12/10", EncounterKind::CrossingStarboard, 12, 10},
    {"crossing-starboard 8/20", EncounterKind::CrossingStarboard, 8, 20},
    {"crossing-port 12/10", EncounterKind::CrossingPort, 12, 10},
    {"crossing-port 15/6", EncounterKind::CrossingPort, 15, 6},
    {"overtaking 10/16", EncounterKind::Overtaking, 10, 16},
    {"overtaking 0/5 (own ship stopped)", EncounterKind::Overtaking, 0, 5},
    {"overtaken 14/8", EncounterKind::Overtaken, 14, 8},
    {"overtaken 20/0 (target stopped)", EncounterKind::Overtaken, 20, 0},
};

const struct {
    double latDeg, lonDeg, courseDeg;
} kOwnStarts[] = {{51.9, 3.5, 90}, {-0.2, 179.95, 0}, {64.0, -20.0, 225}};

constexpr double kCpasNm[] = {0.0, 0.3, 1.0, 2.0};
constexpr double kTcpasMin[] = {3.0, 12.0, 30.0};

// Some requests cannot be met from a kind's bearings: a head-on target passing 2 NM off
// while closing only 1 NM in 3 minutes cannot start within 5 degrees of the bow. Those
// must be refused with a reason; everything placed must hold when sailed.
TEST(Encounter, PlacedTargetsMeetTheirCpaTcpaAndBearingWhenSailed)
{
    int placed = 0, refused = 0;
    for (const Situation& s : kSituations)
        for (const auto& start : kOwnStarts)
            for (const double cpa : kCpasNm)
                for (const double tcpa : kTcpasMin) {
                    const OwnShipStart own{start.latDeg, start.lonDeg, start.courseDeg, s.ownKnots};
                    const EncounterRequest request{s.kind, cpa, tcpa, s.targetKnots, std::nullopt};
                    const std::string row = std::string(s.name) + ", cpa " + std::to_string(cpa) + " NM, tcpa " +
                                            std::to_string(tcpa) + " min, own course " + std::to_string(start.courseDeg);
                    std::string reason;
                    const auto placement = PlaceEncounter(own, request, reason);
                    if (!placement) {
                        ++refused;
                        EXPECT_NE(reason.find("cannot be built"), std::string::npos) << row << ": " << reason;
                        // Only a CPA that is large against the distance closed may be refused.
                        const double closingNm = (s.ownKnots + s.targetKnots) * tcpa / 60.0;
                        EXPECT_GT(cpa, 0.1 * closingNm) << row << ": " << reason;
                        continue;
                    }
                    ++placed;
                    const Sailed got = Sail(own, *placement, s.targetKnots, 2 * tcpa * 60 + 120);
                    EXPECT_NEAR(got.cpaNm, cpa, 0.05) << row;
                    EXPECT_NEAR(got.tcpaS, tcpa * 60, 15) << row;
                    EXPECT_TRUE(BearingFits(s.kind, got.startBearingDeg)) << row << ": bearing " << got.startBearingDeg;
                    EXPECT_NEAR(Wrap180(placement->bearingDeg - got.startBearingDeg), 0.0, 0.01) << row;
                    if (cpa >= 0.3) {
                        const bool starboard = placement->side == PassingSide::Starboard;
                        EXPECT_EQ(got.sideAtCpa > 0, starboard) << row;
                    }
                }
    // Most of the table is buildable; the refusals are the corner of large CPAs at short times.
    EXPECT_GT(placed, 5 * refused) << placed << " placed, " << refused << " refused";
}

TEST(Encounter, SideTakesTheOtherSideWhenAsked)
{
    const OwnShipStart own{51.9, 3.5, 90, 12};
    for (const auto kind : {EncounterKind::HeadOn, EncounterKind::Overtaking, EncounterKind::CrossingStarboard}) {
        for (const auto side : {PassingSide::Port, PassingSide::Starboard}) {
            std::string reason;
            const auto placement = PlaceEncounter(own, {kind, 0.5, 15, 16, side}, reason);
            ASSERT_TRUE(placement) << EncounterKindName(kind) << ": " << reason;
            const Sailed got = Sail(own, *placement, 16, 2000);
            EXPECT_EQ(got.sideAtCpa > 0, side == PassingSide::Starboard) << EncounterKindName(kind);
            EXPECT_NEAR(got.cpaNm, 0.5, 0.05) << EncounterKindName(kind);
        }
    }
}

TEST(Encounter, ImpossibleRequestsAreRefusedWithTheReason)
{
    const struct {
        const char* name;
        EncounterKind kind;
        double ownKnots, targetKnots, cpaNm, tcpaMin;
        const char* reason;
    } rows[] = {
        {"overtaking target slower", EncounterKind::Overtaking, 12, 10, 0.5, 10, "must be faster than the own ship"},
        {"overtaking target as fast", EncounterKind::Overtaking, 12, 12, 0.5, 10, "must be faster than the own ship"},
        {"overtaken target faster", EncounterKind::Overtaken, 12, 14, 0.5, 10, "must be slower than the own ship"},
        {"overtaken with own ship stopped", EncounterKind::Overtaken, 0, 0, 0.5, 10, "must be slower than the own ship"},
        {"head-on target stopped", EncounterKind::HeadOn, 12, 0, 0.5, 10, "needs a sog above 0"},
        {"crossing target stopped", EncounterKind::CrossingPort, 12, 0, 0.5, 10, "needs a sog above 0"},
        {"CPA beyond what the target covers", EncounterKind::HeadOn, 10, 10, 5, 3, "cannot be built"},
        {"crossing CPA far beyond the closing", EncounterKind::CrossingStarboard, 2, 2, 20, 3, "cannot be built"},
        {"negative CPA", EncounterKind::HeadOn, 10, 10, -0.1, 10, "cpa-nm -0.1 is out of range"},
        {"zero TCPA", EncounterKind::HeadOn, 10, 10, 0.5, 0, "tcpa-min 0 is out of range"},
        {"TCPA beyond a day", EncounterKind::HeadOn, 10, 10, 0.5, 2000, "tcpa-min 2000 is out of range"},
    };
    for (const auto& row : rows) {
        std::string reason;
        const auto placement = PlaceEncounter({51.9, 3.5, 90, row.ownKnots}, {row.kind, row.cpaNm, row.tcpaMin, row.targetKnots, {}}, reason);
        EXPECT_FALSE(placement) << row.name;
        EXPECT_NE(reason.find(row.reason), std::string::npos) << row.name << ": " << reason;
    }
}

} // namespace

#include "emulator/scenario/Gpx.h"
#include "emulator/scenario/IsoTime.h"
#include "emulator/scenario/Route.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr double kMpsPerKnot = 1852.0 / 3600.0;
constexpr double kStepS = 0.5;

const GeographicLib::Geodesic& Earth()
{
    return GeographicLib::Geodesic::WGS84();
}

double DistanceM(double lat1, double lon1, double lat2, double lon2)
{
    double metres = 0;
    Earth().Inverse(lat1, lon1, lat2, lon2, metres);
    return metres;
}

struct Sample {
    double t;
    RoutePose pose;
};

std::vector<Sample> SailRoute(const Route& route, double seconds)
{
    std::vector<Sample> track;
    RouteState state;
    track.push_back({0, route.PoseAt(state)});
    for (double t = kStepS; t <= seconds; t += kStepS) track.push_back({t, Advance(route, state, kStepS)});
    return track;
}

struct Visit {
    std::size_t waypoint;
    double atS;
};

// The waypoints in sailing order and the times the legs' lengths (GeographicLib) and
// the given speeds make.
std::vector<Visit> Schedule(const RoutePlan& plan, const std::vector<std::size_t>& order,
                            const std::vector<double>& knotsPerLeg)
{
    std::vector<Visit> visits{{order[0], 0.0}};
    for (std::size_t k = 1; k < order.size(); ++k) {
        const RouteWaypoint& a = plan.waypoints[order[k - 1]];
        const RouteWaypoint& b = plan.waypoints[order[k]];
        visits.push_back({order[k], visits.back().atS + DistanceM(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg) /
                                                          (knotsPerLeg[k - 1] * kMpsPerKnot)});
    }
    return visits;
}

// Each visit: the track passes within 50 m of the waypoint, closest within 2 s per leg
// sailed of the scheduled time.
void ExpectVisits(const std::vector<Sample>& track, const RoutePlan& plan, const std::vector<Visit>& visits,
                  const std::string& name)
{
    for (std::size_t k = 0; k < visits.size(); ++k) {
        const RouteWaypoint& w = plan.waypoints[visits[k].waypoint];
        const double slackS = 2.0 * static_cast<double>(std::max<std::size_t>(k, 1));
        double bestM = 1e12, bestT = -1;
        for (const Sample& s : track) {
            if (std::fabs(s.t - visits[k].atS) > slackS + 20) continue;
            const double m = DistanceM(s.pose.latDeg, s.pose.lonDeg, w.latDeg, w.lonDeg);
            if (m < bestM) {
                bestM = m;
                bestT = s.t;
            }
        }
        EXPECT_LT(bestM, 50.0) << name << ", visit " << k << " (waypoint " << visits[k].waypoint << ")";
        EXPECT_NEAR(bestT, visits[k].atS, slackS) << name << ", visit " << k << " (waypoint " << visits[k].waypoint << ")";
    }
}

// No jumps where arcs meet legs, and the course turns the way the rate of turn says.
void ExpectSmooth(const std::vector<Sample>& track, double fastestKnots, const std::string& name)
{
    for (std::size_t i = 1; i < track.size(); ++i) {
        const RoutePose& a = track[i - 1].pose;
        const RoutePose& b = track[i].pose;
        const double stepM = DistanceM(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg);
        ASSERT_LE(stepM, fastestKnots * kMpsPerKnot * kStepS + 0.05) << name << " at " << track[i].t << " s";
        const double turned = std::remainder(b.courseDeg - a.courseDeg, 360.0);
        if (std::fabs(turned) > 179.0) continue;  // on the spot, at a reversal
        ASSERT_LT(std::fabs(turned), 30.0) << name << " at " << track[i].t << " s";
        if (std::fabs(turned) > 0.5 && std::fabs(b.rateOfTurnDegPerMin) > 0) {
            EXPECT_EQ(turned > 0, b.rateOfTurnDegPerMin > 0) << name << " at " << track[i].t << " s";
        }
    }
}

RoutePlan Plan(std::vector<std::pair<double, double>> points, std::vector<double> sogs, RouteEnd end)
{
    RoutePlan plan;
    plan.end = end;
    for (std::size_t i = 0; i < points.size(); ++i) {
        RouteWaypoint w;
        w.latDeg = points[i].first;
        w.lonDeg = points[i].second;
        if (i < sogs.size() && sogs[i] > 0) w.sogKnots = sogs[i];
        w.where = "waypoints[" + std::to_string(i) + "]";
        plan.waypoints.push_back(w);
    }
    return plan;
}

struct RouteRow {
    const char* name;
    RoutePlan plan;
    std::vector<std::size_t> order;     // waypoints in the order sailed
    std::vector<double> knotsPerLeg;    // between consecutive entries of `order`
};

TEST(Route, PassesEachWaypointWhenTheLegSpeedsSay)
{
    const RouteRow rows[] = {
        {"stop: turns of about 30, 90 and 150 degrees at 8, 12, 5, 9 knots",
         Plan({{51.90, 3.50}, {51.93, 3.55}, {51.96, 3.58}, {51.98, 3.52}, {51.94, 3.55}}, {8, 12, 5, 9}, RouteEnd::Stop),
         {0, 1, 2, 3, 4}, {8, 12, 5, 9}},
        {"loop of a quadrilateral, twice round; the closing leg at the last waypoint's sog",
         Plan({{51.90, 3.50}, {51.90, 3.56}, {51.94, 3.57}, {51.94, 3.49}}, {10, 14, 0, 6}, RouteEnd::Loop),
         {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}, {10, 14, 14, 6, 10, 14, 14, 6, 10}},
        {"reverse: there and back twice, the way back at the way out's speeds",
         Plan({{-33.80, 151.30}, {-33.82, 151.36}, {-33.78, 151.40}}, {7, 11}, RouteEnd::Reverse),
         {0, 1, 2, 1, 0, 1, 2, 1, 0}, {7, 11, 11, 7, 7, 11, 11, 7}},
        {"loop across the 180th meridian at 60 N",
         Plan({{60.0, 179.9}, {60.05, -179.9}, {60.1, 179.95}}, {20}, RouteEnd::Loop),
         {0, 1, 2, 0, 1}, {20, 20, 20, 20}},
        {"a closed loop (last point on the first) does not stop at the seam",
         Plan({{10.0, -60.0}, {10.05, -60.0}, {10.05, -59.95}, {10.0, -60.0}}, {12}, RouteEnd::Loop),
         {0, 1, 2, 0, 1, 2}, {12, 12, 12, 12, 12}},
    };
    for (const RouteRow& row : rows) {
        std::string error;
        const std::optional<Route> route = Route::Build(row.plan, 0.0, error);
        ASSERT_TRUE(route) << row.name << ": " << error;
        const std::vector<Visit> visits = Schedule(row.plan, row.order, row.knotsPerLeg);
        const std::vector<Sample> track = SailRoute(*route, visits.back().atS + 120);
        ExpectVisits(track, row.plan, visits, row.name);
        ExpectSmooth(track, 20.0, row.name);
    }
}

TEST(Route, StopEndsAtTheLastWaypointAtRest)
{
    const RoutePlan plan = Plan({{51.90, 3.50}, {51.91, 3.50}, {51.91, 3.52}}, {10, 10}, RouteEnd::Stop);
    std::string error;
    const auto route = Route::Build(plan, 0.0, error);
    ASSERT_TRUE(route) << error;
    RouteState state;
    const RoutePose pose = Advance(*route, state, 3600);
    EXPECT_TRUE(pose.finished);
    EXPECT_EQ(pose.speedKnots, 0.0);
    EXPECT_LT(DistanceM(pose.latDeg, pose.lonDeg, 51.91, 3.52), 0.01);
    EXPECT_NEAR(pose.courseDeg, 90.0, 0.1);
    EXPECT_TRUE(Advance(*route, state, 1).finished);
}

TEST(Route, OneLongJumpLandsWhereManyStepsDo)
{
    const RoutePlan plan = Plan({{51.90, 3.50}, {51.90, 3.56}, {51.94, 3.57}}, {10, 14, 8}, RouteEnd::Loop);
    std::string error;
    const auto route = Route::Build(plan, 0.0, error);
    ASSERT_TRUE(route) << error;
    RouteState jumped, stepped;
    const RoutePose far = Advance(*route, jumped, 1e6 + 0.25);
    RoutePose near;
    for (int i = 0; i < 10000; ++i) near = Advance(*route, stepped, 100);
    near = Advance(*route, stepped, 0.25);
    EXPECT_LT(DistanceM(far.latDeg, far.lonDeg, near.latDeg, near.lonDeg), 0.5);
    // Time that does not run (a zero, negative or broken step) leaves the vessel where it is.
    const RoutePose still = Advance(*route, stepped, -5);
    EXPECT_LT(DistanceM(still.latDeg, still.lonDeg, near.latDeg, near.lonDeg), 1e-6);
    const RoutePose nan = Advance(*route, stepped, std::nan(""));
    EXPECT_LT(DistanceM(nan.latDeg, nan.lonDeg, near.latDeg, near.lonDeg), 1e-6);
}

TEST(Route, TurnsAreAsTightAsTheyMustBeAndNoTighter)
{
    // A gentle 20-degree turn at 10 knots keeps the radius a 30 degree/min turn gives.
    const RoutePlan gentle = Plan({{0.0, 0.0}, {0.1, 0.0}, {0.2, 0.0364}}, {10, 10}, RouteEnd::Stop);
    std::string error;
    const auto route = Route::Build(gentle, 0.0, error);
    ASSERT_TRUE(route) << error;
    double strongest = 0;
    for (const Sample& s : SailRoute(*route, 7200)) strongest = std::max(strongest, std::fabs(s.pose.rateOfTurnDegPerMin));
    // The arc is shorter than the corner and sailed in the same time, so a little slower
    // and turning a little slower than 30 degrees a minute.
    EXPECT_GT(strongest, 25.0);
    EXPECT_LE(strongest, 30.0);
}

TEST(Route, LegSpeedsFromTimes)
{
    RoutePlan plan = Plan({{51.90, 3.50}, {51.92, 3.50}, {51.92, 3.55}, {51.95, 3.55}}, {}, RouteEnd::Stop);
    const char* times[] = {"2024-05-01T12:00:00Z", "2024-05-01T12:10:00Z", "2024-05-01T14:20:00+02:00",
                           "2024-05-01T12:31:30.5Z"};
    for (std::size_t i = 0; i < 4; ++i) plan.waypoints[i].timeS = ParseIsoTime(times[i]);
    std::string error;
    const auto route = Route::Build(plan, 0.0, error);
    ASSERT_TRUE(route) << error;
    const double secondsPerLeg[] = {600, 600, 690.5};
    std::vector<double> knots;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& a = plan.waypoints[i];
        const auto& b = plan.waypoints[i + 1];
        knots.push_back(DistanceM(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg) / secondsPerLeg[i] / kMpsPerKnot);
        EXPECT_NEAR(route->LegSpeedsKnots()[i], knots.back(), 1e-9);
    }
    const auto visits = Schedule(plan, {0, 1, 2, 3}, knots);
    EXPECT_NEAR(visits.back().atS, 1890.5, 1e-6);
    ExpectVisits(SailRoute(*route, 2000), plan, visits, "timed legs");
}

TEST(Route, BadRoutesAreRefusedNamingTheWaypoint)
{
    const auto timed = [](RoutePlan plan, std::vector<const char*> times) {
        for (std::size_t i = 0; i < times.size(); ++i)
            if (times[i] != nullptr) plan.waypoints[i].timeS = ParseIsoTime(times[i]);
        return plan;
    };
    const struct {
        const char* name;
        RoutePlan plan;
        double fallbackKnots;
        const char* error;
    } rows[] = {
        {"one waypoint", Plan({{1, 1}}, {5}, RouteEnd::Stop), 0, "a route needs at least two waypoints"},
        {"no speed anywhere", Plan({{1, 1}, {1.1, 1}}, {}, RouteEnd::Stop), 0, "waypoints[0]: the first leg has no speed"},
        {"same point twice", Plan({{1, 1}, {1, 1.000001}}, {5}, RouteEnd::Stop), 0, "waypoints[1]: is the same point"},
        {"time going backwards",
         timed(Plan({{1, 1}, {1.1, 1}}, {}, RouteEnd::Stop), {"2024-01-01T10:00:00Z", "2024-01-01T09:00:00Z"}), 5,
         "waypoints[1]: its time is not later"},
        {"times making 400 knots",
         timed(Plan({{1, 1}, {2, 1}}, {}, RouteEnd::Stop), {"2024-01-01T10:00:00Z", "2024-01-01T10:09:00Z"}), 5,
         "waypoints[1]: the times make the leg to it"},
    };
    for (const auto& row : rows) {
        std::string error;
        EXPECT_FALSE(Route::Build(row.plan, row.fallbackKnots, error)) << row.name;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.name << ": " << error;
    }
}

TEST(IsoTime, ReadsWhatGpxWritesAndNothingElse)
{
    const struct {
        const char* text;
        std::optional<double> seconds;
    } rows[] = {
        {"1970-01-01T00:00:00Z", 0.0},
        {"2024-02-29T23:59:59Z", 1709251199.0},
        {"2024-05-01T14:00:00+02:00", 1714564800.0},
        {"2024-05-01T07:30:00-0430", 1714564800.0},
        {"2024-05-01T12:00:00.250Z", 1714564800.25},
        {"2024-05-01T12:00:00", 1714564800.0},
        {"2023-02-29T00:00:00Z", std::nullopt},
        {"2024-13-01T00:00:00Z", std::nullopt},
        {"2024-05-01 12:00:00Z", std::nullopt},
        {"2024-05-01T24:00:00Z", std::nullopt},
        {"2024-05-01T12:00:00.Z", std::nullopt},
        {"2024-05-01T12:00:00Zjunk", std::nullopt},
        {"yesterday", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& row : rows) {
        const auto got = ParseIsoTime(row.text);
        EXPECT_EQ(got.has_value(), row.seconds.has_value()) << row.text;
        if (got && row.seconds) {
            EXPECT_DOUBLE_EQ(*got, *row.seconds) << row.text;
        }
    }
}

const char* const kGpxTrack = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <trk><name>other</name><trkseg><trkpt lat="0" lon="0"><time>2024-01-01T00:00:00Z</time></trkpt>
    <trkpt lat="0" lon="1"><time>2024-01-01T01:00:00Z</time></trkpt></trkseg></trk>
  <trk><name>harbour run</name>
    <trkseg>
      <trkpt lat="51.9000" lon="3.5000"><time>2024-05-01T12:00:00Z</time></trkpt>
      <trkpt lat="51.9100" lon="3.5000"><time>2024-05-01T12:05:00Z</time></trkpt>
      <trkpt lat="51.9100000001" lon="3.5000"><time>2024-05-01T12:07:00Z</time></trkpt>
    </trkseg>
    <trkseg>
      <trkpt lat="51.9100" lon="3.5200"><time>2024-05-01T12:15:00Z</time></trkpt>
      <trkpt lat="51.9300" lon="3.5300"><time>2024-05-01T12:30:00Z</time></trkpt>
    </trkseg>
  </trk>
</gpx>
)";

TEST(Gpx, TrackSpeedsComeFromItsTimes)
{
    RoutePlan plan;
    std::string error;
    ASSERT_TRUE(ParseGpxRoute(kGpxTrack, "run.gpx", "harbour run", plan, error)) << error;
    // The point logged at rest (within a metre of the one before) is left out; its time
    // goes into the next leg.
    ASSERT_EQ(plan.waypoints.size(), 4U);
    EXPECT_EQ(plan.waypoints[2].where, "run.gpx line 12, trkpt 4");
    const auto route = Route::Build(plan, 0.0, error);
    ASSERT_TRUE(route) << error;
    const double seconds[] = {300, 600, 900};
    std::vector<double> knots;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto& a = plan.waypoints[i];
        const auto& b = plan.waypoints[i + 1];
        knots.push_back(DistanceM(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg) / seconds[i] / kMpsPerKnot);
        EXPECT_NEAR(route->LegSpeedsKnots()[i], knots.back(), 1e-6) << "leg " << i;
    }
    const auto visits = Schedule(plan, {0, 1, 2, 3}, knots);
    EXPECT_NEAR(visits.back().atS, 1800, 1e-6);
    ExpectVisits(SailRoute(*route, 1900), plan, visits, "GPX track");
}

TEST(Gpx, RouteWithoutTimesTakesTheFallbackSpeed)
{
    const char* text = R"(<gpx version="1.1"><rte><rtept lat="51.9" lon="3.5"/><rtept lat="51.95" lon="3.5"/>
        <rtept lat="51.95" lon="3.6"/></rte></gpx>)";
    RoutePlan plan;
    std::string error;
    ASSERT_TRUE(ParseGpxRoute(text, "r.gpx", "", plan, error)) << error;
    ASSERT_EQ(plan.waypoints.size(), 3U);
    const auto route = Route::Build(plan, 9.0, error);
    ASSERT_TRUE(route) << error;
    EXPECT_EQ(route->LegSpeedsKnots(), (std::vector<double>{9.0, 9.0}));
}

TEST(Gpx, BadFilesNameLineElementAndReason)
{
    const struct {
        const char* name;
        const char* text;
        const char* error;
    } rows[] = {
        {"not XML", "<gpx><rte>", "bad.gpx line 1: not well-formed XML"},
        {"not GPX", "<kml/>", "bad.gpx: not a GPX file (the root element is <kml>"},
        {"nothing to sail", "<gpx version=\"1.1\"><wpt lat=\"1\" lon=\"1\"/></gpx>", "has no route (rte) or track (trk)"},
        {"latitude missing", "<gpx>\n<rte>\n<rtept lon=\"1\"/></rte></gpx>", "bad.gpx line 3, rtept 1: lat is missing"},
        {"latitude out of range", "<gpx><rte><rtept lat=\"1\" lon=\"1\"/><rtept lat=\"91\" lon=\"1\"/></rte></gpx>",
         "bad.gpx line 1, rtept 2: lat 91 is out of range"},
        {"longitude not a number", "<gpx><rte><rtept lat=\"1\" lon=\"1e\"/></rte></gpx>", "lon \"1e\" is not a number"},
        {"bad time", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"1\"><time>noon</time></trkpt></trkseg></trk></gpx>",
         "trkpt 1: <time> \"noon\" is not an ISO 8601 time"},
        {"one point", "<gpx><rte><rtept lat=\"1\" lon=\"1\"/></rte></gpx>", "the route has 1 distinct point(s)"},
        {"name not there", kGpxTrack, "has no route or track named \"nope\""},
    };
    for (const auto& row : rows) {
        RoutePlan plan;
        std::string error;
        EXPECT_FALSE(ParseGpxRoute(row.text, "bad.gpx", std::string(row.name) == "name not there" ? "nope" : "", plan, error))
            << row.name;
        EXPECT_NE(error.find(row.error), std::string::npos) << row.name << ": " << error;
    }
    RoutePlan plan;
    std::string error;
    EXPECT_FALSE(ReadGpxRoute("/nonexistent/route.gpx", "", plan, error));
    EXPECT_EQ(error, "/nonexistent/route.gpx: cannot be opened");
}

} // namespace

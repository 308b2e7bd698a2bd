#pragma once

// A route: waypoints sailed leg by leg along geodesics of the WGS-84 ellipsoid, with a
// turn at each waypoint. The route is built once and shared; each vessel that sails it
// keeps only a small RouteState, and the engine calls Advance once per step.
//
// Turns cut the corner: the vessel leaves the leg before the waypoint and sails a
// circular arc tangent to both legs, whose middle passes within kRoutePassM of the
// waypoint. The radius is what a rate of turn of kRouteTurnRateDegPerMin gives at the
// slower leg's speed, reduced where that arc would pass farther from the waypoint or
// would not fit into half of either leg. Time is kept along the legs as drawn: the
// vessel is abeam of each waypoint (the middle of the arc) exactly when the leg
// lengths and speeds say, and it slows down on the arc, where its path is shorter than
// the corner. A turn back onto the leg it came along (the ends of a `reverse` route, or
// any turn of 179 degrees or more) is made on the spot at the waypoint.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class RouteEnd : std::uint8_t {
    Stop,    // stays at the last waypoint, speed 0
    Loop,    // from the last waypoint back to the first, and round again
    Reverse, // back along the route to the first waypoint, and so on
};

struct RouteWaypoint {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    std::optional<double> sogKnots;  // speed of the leg that starts here
    std::optional<double> timeS;     // seconds since 1970 (only differences count)
    std::string where;               // where the file gives it, for messages
};

struct RoutePlan {
    std::vector<RouteWaypoint> waypoints;
    RouteEnd end = RouteEnd::Stop;
    std::string where;  // where the route is given, for faults of the whole route
};

constexpr double kRoutePassM = 40.0;              // the arc's middle is this close to the waypoint, at most
constexpr double kRouteTurnRateDegPerMin = 30.0;  // a ship's ordinary rate of turn
constexpr double kRouteMinLegM = 1.0;             // waypoints closer than this are one point
constexpr double kRouteMaxSogKnots = 102.2;       // the most an AIS position report carries

struct RoutePose {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double courseDeg = 0.0;       // 0 to 360
    double speedKnots = 0.0;
    double rateOfTurnDegPerMin = 0.0;  // starboard positive
    bool finished = false;        // a `stop` route has ended
};

// Where one vessel is on its route: 16 bytes.
struct RouteState {
    std::uint32_t pass = 0;          // index of the leg being sailed, in sailing order
    double secondsIntoPass = 0.0;
};

class Route {
public:
    // Builds a route. Leg speeds come from the waypoint's sog, else from the times of
    // the waypoint and the next, else the previous leg's speed; the first leg falls back
    // on `fallbackSogKnots` (the station's vessel-sog). Nothing and `error` set
    // ("<where>: <reason>", the waypoint's or the route's where) on a fault.
    static std::optional<Route> Build(const RoutePlan& plan, double fallbackSogKnots, std::string& error);

    // Moves the vessel on by `seconds` of simulated time and says where it is.
    RoutePose Advance(RouteState& state, double seconds) const;
    RoutePose PoseAt(const RouteState& state) const;

    RouteEnd End() const { return m_end; }
    // Speeds of the legs from each waypoint (the closing leg of a loop last), knots.
    const std::vector<double>& LegSpeedsKnots() const { return m_legSpeedsKnots; }

    struct Turn {
        double latDeg, lonDeg;  // the waypoint
        double reachM;          // the arc starts this far before the waypoint and ends this far after
        double radiusM;
        double courseInDeg;     // of the incoming leg at the waypoint
        double turnDeg;         // signed, starboard positive
    };
    struct Pass {
        double startLatDeg, startLonDeg, startAzimuthDeg;  // the geodesic of the leg
        double endAzimuthDeg;
        double lengthM;
        double speedMps;
        double durationS;
        std::int32_t turnIn = -1;   // turn at the start (its second half is sailed here)
        std::int32_t turnOut = -1;  // turn at the end (its first half is sailed here)
    };

private:
    Route() = default;
    RoutePose PassPose(const Pass& pass, double seconds) const;

    std::vector<Pass> m_passes;
    std::vector<Turn> m_turns;
    std::uint32_t m_cycleStart = 0;
    bool m_cycles = false;
    double m_cycleSeconds = 0.0;
    RouteEnd m_end = RouteEnd::Stop;
    std::vector<double> m_legSpeedsKnots;
};

// The engine's call, once per step for a vessel on a route.
inline RoutePose Advance(const Route& route, RouteState& state, double seconds)
{
    return route.Advance(state, seconds);
}

// Where a vessel is on a turn's arc: `fraction` 0 at its start, 0.5 abeam of the
// waypoint, 1 at its end; `legSpeedMps` is the speed along the legs.
RoutePose TurnPose(const Route::Turn& turn, double fraction, double legSpeedMps);
// The turn at a waypoint between a leg ending with azimuth `inDeg` and one starting with
// `outDeg` at the slower speed `speedMps`; nothing when the vessel goes straight on or
// turns on the spot. `roomM` is the shorter leg's length.
std::optional<Route::Turn> MakeTurn(double latDeg, double lonDeg, double inDeg, double outDeg, double speedMps,
                                    double roomM);

// The arc of a turn at a waypoint. It is drawn in the azimuthal equidistant plane
// centred on the waypoint, where both legs (geodesics through the centre) are straight
// lines and distances from the waypoint are true, so the arc meets the legs exactly and
// passes the waypoint at the distance drawn.

#include "emulator/scenario/Route.h"

#include <GeographicLib/AzimuthalEquidistant.hpp>
#include <GeographicLib/Geodesic.hpp>

#include <cmath>
#include <numbers>

namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kMpsPerKnot = 1852.0 / 3600.0;
constexpr double kStraightOnDeg = 1e-6;  // below this the legs are one line
constexpr double kOnTheSpotDeg = 179.0;  // from here on no arc fits near the waypoint
constexpr double kCentreM = 1e-6;        // closer to the waypoint than this, the plane's north is true north

double Wrap180(double deg)
{
    double wrapped = std::remainder(deg, 360.0);
    if (wrapped <= -180.0) wrapped += 360.0;
    return wrapped;
}

} // namespace

std::optional<Route::Turn> MakeTurn(double latDeg, double lonDeg, double inDeg, double outDeg, double speedMps,
                                    double roomM)
{
    const double turnDeg = Wrap180(outDeg - inDeg);
    const double half = std::fabs(turnDeg) / 2.0 / kDegPerRad;
    if (std::fabs(turnDeg) < kStraightOnDeg || std::fabs(turnDeg) >= kOnTheSpotDeg) return std::nullopt;
    const double byRate = speedMps / (kRouteTurnRateDegPerMin / kDegPerRad / kSecondsPerMinute);
    // The middle of the arc lies radius * (1 / cos(half) - 1) from the waypoint.
    const double byPass = kRoutePassM * std::cos(half) / (1.0 - std::cos(half));
    const double byRoom = 0.5 * roomM / std::tan(half);
    const double radiusM = std::fmin(byRate, std::fmin(byPass, byRoom));
    return Route::Turn{latDeg, lonDeg, radiusM * std::tan(half), radiusM, inDeg, turnDeg};
}

RoutePose TurnPose(const Route::Turn& turn, double fraction, double legSpeedMps)
{
    const double side = turn.turnDeg > 0.0 ? 1.0 : -1.0;
    const double inRad = turn.courseInDeg / kDegPerRad;
    // x east, y north; the starboard normal of a heading h is (cos h, -sin h).
    const double entryX = -turn.reachM * std::sin(inRad);
    const double entryY = -turn.reachM * std::cos(inRad);
    const double centreX = entryX + side * turn.radiusM * std::cos(inRad);
    const double centreY = entryY - side * turn.radiusM * std::sin(inRad);
    const double swept = fraction * std::fabs(turn.turnDeg);
    const double headingDeg = turn.courseInDeg + side * swept;
    const double headingRad = headingDeg / kDegPerRad;
    const double x = centreX - side * turn.radiusM * std::cos(headingRad);
    const double y = centreY + side * turn.radiusM * std::sin(headingRad);

    RoutePose pose;
    double azimuthDeg = 0.0;
    double scale = 1.0;
    const GeographicLib::AzimuthalEquidistant plane(GeographicLib::Geodesic::WGS84());
    plane.Reverse(turn.latDeg, turn.lonDeg, x, y, pose.latDeg, pose.lonDeg, azimuthDeg, scale);
    // The plane's north drifts from true north away from the centre; the radial
    // geodesic's azimuth there tells by how much.
    double courseDeg = headingDeg;
    if (std::hypot(x, y) > kCentreM) courseDeg += azimuthDeg - std::atan2(x, y) * kDegPerRad;
    pose.courseDeg = std::fmod(std::fmod(courseDeg, 360.0) + 360.0, 360.0);
    // The arc is shorter than the two leg pieces it replaces, and takes as long.
    const double arcSpeedMps = legSpeedMps * (turn.radiusM * std::fabs(turn.turnDeg) / kDegPerRad / 2.0) / turn.reachM;
    pose.speedKnots = arcSpeedMps / kMpsPerKnot;
    pose.rateOfTurnDegPerMin = side * arcSpeedMps / turn.radiusM * kDegPerRad * kSecondsPerMinute;
    return pose;
}

#include "emulator/traffic/Cpa.h"

#include <cmath>
#include <numbers>

namespace {

constexpr double kNmPerDeg = 60.0;
constexpr double kRadPerDeg = std::numbers::pi / 180.0;
constexpr double kMinutesPerHour = 60.0;
constexpr double kStillKnotsSquared = 1e-12;  // relative motion too slow to have a closest point

bool OnEarth(const Motion& m)
{
    return std::isfinite(m.latitudeDeg) && std::isfinite(m.longitudeDeg) && std::fabs(m.latitudeDeg) <= 90.0 &&
           std::fabs(m.longitudeDeg) <= 180.0;
}

struct Vec {
    double east = 0.0;
    double north = 0.0;
};

Vec Velocity(const Motion& m)  // knots
{
    if (!std::isfinite(m.speedKnots) || !std::isfinite(m.courseDeg)) return {};
    return {m.speedKnots * std::sin(m.courseDeg * kRadPerDeg), m.speedKnots * std::cos(m.courseDeg * kRadPerDeg)};
}

} // namespace

std::optional<CpaResult> ComputeCpa(const Motion& own, const Motion& target)
{
    if (!OnEarth(own) || !OnEarth(target)) return std::nullopt;
    double dLon = target.longitudeDeg - own.longitudeDeg;
    if (dLon > 180.0) dLon -= 360.0;
    if (dLon < -180.0) dLon += 360.0;
    const double meanLat = (own.latitudeDeg + target.latitudeDeg) / 2.0 * kRadPerDeg;
    const Vec r{dLon * kNmPerDeg * std::cos(meanLat), (target.latitudeDeg - own.latitudeDeg) * kNmPerDeg};
    const Vec vo = Velocity(own);
    const Vec vt = Velocity(target);
    const Vec v{vt.east - vo.east, vt.north - vo.north};

    CpaResult result;
    result.rangeNm = std::hypot(r.east, r.north);
    result.bearingDeg = std::fmod(std::atan2(r.east, r.north) / kRadPerDeg + 360.0, 360.0);
    const double speedSquared = v.east * v.east + v.north * v.north;
    // Without relative motion the distance never changes: the closest point is now.
    const double tcpaHours = speedSquared < kStillKnotsSquared ? 0.0 : -(r.east * v.east + r.north * v.north) / speedSquared;
    result.tcpaMin = tcpaHours * kMinutesPerHour;
    result.cpaNm = std::hypot(r.east + v.east * tcpaHours, r.north + v.north * tcpaHours);
    return result;
}

#include "emulator/fleet/KeepToWater.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

constexpr double kKmPerNauticalMile = 1.852;
constexpr double kKmPerDegree = 111.2;       // of latitude, enough for look-ahead probes
constexpr double kMinutesPerHour = 60.0;
constexpr double kProbeKm = 0.1;             // spacing of the probes along a heading
constexpr double kLateralKm = 0.2;           // probes either side: no grazing of shores
constexpr double kMinLookKm = 0.4;
constexpr double kLookMarginMinutes = 3.0;   // beyond the time a 90 degree turn takes
constexpr double kRightAngleDeg = 90.0;
constexpr double kCacheFactor = 2.0;         // a clear course is looked at again after half this
constexpr double kResumeFactor = 1.5;        // the planned course must be clear this far to resume
constexpr double kSnapDeg = 0.5;             // closer than this to the planned course: on it
constexpr double kHeadingStepDeg = 10.0;
constexpr int kHeadingSteps = 18;            // each side: every heading round the compass
constexpr double kMinCos = 0.01;
constexpr double kStopMinutes = 3.0;         // a blocked vessel stops within this

struct TurnRule {
    int maxLengthMetres;
    float degPerMinute;
};
// Small craft turn fast, big ships slowly.
constexpr TurnRule kTurnRules[] = {
    {30, 120.0F}, {80, 60.0F}, {150, 40.0F}, {250, 25.0F}, {INT_MAX, 15.0F},
};

double Normalize(double deg)
{
    deg = std::fmod(deg, 360.0);
    return deg < 0.0 ? deg + 360.0 : deg;
}

// Signed turn from `from` to `to`, -180..180 degrees, positive to starboard.
double TurnBetween(double from, double to)
{
    const double d = Normalize(to - from);
    return d > 180.0 ? d - 360.0 : d;
}

geo::LatLon Offset(double lat, double lon, double bearingDeg, double km)
{
    const double b = bearingDeg * std::numbers::pi / 180.0;
    const double dLat = km * std::cos(b) / kKmPerDegree;
    const double dLon = km * std::sin(b) / (kKmPerDegree * std::max(std::cos(lat * std::numbers::pi / 180.0), kMinCos));
    return {lat + dLat, lon + dLon};
}

// Water at a probe: inside the last box of open water seen, or looked up.
class WaterProbe {
public:
    explicit WaterProbe(const geo::LandMask& mask) : m_mask(mask) {}
    bool IsWater(const geo::LatLon& p)
    {
        if (p.lat >= m_box.south && p.lat < m_box.north && p.lon >= m_box.west && p.lon < m_box.east) return true;
        if (const std::optional<geo::GeoBox> open = m_mask.OpenWaterAround(p.lat, p.lon)) {
            m_box = *open;
            return true;
        }
        return m_mask.IsWater(p.lat, p.lon);
    }

private:
    const geo::LandMask& m_mask;
    geo::GeoBox m_box{1.0, 0.0, 0.0, 0.0};  // empty
};

// How far water reaches along a heading, probed every kProbeKm up to `maxKm`, with a
// probe kLateralKm either side of each.
double ClearKm(const FleetVessel& v, double headingDeg, double maxKm, const geo::LandMask& mask)
{
    WaterProbe water(mask);
    for (double d = kProbeKm; d <= maxKm + 1e-9; d += kProbeKm) {
        const geo::LatLon p = Offset(v.latitude, v.longitude, headingDeg, d);
        if (!water.IsWater(p)) return d - kProbeKm;
        if (!water.IsWater(Offset(p.lat, p.lon, headingDeg - kRightAngleDeg, kLateralKm)) ||
            !water.IsWater(Offset(p.lat, p.lon, headingDeg + kRightAngleDeg, kLateralKm)))
            return d - kProbeKm;
    }
    return maxKm;
}

int LengthMetres(const FleetVessel& v)
{
    return v.dims[0] + v.dims[1];
}

double LookKm(double speedKnots, float ratePerMinute)
{
    const double minutes = kRightAngleDeg / ratePerMinute + kLookMarginMinutes;
    return std::max(kMinLookKm, speedKnots * kKmPerNauticalMile * minutes / kMinutesPerHour);
}

void SetPhase(FleetVessel& v, SteerPhase phase)
{
    v.steering = static_cast<std::uint8_t>((v.steering & ~kSteerPhaseMask) | phase);
}

int TurnSign(const FleetVessel& v)
{
    return (v.steering & kSteerToStarboard) != 0 ? 1 : -1;
}

// Fractions of the planned speed tried in confined waters: a slower vessel needs less
// water ahead.
constexpr double kPaces[] = {1.0, 0.5, 0.25, 0.125};

// Picks the side of the nearest heading that is clear for the look-ahead of the fastest
// pace that has one (starboard first on a tie, as the rules of the road prefer) and
// slows to that pace; with none clear at any pace, the side of the most water, and the
// vessel is blocked.
void StartTurningAway(FleetVessel& v, float rate, const geo::LandMask& mask)
{
    int side = 1;
    double most = -1.0;
    for (double pace : kPaces) {
        const double lookKm = LookKm(v.plannedSpeed * pace, rate);
        for (int k = 1; k <= kHeadingSteps; ++k) {
            for (int s : {1, -1}) {
                const double clear = ClearKm(v, v.course + s * k * kHeadingStepDeg, lookKm, mask);
                if (clear >= lookKm) {
                    v.speed = static_cast<float>(std::min<double>(v.speed, v.plannedSpeed * pace));
                    v.steering = static_cast<std::uint8_t>((v.steering & ~(kSteerToStarboard | kSteerBlocked)) |
                                                           (s > 0 ? kSteerToStarboard : 0));
                    SetPhase(v, kSteerTurningAway);
                    return;
                }
                if (clear > most) {
                    most = clear;
                    side = s;
                }
            }
        }
    }
    v.steering = static_cast<std::uint8_t>((v.steering & ~kSteerToStarboard) | (side > 0 ? kSteerToStarboard : 0) |
                                           kSteerBlocked);
    SetPhase(v, kSteerTurningAway);
}

// Turning away: stop turning once the heading is clear for the present speed; a blocked
// vessel slows down to a stop.
void TurnAway(FleetVessel& v, double minutes, float rate, const geo::LandMask& mask)
{
    const bool blocked = (v.steering & kSteerBlocked) != 0;
    if (blocked && v.speed == 0.0F) {
        v.rateOfTurn = 0.0F;  // stopped where it could go no further
        return;
    }
    const double lookKm = LookKm(v.speed, rate);
    const double clear = ClearKm(v, v.course, lookKm, mask);
    if (clear >= lookKm) {
        v.rateOfTurn = 0.0F;
        v.clearAheadKm = static_cast<float>(clear);
        v.steering = static_cast<std::uint8_t>(v.steering & ~kSteerBlocked);
        SetPhase(v, kSteerHolding);
        return;
    }
    v.rateOfTurn = static_cast<float>(TurnSign(v)) * rate;
    if (blocked) {
        v.speed = static_cast<float>(std::max(0.0, v.speed - v.plannedSpeed * minutes / kStopMinutes));
        if (v.speed == 0.0F) v.rateOfTurn = 0.0F;
    }
}

// Holding a clear heading: the fastest pace the water ahead allows, or turning away again.
void Hold(FleetVessel& v, double minutes, float rate, const geo::LandMask& mask)
{
    for (double pace : kPaces) {
        const double lookKm = LookKm(v.plannedSpeed * pace, rate);
        const double clear = ClearKm(v, v.course, kCacheFactor * lookKm, mask);
        if (clear >= lookKm) {
            v.speed = static_cast<float>(v.plannedSpeed * pace);
            v.clearAheadKm = static_cast<float>(clear);
            return;
        }
    }
    StartTurningAway(v, rate, mask);
    TurnAway(v, minutes, rate, mask);
}

void Resume(FleetVessel& v, double minutes, float rate, const geo::LandMask& mask)
{
    const double turn = TurnBetween(v.course, v.plannedCourse);
    if (std::fabs(turn) < kSnapDeg) {
        v.course = v.plannedCourse;
        v.rateOfTurn = 0.0F;
        v.speed = v.plannedSpeed;
        v.clearAheadKm = 0.0F;  // looked at again in the next step
        SetPhase(v, kSteerFree);
        return;
    }
    const double lookKm = LookKm(v.speed, rate);
    if (ClearKm(v, v.course, lookKm, mask) < lookKm) {
        StartTurningAway(v, rate, mask);
        TurnAway(v, minutes, rate, mask);
        return;
    }
    const double limit = minutes > 0.0 ? std::fabs(turn) / minutes : rate;
    v.rateOfTurn = static_cast<float>(std::copysign(std::min<double>(rate, limit), turn));
}

} // namespace

float KeepClearRateOfTurn(int lengthMetres)
{
    for (const TurnRule& rule : kTurnRules)
        if (lengthMetres <= rule.maxLengthMetres) return rule.degPerMinute;
    return std::end(kTurnRules)[-1].degPerMinute;
}

void SteerClearOfLand(FleetVessel& v, double hours, const geo::LandMask& mask)
{
    const double minutes = hours * kMinutesPerHour;
    const float rate = KeepClearRateOfTurn(LengthMetres(v));
    const auto phase = static_cast<SteerPhase>(v.steering & kSteerPhaseMask);
    if (phase == kSteerFree) {
        const double moveKm = v.speed * kKmPerNauticalMile * hours;
        const double lookKm = LookKm(v.speed, rate);
        // Most steps: water already known far enough ahead.
        if (v.rateOfTurn == 0.0F && v.clearAheadKm - moveKm >= lookKm) {
            v.clearAheadKm -= static_cast<float>(moveKm);
            return;
        }
        const double clear = ClearKm(v, v.course + v.rateOfTurn * minutes, kCacheFactor * lookKm, mask);
        if (clear >= lookKm) {
            v.clearAheadKm = static_cast<float>(std::max(0.0, clear - moveKm));
        } else {
            v.course = static_cast<float>(Normalize(v.course));
            v.plannedCourse = v.course;
            v.plannedSpeed = v.speed;
            StartTurningAway(v, rate, mask);
            TurnAway(v, minutes, rate, mask);
        }
    } else {
        const double moveKm = v.speed * kKmPerNauticalMile * hours;
        v.course = static_cast<float>(Normalize(v.course));
        switch (phase) {
        case kSteerTurningAway: TurnAway(v, minutes, rate, mask); break;
        case kSteerHolding:
            if (v.clearAheadKm - moveKm >= LookKm(v.speed, rate)) {
                v.clearAheadKm -= static_cast<float>(moveKm);
                return;
            }
            if (const double lookKm = kResumeFactor * LookKm(v.plannedSpeed, rate);
                ClearKm(v, v.plannedCourse, lookKm, mask) >= lookKm) {
                v.speed = v.plannedSpeed;
                SetPhase(v, kSteerResuming);
                Resume(v, minutes, rate, mask);
            } else {
                Hold(v, minutes, rate, mask);
            }
            break;
        default: Resume(v, minutes, rate, mask); break;
        }
    }
    // Whatever was decided, this step never ends on land.
    const double stepKm = v.speed * kKmPerNauticalMile * hours;
    if (stepKm > 0.0) {
        const geo::LatLon next = Offset(v.latitude, v.longitude, v.course + v.rateOfTurn * minutes, stepKm);
        if (!mask.IsWater(next.lat, next.lon)) {
            if ((v.steering & kSteerPhaseMask) == kSteerFree) {
                v.plannedCourse = static_cast<float>(Normalize(v.course));
                v.plannedSpeed = v.speed;
                StartTurningAway(v, rate, mask);
            }
            v.speed = 0.0F;
        }
    }
}

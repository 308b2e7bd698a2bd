#include "emulator/fleet/KeepToWater.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <optional>

namespace {

constexpr double kKmPerNauticalMile = 1.852;
constexpr double kKmPerDegree = 111.2;       // of latitude, enough for look-ahead probes
constexpr double kMinutesPerHour = 60.0;
constexpr double kRadiansPerDegree = std::numbers::pi / 180.0;
constexpr double kClearanceKm = geo::kShoreClearanceKm;  // kept between a vessel and any shoreline
// A vessel already nearer a shore (put there, or from a file) may still leave it at 30
// degrees or more: the clearance wanted grows by half the distance sailed.
constexpr double kLeaveFactor = 0.5;
constexpr double kProbeKm = 0.1;             // spacing of the probes along a way
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

// Fractions of the planned speed tried in confined waters: a slower vessel needs less
// water ahead and turns in a tighter circle.
constexpr double kPaces[] = {1.0, 0.5, 0.25, 0.125};

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

double CosLat(double latDeg)
{
    return std::max(std::cos(latDeg * kRadiansPerDegree), kMinCos);
}

geo::LatLon Offset(const geo::LatLon& from, double bearingDeg, double km)
{
    const double b = bearingDeg * kRadiansPerDegree;
    return {from.lat + km * std::cos(b) / kKmPerDegree, from.lon + km * std::sin(b) / (kKmPerDegree * CosLat(from.lat))};
}

double LookKm(double speedKnots, float ratePerMinute)
{
    const double minutes = kRightAngleDeg / ratePerMinute + kLookMarginMinutes;
    return std::max(kMinLookKm, speedKnots * kKmPerNauticalMile * minutes / kMinutesPerHour);
}

// Radius of the circle a vessel sails at this speed and rate of turn.
double TurnRadiusKm(double speedKnots, float ratePerMinute)
{
    return speedKnots * kKmPerNauticalMile / kMinutesPerHour / (ratePerMinute * kRadiansPerDegree);
}

// Clearance at probes: inside the last box of open water seen, or measured.
class ClearWater {
public:
    explicit ClearWater(const geo::LandMask& mask) : m_mask(mask) {}

    bool Has(const geo::LatLon& p, double needKm)
    {
        if (Holds(p, needKm)) return true;
        if (const std::optional<geo::GeoBox> open = m_mask.OpenWaterAround(p.lat, p.lon)) {
            m_box = *open;
            if (Holds(p, needKm)) return true;
        }
        return m_mask.ClearanceKm(p.lat, p.lon, needKm) >= needKm;
    }
    double Around(const geo::LatLon& p) { return Has(p, kClearanceKm) ? kClearanceKm : m_mask.ClearanceKm(p.lat, p.lon, kClearanceKm); }

private:
    bool Holds(const geo::LatLon& p, double needKm) const
    {
        const double dLat = needKm / kKmPerDegree;
        const double dLon = dLat / CosLat(p.lat);
        return p.lat - dLat >= m_box.south && p.lat + dLat < m_box.north && p.lon - dLon >= m_box.west &&
               p.lon + dLon < m_box.east;
    }

    const geo::LandMask& m_mask;
    geo::GeoBox m_box{1.0, 0.0, 0.0, 0.0};  // empty
};

// A point of a turn: where the heading has turned a multiple of kHeadingStepDeg, and how
// far water with the clearance reaches along the turn.
struct TurnPoint {
    geo::LatLon at;
    double wayKm = 0.0;  // sailed along the turn to here, or to where it met land
    bool clear = true;
};
using Turn = std::array<TurnPoint, kHeadingSteps + 1>;

// One vessel's decision for one step.
class Steering {
public:
    Steering(FleetVessel& v, double hours, const geo::LandMask& mask)
        : m_v(v), m_hours(hours), m_minutes(hours * kMinutesPerHour),
          m_rate(KeepClearRateOfTurn(v.dims[0] + v.dims[1])), m_water(mask)
    {
    }

    // Decides the step; true when the step stays inside water already looked at ahead.
    bool Decide();
    // Holds the vessel where the step would bring it nearer a shore than the clearance.
    void Guard();

private:
    geo::LatLon Here() const { return {m_v.latitude, m_v.longitude}; }
    double Start()
    {
        if (!m_start) m_start = m_water.Around(Here());
        return *m_start;
    }
    // Clearance wanted `wayKm` along a way from the vessel.
    double Need(double wayKm) { return std::min(kClearanceKm, Start() + kLeaveFactor * wayKm); }
    double LegClearKm(const geo::LatLon& from, double headingDeg, double maxKm, double wayKm = 0.0);
    void WalkTurn(int side, double speedKnots, double maxDeg, Turn& turn);
    bool WayClear(double turnDeg, double speedKnots, double legKm);
    void SetPhase(SteerPhase phase)
    {
        m_v.steering = static_cast<std::uint8_t>((m_v.steering & ~kSteerPhaseMask) | phase);
    }
    SteerPhase Phase() const { return static_cast<SteerPhase>(m_v.steering & kSteerPhaseMask); }
    bool Blocked() const { return (m_v.steering & kSteerBlocked) != 0; }
    void SetSide(int side, bool blocked)
    {
        m_v.steering = static_cast<std::uint8_t>((m_v.steering & ~(kSteerToStarboard | kSteerBlocked)) |
                                                 (side > 0 ? kSteerToStarboard : 0) | (blocked ? kSteerBlocked : 0));
    }
    int TurnSign() const { return (m_v.steering & kSteerToStarboard) != 0 ? 1 : -1; }
    double MoveKm() const { return m_v.speed * kKmPerNauticalMile * m_hours; }

    bool Free();
    bool Holding();
    void StartTurningAway();
    bool TurnAway();
    bool Hold();
    void Resume();

    FleetVessel& m_v;
    double m_hours;
    double m_minutes;
    float m_rate;
    ClearWater m_water;
    std::optional<double> m_start;  // clearance where the vessel is
};

// How far water with the clearance reaches along a heading from `from`, probed every
// kProbeKm up to `maxKm`; `wayKm` is sailed before `from`.
double Steering::LegClearKm(const geo::LatLon& from, double headingDeg, double maxKm, double wayKm)
{
    for (double d = kProbeKm; d <= maxKm + 1e-9; d += kProbeKm)
        if (!m_water.Has(Offset(from, headingDeg, d), Need(wayKm + d))) return d - kProbeKm;
    return maxKm;
}

// Follows a turn to `side` at this speed, probing every kProbeKm of the way, up to
// `maxDeg`; `turn[k]` is where the heading has turned k steps.
void Steering::WalkTurn(int side, double speedKnots, double maxDeg, Turn& turn)
{
    const double radiusKm = TurnRadiusKm(speedKnots, m_rate);
    const double stepRad = kHeadingStepDeg * kRadiansPerDegree;
    const int probes = std::max(1, static_cast<int>(std::ceil(radiusKm * stepRad / kProbeKm)));
    const geo::LatLon here = Here();
    turn[0] = {here, 0.0, true};
    const int steps = std::min(kHeadingSteps, static_cast<int>(std::ceil(maxDeg / kHeadingStepDeg - 1e-9)));
    for (int k = 1; k <= steps; ++k) {
        TurnPoint point = turn[k - 1];
        for (int i = 1; i <= probes && point.clear; ++i) {
            const double angle = std::min(((k - 1) + static_cast<double>(i) / probes) * stepRad, maxDeg * kRadiansPerDegree);
            const geo::LatLon ahead = Offset(here, m_v.course, radiusKm * std::sin(angle));
            const geo::LatLon at = Offset(ahead, m_v.course + side * kRightAngleDeg, radiusKm * (1.0 - std::cos(angle)));
            const double wayKm = radiusKm * angle;
            if (!m_water.Has(at, Need(wayKm))) {
                point.clear = false;
                break;
            }
            point = {at, wayKm, true};
        }
        turn[static_cast<std::size_t>(k)] = point;
    }
}

// Whether a turn of `turnDeg` (positive to starboard) at this speed and then `legKm` on
// the new heading keep the clearance.
bool Steering::WayClear(double turnDeg, double speedKnots, double legKm)
{
    Turn turn;
    const double degrees = std::fabs(turnDeg);
    WalkTurn(turnDeg >= 0.0 ? 1 : -1, speedKnots, degrees, turn);
    const TurnPoint& end = turn[static_cast<std::size_t>(std::ceil(degrees / kHeadingStepDeg - 1e-9))];
    return end.clear && LegClearKm(end.at, m_v.course + turnDeg, legKm, end.wayKm) >= legKm;
}

// Picks the side of the nearest heading whose turn and look-ahead keep the clearance, at
// the fastest pace that has one (starboard first on a tie, as the rules of the road
// prefer), and slows to that pace; with none at any pace, the side of the most water,
// and the vessel is blocked. A vessel already stopped turns on the spot.
void Steering::StartTurningAway()
{
    int side = 1;
    double most = -1.0;
    for (double pace : kPaces) {
        const double speed = std::min<double>(m_v.speed, m_v.plannedSpeed * pace);
        const double lookKm = LookKm(m_v.plannedSpeed * pace, m_rate);
        Turn turns[2];
        WalkTurn(1, speed, 180.0, turns[0]);
        WalkTurn(-1, speed, 180.0, turns[1]);
        for (int k = 1; k <= kHeadingSteps; ++k) {
            for (int s : {1, -1}) {
                const TurnPoint& point = turns[s > 0 ? 0 : 1][static_cast<std::size_t>(k)];
                const double clear =
                    point.clear ? LegClearKm(point.at, m_v.course + s * k * kHeadingStepDeg, lookKm, point.wayKm) : 0.0;
                if (point.clear && clear >= lookKm) {
                    m_v.speed = static_cast<float>(speed);
                    SetSide(s, false);
                    SetPhase(kSteerTurningAway);
                    return;
                }
                if (point.wayKm + clear > most) {
                    most = point.wayKm + clear;
                    side = s;
                }
            }
        }
    }
    SetSide(side, true);
    SetPhase(kSteerTurningAway);
}

// Turning away: stop turning once the heading is clear for the present speed; a blocked
// vessel slows down to a stop. True once on a clear heading.
bool Steering::TurnAway()
{
    const bool blocked = Blocked();
    if (blocked && m_v.speed == 0.0F) {
        m_v.rateOfTurn = 0.0F;  // stopped where it could go no further
        return false;
    }
    const double lookKm = LookKm(m_v.speed, m_rate);
    const double clear = LegClearKm(Here(), m_v.course, lookKm);
    if (clear >= lookKm) {
        m_v.rateOfTurn = 0.0F;
        m_v.clearAheadKm = static_cast<float>(clear);
        SetSide(TurnSign(), false);
        SetPhase(kSteerHolding);
        return true;
    }
    m_v.rateOfTurn = static_cast<float>(TurnSign()) * m_rate;
    if (blocked) {
        m_v.speed = static_cast<float>(std::max(0.0, m_v.speed - m_v.plannedSpeed * m_minutes / kStopMinutes));
        if (m_v.speed == 0.0F) m_v.rateOfTurn = 0.0F;
    }
    return false;
}

// Holding a clear heading: the fastest pace the water ahead allows, or turning away again.
bool Steering::Hold()
{
    for (double pace : kPaces) {
        const double lookKm = LookKm(m_v.plannedSpeed * pace, m_rate);
        const double clear = LegClearKm(Here(), m_v.course, kCacheFactor * lookKm);
        if (clear >= lookKm) {
            m_v.speed = static_cast<float>(m_v.plannedSpeed * pace);
            m_v.clearAheadKm = static_cast<float>(clear);
            return true;
        }
    }
    StartTurningAway();
    return TurnAway();
}

// Turning back to the planned course while the rest of the turn and the water beyond
// stay clear.
void Steering::Resume()
{
    const double turn = TurnBetween(m_v.course, m_v.plannedCourse);
    if (std::fabs(turn) < kSnapDeg) {
        m_v.course = m_v.plannedCourse;
        m_v.rateOfTurn = 0.0F;
        m_v.speed = m_v.plannedSpeed;
        m_v.clearAheadKm = 0.0F;  // looked at again in the next step
        SetPhase(kSteerFree);
        return;
    }
    if (!WayClear(turn, m_v.speed, LookKm(m_v.speed, m_rate))) {
        StartTurningAway();
        TurnAway();
        return;
    }
    const double limit = m_minutes > 0.0 ? std::fabs(turn) / m_minutes : m_rate;
    m_v.rateOfTurn = static_cast<float>(std::copysign(std::min<double>(m_rate, limit), turn));
}

bool Steering::Free()
{
    const double moveKm = MoveKm();
    const double lookKm = LookKm(m_v.speed, m_rate);
    // Most steps: water already known far enough ahead.
    if (m_v.rateOfTurn == 0.0F && m_v.clearAheadKm - moveKm >= lookKm) {
        m_v.clearAheadKm -= static_cast<float>(moveKm);
        return true;
    }
    const double clear = LegClearKm(Here(), m_v.course + m_v.rateOfTurn * m_minutes, kCacheFactor * lookKm);
    if (clear >= lookKm) {
        m_v.clearAheadKm = static_cast<float>(std::max(0.0, clear - moveKm));
        return true;
    }
    m_v.course = static_cast<float>(Normalize(m_v.course));
    m_v.plannedCourse = m_v.course;
    m_v.plannedSpeed = m_v.speed;
    StartTurningAway();
    return TurnAway();
}

bool Steering::Holding()
{
    const double moveKm = MoveKm();
    // A vessel the guard stopped looks again at once.
    if (m_v.speed > 0.0F && m_v.clearAheadKm - moveKm >= LookKm(m_v.speed, m_rate)) {
        m_v.clearAheadKm -= static_cast<float>(moveKm);
        return true;
    }
    const double turn = TurnBetween(m_v.course, m_v.plannedCourse);
    if (WayClear(turn, m_v.plannedSpeed, kResumeFactor * LookKm(m_v.plannedSpeed, m_rate))) {
        m_v.speed = m_v.plannedSpeed;
        SetPhase(kSteerResuming);
        Resume();
        return false;
    }
    return Hold();
}

bool Steering::Decide()
{
    if (Phase() == kSteerFree) return Free();
    m_v.course = static_cast<float>(Normalize(m_v.course));
    switch (Phase()) {
    case kSteerTurningAway: return TurnAway();
    case kSteerHolding: return Holding();
    default: Resume(); return false;
    }
}

void Steering::Guard()
{
    const double stepKm = MoveKm();
    if (stepKm <= 0.0) return;
    const geo::LatLon next = Offset(Here(), m_v.course + m_v.rateOfTurn * m_minutes, stepKm);
    if (m_water.Has(next, std::min(kClearanceKm, Start()))) return;
    // Nearer a shore than it may come: stop, and look for a heading to turn to on the spot.
    if (Phase() == kSteerFree) {
        m_v.course = static_cast<float>(Normalize(m_v.course));
        m_v.plannedCourse = m_v.course;
        m_v.plannedSpeed = m_v.speed;
    }
    m_v.speed = 0.0F;
    StartTurningAway();
    TurnAway();
    m_v.speed = 0.0F;
}

} // namespace

float KeepClearRateOfTurn(int lengthMetres)
{
    for (const TurnRule& rule : kTurnRules)
        if (lengthMetres <= rule.maxLengthMetres) return rule.degPerMinute;
    return std::end(kTurnRules)[-1].degPerMinute;
}

void SteerClearOfLand(FleetVessel& vessel, double hours, const geo::LandMask& mask)
{
    Steering steering(vessel, hours, mask);
    if (!steering.Decide()) steering.Guard();
}

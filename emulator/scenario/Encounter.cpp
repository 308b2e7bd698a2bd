#include "emulator/scenario/Encounter.h"

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/GeodesicLine.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <numbers>

namespace {

constexpr double kDegPerRad = 180.0 / std::numbers::pi;
constexpr double kMetresPerNm = 1852.0;
constexpr double kMpsPerKnot = kMetresPerNm / 3600.0;
constexpr double kSecondsPerMinute = 60.0;
constexpr double kBandMarginDeg = 0.5;    // keep clear of a band's edge
constexpr double kCourseStepDeg = 0.1;    // the search's step through the target's courses
constexpr double kAbaftBeamDeg = 112.5;   // 22.5 degrees abaft the beam
constexpr double kStillMps = 1e-6;        // relative speed below this: the two never close
constexpr int kRefinements = 6;

enum class SpeedRule : std::uint8_t { Moving, FasterThanOwn, SlowerThanOwn };

// Each kind: its name, the target's course relative to the own ship's that it starts
// from and how far it may stray from that, the band of relative bearings (clockwise
// from `fromDeg` to `toDeg`) the target must start in, the default side, and what the
// speeds must be.
struct KindRule {
    EncounterKind kind;
    const char* name;
    double preferredCourseDeg;
    double courseLeewayDeg;
    double fromDeg;
    double toDeg;
    PassingSide side;
    SpeedRule speed;
};
constexpr KindRule kKinds[] = {
    // COLREG rule 14: nearly reciprocal courses, port to port; "dead ahead" taken as
    // within 5 degrees.
    {EncounterKind::HeadOn, "head-on", 180.0, 15.0, 355.0, 5.0, PassingSide::Port, SpeedRule::Moving},
    // Rule 15: crossing (at least 15 degrees off parallel) ahead of the own ship, which
    // gives way.
    {EncounterKind::CrossingStarboard, "crossing-starboard", 270.0, 75.0, 5.0, kAbaftBeamDeg, PassingSide::Port,
     SpeedRule::Moving},
    {EncounterKind::CrossingPort, "crossing-port", 90.0, 75.0, 360.0 - kAbaftBeamDeg, 355.0, PassingSide::Starboard,
     SpeedRule::Moving},
    // Rule 13: coming up from more than 22.5 degrees abaft the beam, on a like course.
    {EncounterKind::Overtaking, "overtaking", 0.0, 45.0, kAbaftBeamDeg, 360.0 - kAbaftBeamDeg, PassingSide::Port,
     SpeedRule::FasterThanOwn},
    {EncounterKind::Overtaken, "overtaken", 0.0, 45.0, 360.0 - (180.0 - kAbaftBeamDeg), 180.0 - kAbaftBeamDeg,
     PassingSide::Starboard, SpeedRule::SlowerThanOwn},
};

const KindRule& RuleOf(EncounterKind kind)
{
    return *std::find_if(std::begin(kKinds), std::end(kKinds), [&](const KindRule& r) { return r.kind == kind; });
}

constexpr struct {
    PassingSide side;
    const char* name;
} kSides[] = {{PassingSide::Port, "port"}, {PassingSide::Starboard, "starboard"}};

double Wrap360(double deg)
{
    const double wrapped = std::fmod(deg, 360.0);
    return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}

bool InBand(double bearingDeg, double fromDeg, double toDeg, double marginDeg)
{
    const double width = Wrap360(toDeg - fromDeg);
    const double into = Wrap360(bearingDeg - fromDeg);
    return into >= marginDeg && into <= width - marginDeg;
}

std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

const GeographicLib::Geodesic& Earth()
{
    return GeographicLib::Geodesic::WGS84();
}

struct Attempt {
    EncounterPlacement placement;
    bool ok = false;
};

// The target whose course at the CPA is `relativeCourseDeg` off the own ship's course
// there. The CPA point lies `cpaM` from the own ship's position at the TCPA, across the
// relative motion, so that the distance stops falling just then; the start is that
// point sailed back for the TCPA.
Attempt Construct(const OwnShipStart& own, const KindRule& rule, PassingSide side, double relativeCourseDeg,
                  double cpaM, double tcpaS, double targetMps)
{
    const double ownMps = own.speedKnots * kMpsPerKnot;
    double atTcpaLat = 0.0, atTcpaLon = 0.0, ownCourseAtTcpa = 0.0;
    Earth().Direct(own.latDeg, own.lonDeg, own.courseDeg, ownMps * tcpaS, atTcpaLat, atTcpaLon, ownCourseAtTcpa);
    const double targetCourse = ownCourseAtTcpa + relativeCourseDeg;

    double cpaLat = atTcpaLat, cpaLon = atTcpaLon;
    if (cpaM > 0.0) {
        // The connecting geodesic turns by `drift` between the two ends; the velocities
        // are compared in the frame at the CPA point.
        double drift = 0.0;
        for (int pass = 0; pass < 3; ++pass) {
            const double ownRad = (ownCourseAtTcpa + drift) / kDegPerRad;
            const double targetRad = targetCourse / kDegPerRad;
            const double wx = targetMps * std::sin(targetRad) - ownMps * std::sin(ownRad);
            const double wy = targetMps * std::cos(targetRad) - ownMps * std::cos(ownRad);
            const double w = std::hypot(wx, wy);
            if (w < kStillMps) return {};
            // Across the relative motion, on the side asked for (starboard of the own ship's heading).
            double nx = wy / w, ny = -wx / w;
            const double starboard = nx * std::cos(ownRad) - ny * std::sin(ownRad);
            if (std::fabs(starboard) < 1e-9) return {};
            if ((starboard > 0.0) != (side == PassingSide::Starboard)) {
                nx = -nx;
                ny = -ny;
            }
            const double atCpaDeg = std::atan2(nx, ny) * kDegPerRad;
            const double fromOwnDeg = atCpaDeg - drift;
            double arriveDeg = 0.0;
            Earth().Direct(atTcpaLat, atTcpaLon, fromOwnDeg, cpaM, cpaLat, cpaLon, arriveDeg);
            drift = arriveDeg - fromOwnDeg;
        }
    }
    Attempt attempt;
    EncounterPlacement& p = attempt.placement;
    double backDeg = 0.0;
    Earth().Direct(cpaLat, cpaLon, targetCourse + 180.0, targetMps * tcpaS, p.latDeg, p.lonDeg, backDeg);
    p.courseDeg = Wrap360(backDeg + 180.0);
    if (targetMps == 0.0) p.courseDeg = Wrap360(targetCourse);
    double rangeM = 0.0, towardDeg = 0.0, arriveDeg = 0.0;
    Earth().Inverse(own.latDeg, own.lonDeg, p.latDeg, p.lonDeg, rangeM, towardDeg, arriveDeg);
    p.rangeNm = rangeM / kMetresPerNm;
    p.bearingDeg = Wrap360(towardDeg - own.courseDeg);
    p.side = side;
    attempt.ok = InBand(p.bearingDeg, rule.fromDeg, rule.toDeg, kBandMarginDeg);
    if (attempt.ok && rule.speed == SpeedRule::SlowerThanOwn && targetMps > 0.0) {
        // Overtaking as the rules see it: the own ship comes up from abaft the target's beam.
        double fromTargetDeg = 0.0;
        Earth().Inverse(p.latDeg, p.lonDeg, own.latDeg, own.lonDeg, rangeM, fromTargetDeg, arriveDeg);
        const double seen = Wrap360(fromTargetDeg - p.courseDeg);
        attempt.ok = InBand(seen, kAbaftBeamDeg, 360.0 - kAbaftBeamDeg, kBandMarginDeg);
    }
    return attempt;
}

std::optional<std::string> SpeedFault(const KindRule& rule, const OwnShipStart& own, double targetKnots)
{
    const std::string kind = rule.name;
    switch (rule.speed) {
    case SpeedRule::Moving:
        if (targetKnots <= 0.0) return "a " + kind + " target needs a sog above 0";
        break;
    case SpeedRule::FasterThanOwn:
        if (targetKnots <= own.speedKnots)
            return "an overtaking target must be faster than the own ship (sog " + Figure(targetKnots) +
                   " is not above the own ship's " + Figure(own.speedKnots) + ")";
        break;
    case SpeedRule::SlowerThanOwn:
        if (targetKnots >= own.speedKnots)
            return "an overtaken target must be slower than the own ship (sog " + Figure(targetKnots) +
                   " is not below the own ship's " + Figure(own.speedKnots) + ")";
        break;
    }
    return std::nullopt;
}

// The course closest to the kind's own that starts the target inside the kind's band.
std::optional<EncounterPlacement> Search(const OwnShipStart& own, const KindRule& rule, PassingSide side,
                                         double cpaM, double tcpaS, double targetMps)
{
    const int steps = static_cast<int>(rule.courseLeewayDeg / kCourseStepDeg);
    for (int step = 0; step <= steps; ++step) {
        for (const double sign : {1.0, -1.0}) {
            if (step == 0 && sign < 0.0) continue;
            const double course = rule.preferredCourseDeg + sign * step * kCourseStepDeg;
            const Attempt attempt = Construct(own, rule, side, course, cpaM, tcpaS, targetMps);
            if (attempt.ok) return attempt.placement;
        }
    }
    return std::nullopt;
}

} // namespace

ApproachFigures MeasureApproach(const OwnShipStart& own, const OwnShipStart& target, double horizonS)
{
    const GeographicLib::GeodesicLine ownLine(Earth(), own.latDeg, own.lonDeg, own.courseDeg);
    const GeographicLib::GeodesicLine targetLine(Earth(), target.latDeg, target.lonDeg, target.courseDeg);
    const auto rangeAt = [&](double seconds) {
        double lat1 = 0, lon1 = 0, lat2 = 0, lon2 = 0, metres = 0;
        ownLine.Position(own.speedKnots * kMpsPerKnot * seconds, lat1, lon1);
        targetLine.Position(target.speedKnots * kMpsPerKnot * seconds, lat2, lon2);
        Earth().Inverse(lat1, lon1, lat2, lon2, metres);
        return metres;
    };
    // A coarse pass, then golden sections around its least range.
    constexpr double kCoarseS = 5.0;
    double bestS = 0.0;
    double bestM = rangeAt(0.0);
    for (double s = kCoarseS; s <= horizonS; s += kCoarseS) {
        const double m = rangeAt(s);
        if (m < bestM) {
            bestM = m;
            bestS = s;
        }
    }
    double lo = std::max(0.0, bestS - kCoarseS), hi = std::min(horizonS, bestS + kCoarseS);
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    for (int i = 0; i < 40; ++i) {
        const double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
        if (rangeAt(a) < rangeAt(b))
            hi = b;
        else
            lo = a;
    }
    const double atS = (lo + hi) / 2.0;
    return {rangeAt(atS) / kMetresPerNm, atS / kSecondsPerMinute};
}

std::optional<EncounterPlacement> PlaceEncounter(const OwnShipStart& own, const EncounterRequest& request,
                                                 std::string& reason)
{
    const KindRule& rule = RuleOf(request.kind);
    if (!(request.cpaNm >= 0.0 && request.cpaNm <= kEncounterMaxCpaNm)) {
        reason = "cpa-nm " + Figure(request.cpaNm) + " is out of range (0 to " + Figure(kEncounterMaxCpaNm) + ")";
        return std::nullopt;
    }
    if (!(request.tcpaMin > 0.0 && request.tcpaMin <= kEncounterMaxTcpaMin)) {
        reason = "tcpa-min " + Figure(request.tcpaMin) + " is out of range (above 0, up to " +
                 Figure(kEncounterMaxTcpaMin) + ")";
        return std::nullopt;
    }
    if (const auto fault = SpeedFault(rule, own, request.targetSogKnots)) {
        reason = *fault;
        return std::nullopt;
    }
    const PassingSide side = request.side.value_or(rule.side);
    double cpaM = request.cpaNm * kMetresPerNm;
    double tcpaS = request.tcpaMin * kSecondsPerMinute;
    const double targetMps = request.targetSogKnots * kMpsPerKnot;
    // Built in the frame of the CPA; checked, and nudged by what it misses, by sailing both.
    for (int round = 0; round < kRefinements; ++round) {
        std::optional<EncounterPlacement> placement = Search(own, rule, side, cpaM, tcpaS, targetMps);
        if (!placement) {
            const double closingNm = (own.speedKnots + request.targetSogKnots) * request.tcpaMin / kSecondsPerMinute;
            reason = "cannot be built: no course of the target within " + Figure(rule.courseLeewayDeg) + " degrees of " +
                     Figure(rule.preferredCourseDeg) + " relative to the own ship's starts it " + Figure(rule.fromDeg) +
                     " to " + Figure(rule.toDeg) + " degrees relative (" + rule.name + ") with cpa-nm " +
                     Figure(request.cpaNm) + " at tcpa-min " + Figure(request.tcpaMin) +
                     "; in that time the two close at most " + Figure(closingNm) +
                     " NM, so give a smaller cpa-nm, a larger tcpa-min or other speeds";
            return std::nullopt;
        }
        const OwnShipStart target{placement->latDeg, placement->lonDeg, placement->courseDeg, request.targetSogKnots};
        const ApproachFigures got = MeasureApproach(own, target, 2.0 * request.tcpaMin * kSecondsPerMinute + 60.0);
        placement->cpaNm = got.cpaNm;
        placement->tcpaMin = got.tcpaMin;
        const double cpaMissNm = request.cpaNm - got.cpaNm;
        const double tcpaMissS = (request.tcpaMin - got.tcpaMin) * kSecondsPerMinute;
        if (std::fabs(cpaMissNm) < kEncounterCpaToleranceNm && std::fabs(tcpaMissS) < kEncounterTcpaToleranceS)
            return placement;
        cpaM = std::max(0.0, cpaM + cpaMissNm * kMetresPerNm);
        tcpaS = std::max(1.0, tcpaS + tcpaMissS);
    }
    reason = "cannot be built to within " + Figure(kEncounterCpaToleranceNm) + " NM and " +
             Figure(kEncounterTcpaToleranceS) + " s on the ellipsoid";
    return std::nullopt;
}

std::optional<EncounterKind> EncounterKindNamed(std::string_view name)
{
    for (const KindRule& rule : kKinds)
        if (name == rule.name) return rule.kind;
    return std::nullopt;
}

const char* EncounterKindName(EncounterKind kind)
{
    return RuleOf(kind).name;
}

std::string EncounterKindNames()
{
    std::string names;
    for (const KindRule& rule : kKinds) names += (names.empty() ? "" : ", ") + std::string(rule.name);
    return names;
}

std::optional<PassingSide> PassingSideNamed(std::string_view name)
{
    for (const auto& s : kSides)
        if (name == s.name) return s.side;
    return std::nullopt;
}

const char* PassingSideName(PassingSide side)
{
    return side == PassingSide::Port ? "port" : "starboard";
}

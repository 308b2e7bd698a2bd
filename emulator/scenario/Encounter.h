#pragma once

// Encounters set by CPA and TCPA: where a target must start, and on which course, so
// that with both it and the own ship sailing straight (geodesics of WGS-84 at constant
// speed) the closest point of approach and the time to it are those asked for.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class EncounterKind : std::uint8_t {
    HeadOn,             // meeting on (nearly) reciprocal courses, target dead ahead
    CrossingStarboard,  // target on the own ship's starboard side, 5 to 112.5 degrees relative
    CrossingPort,       // the mirror
    Overtaking,         // the target overtakes the own ship from abaft its beam
    Overtaken,          // the own ship overtakes the target, which is ahead
};

enum class PassingSide : std::uint8_t { Port, Starboard };

struct EncounterRequest {
    EncounterKind kind = EncounterKind::HeadOn;
    double cpaNm = 0.0;
    double tcpaMin = 0.0;
    double targetSogKnots = 0.0;
    // The own ship's side on which the target is at the CPA; each kind has a default.
    std::optional<PassingSide> side;
};

struct OwnShipStart {
    double latDeg = 0.0;
    double lonDeg = 0.0;
    double courseDeg = 0.0;
    double speedKnots = 0.0;
};

struct EncounterPlacement {
    double latDeg = 0.0;     // the target's start
    double lonDeg = 0.0;
    double courseDeg = 0.0;  // the target's course at the start
    double bearingDeg = 0.0; // of the target from the own ship at the start, relative to the own course (0 to 360)
    double rangeNm = 0.0;    // at the start
    PassingSide side = PassingSide::Port;
    double cpaNm = 0.0;      // as the two sail, measured on the ellipsoid
    double tcpaMin = 0.0;
};

// Limits of a request (the schema says the same).
constexpr double kEncounterMaxCpaNm = 100.0;
constexpr double kEncounterMaxTcpaMin = 1440.0;
// Tolerances of the placement, measured by sailing both vessels.
constexpr double kEncounterCpaToleranceNm = 0.01;
constexpr double kEncounterTcpaToleranceS = 5.0;

// The target's start and course; nothing and `reason` set when the encounter cannot be
// built (speeds that do not make the kind, a CPA too large to reach from the kind's
// bearings in the time, values out of range).
std::optional<EncounterPlacement> PlaceEncounter(const OwnShipStart& own, const EncounterRequest& request,
                                                 std::string& reason);

// Sails both vessels straight on the ellipsoid for `horizonS` seconds and returns the
// closest approach and its time.
struct ApproachFigures {
    double cpaNm;
    double tcpaMin;
};
ApproachFigures MeasureApproach(const OwnShipStart& own, const OwnShipStart& target, double horizonS);

std::optional<EncounterKind> EncounterKindNamed(std::string_view name);
const char* EncounterKindName(EncounterKind kind);
std::optional<PassingSide> PassingSideNamed(std::string_view name);
const char* PassingSideName(PassingSide side);
// The names as a list for messages ("head-on, crossing-starboard, ...").
std::string EncounterKindNames();

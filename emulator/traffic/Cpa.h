#pragma once

// Closest point of approach of a target to the own ship, both moving straight at constant
// speed from their last reported positions.
//
// Flat-earth approximation: positions go into a plane tangent at the own ship, east =
// longitude difference x 60 NM x cos(mean latitude), north = latitude difference x 60 NM.
// Against the ellipsoid this errs by well under 1 % at the ranges where a CPA matters (a
// few tens of nautical miles) away from the poles; the longitude difference is taken
// across the antimeridian when that is shorter.

#include <optional>

struct Motion {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double speedKnots = 0.0;  // NaN (unknown) counts as standing still
    double courseDeg = 0.0;   // over ground, true; NaN counts as standing still
};

struct CpaResult {
    double rangeNm = 0.0;     // distance now
    double bearingDeg = 0.0;  // true bearing of the target from the own ship, 0..360
    double cpaNm = 0.0;       // distance at the closest point
    double tcpaMin = 0.0;     // minutes to it; negative when it has passed (diverging)
};

// Empty when either position is missing (NaN) or off the earth.
std::optional<CpaResult> ComputeCpa(const Motion& own, const Motion& target);

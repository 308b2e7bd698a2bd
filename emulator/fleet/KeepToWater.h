#pragma once

// Keeps a fleet vessel off land, the way a watchkeeper would: it looks ahead along its
// course for the next few minutes (further for faster ships and for ships that turn
// slowly), and when land lies there it turns, at the rate of turn of its size, to the
// nearest heading that is clear, holds that heading, and turns back to its planned course
// once that course is clear again. A vessel that finds no clear heading (a closed bay)
// slows down and stops rather than cross land. While it turns, its rate of turn is the
// turn's, so message 1 shows it.

#include "emulator/fleet/Fleet.h"
#include "geo/LandMask.h"

#include <cstdint>

// FleetVessel::steering bits.
enum KeepToWaterBits : std::uint8_t {
    kKeepToWater = 1U << 7,   // the vessel keeps to water
    kSteerPhaseMask = 3U,     // what it is doing now, a SteerPhase
    kSteerToStarboard = 1U << 2,
    kSteerBlocked = 1U << 3,  // no heading was clear: slowing down to a stop
};

enum SteerPhase : std::uint8_t {
    kSteerFree = 0,       // on its planned course
    kSteerTurningAway = 1,
    kSteerHolding = 2,    // on a heading clear of land
    kSteerResuming = 3,   // turning back to its planned course
};

// Rate of turn in degrees per minute a vessel of this overall length uses to keep clear.
float KeepClearRateOfTurn(int lengthMetres);

// Sets the course change, rate of turn and speed of one step of `hours` for a vessel with
// the kKeepToWater bit; the engine's motion then applies them.
void SteerClearOfLand(FleetVessel& vessel, double hours, const geo::LandMask& mask);

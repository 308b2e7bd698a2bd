#pragma once

#include "emulator/fleet/Fleet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>

// A sea area in degrees. West may exceed east: the area then crosses the 180th meridian.
struct FleetArea {
    double south = 0.0;
    double west = 0.0;
    double north = 0.0;
    double east = 0.0;
};

// Reads "SOUTH,WEST,NORTH,EAST"; nothing when the text is not four numbers of a real
// area (south below north, latitudes within 90, longitudes within 180).
std::optional<FleetArea> ParseFleetArea(const std::string& text);

// The area used when none is given: about 15 nautical miles each way around a position.
FleetArea AreaAround(double latDeg, double lonDeg);

// Appends `count` vessels drawn from the built-in ship and port tables: positions uniform
// in the area, courses uniform, speed and status plausible for the type (some at anchor
// or moored), class A ships sending messages 1 and 5, pleasure craft and sailing vessels
// (types 37 and 36) sending class B messages 18 and 24. MMSIs are unique, also against
// `usedMmsi`, which collects them. The same seed gives the same vessels.
void AddRandomFleet(Fleet& fleet, std::uint32_t count, const FleetArea& area, std::uint32_t seed,
                    std::unordered_set<std::uint32_t>& usedMmsi);

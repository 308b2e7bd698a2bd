#pragma once

#include "emulator/fleet/Fleet.h"
#include "geo/WaterPlacement.h"
#include "platform/LocalClock.h"

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

geo::GeoBox BoxOf(const FleetArea& area);

// Appends `count` vessels drawn from the built-in ship and port tables: positions uniform
// over the area's water (vessels at anchor or moored near a coast where it has one),
// courses uniform, speed and status plausible for the type, class A ships sending
// messages 1 and 5, pleasure craft and sailing vessels (types 37 and 36) sending class B
// messages 18 and 24, an ETA hours to days after `now` and a destination from the port
// table. Every vessel keeps to water. MMSIs are unique, also against `usedMmsi`, which
// collects them. The same seed and time give the same vessels. An area without water
// (the caller refuses it) gets its vessels anywhere in it.
void AddRandomFleet(Fleet& fleet, std::uint32_t count, const FleetArea& area, std::uint32_t seed,
                    std::unordered_set<std::uint32_t>& usedMmsi, const geo::WaterPlacement& water,
                    const platform::LocalTime& now);
// The same over the built-in land data, at the present local time.
void AddRandomFleet(Fleet& fleet, std::uint32_t count, const FleetArea& area, std::uint32_t seed,
                    std::unordered_set<std::uint32_t>& usedMmsi);

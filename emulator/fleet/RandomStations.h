#pragma once

#include "emulator/fleet/Fleet.h"
#include "emulator/fleet/RandomFleet.h"

#include <cstdint>
#include <unordered_set>

struct RandomStationCounts {
    std::uint32_t atons = 0;
    std::uint32_t baseStations = 0;
    std::uint32_t sarAircraft = 0;
    std::uint32_t beacons = 0;  // SART, MOB and EPIRB in turn
};

// Appends random stations of the other kinds: aids to navigation within two nautical
// miles of the fleet's vessels (anywhere in the area when there are none), base stations
// and SAR aircraft in the area, distress beacons near the vessels in the given mode.
// MMSIs follow each kind's rule and are unique, also against `usedMmsi`, which collects
// them. The same seed gives the same stations; the vessels drawn from it stay the same.
void AddRandomStations(Fleet& fleet, const RandomStationCounts& counts, const FleetArea& area, std::uint32_t seed,
                       bool beaconTest, std::unordered_set<std::uint32_t>& usedMmsi);

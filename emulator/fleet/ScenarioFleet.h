#pragma once

// A scenario's stations, routes and events as fleet data for the engine.

#include "emulator/fleet/Fleet.h"
#include "emulator/fleet/FleetCsv.h"
#include "emulator/scenario/ScenarioFile.h"

#include <string>
#include <vector>

// The station fields a scenario takes beyond a vessel's own: station kinds, aids to
// navigation, SAR altitude, beacon mode, safety text and the other messages' switches,
// each checked as its fleet-file column is.
std::vector<ExtraField> StationKindFields();

// Adds the scenario's stations to the fleet, the own ship first, with their routes and
// events. What neither the file nor the scenario's defaults say (a station's kind and
// the fields of other kinds) comes from `commandLine`; the own ship is sent as own ship
// (AIVDO and GPS sentences) when `ownShip` is set. False with `error`, and nothing added,
// when a value cannot be set (the reader has checked them all: the tables disagree).
bool AddScenarioStations(const Scenario& scenario, const VesselTemplate& commandLine, bool ownShip, Fleet& fleet,
                         std::string& error);

// Puts a vessel of the fleet on a route: it starts at the route's first waypoint, on its
// first leg's course and speed.
void PutOnRoute(Fleet& fleet, std::size_t vessel, Route route);

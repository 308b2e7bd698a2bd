#pragma once

// The options that put stations of a scenario or a route into a fleet run, and the
// time factor.

#include "emulator/app/VesselSettings.h"
#include "emulator/fleet/FleetCsv.h"

#include <string>

// A fault of --time-factor, --route-end or of how --scenario and --route are combined;
// empty when they hold.
std::string SimulationOptionError(const VesselSettings& settings);

// Reads --scenario and adds its stations to the fleet, the own ship first; fields the
// file leaves out take the command line's values. False with `error` ("<file>: <path>:
// <reason>") on any fault, and nothing added.
bool AddScenarioFile(const VesselSettings& settings, const VesselTemplate& commandLine, Fleet& fleet,
                         std::string& error);

// Reads --route and puts the fleet's vessel `vessel` (the command line's) on it.
bool PutOnCommandLineRoute(const VesselSettings& settings, Fleet& fleet, std::size_t vessel, std::string& error);

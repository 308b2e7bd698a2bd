#pragma once

// A scenario file: an own ship, targets and timed events, read into plain data for the
// fleet engine. The shape is described by scenario.schema.json beside this file.

#include "emulator/scenario/Encounter.h"
#include "emulator/scenario/Route.h"
#include "emulator/scenario/StationFields.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

enum class StationMotion : std::uint8_t {
    Straight,   // course, speed and rate of turn, as today
    Route,      // waypoints; the engine calls Advance each step
    Encounter,  // placed at the start, then straight
};

struct ScenarioStation {
    // The command line's values, overwritten by what the file gives; for a route the
    // first waypoint, leg course and leg speed, for an encounter the placed start,
    // course and speed.
    StationFields fields;
    FieldMask given = 0;                          // the fields the file gave
    std::map<std::string, nlohmann::json> extra;  // registered extra fields the file gave
    StationMotion motion = StationMotion::Straight;
    std::optional<std::size_t> route;             // into Scenario::routes
    std::optional<EncounterRequest> encounter;    // as asked
    std::optional<EncounterPlacement> placement;  // as placed and measured
    std::string path;                             // "own-ship", "targets[2]"
};

struct ScenarioEvent {
    double atS = 0.0;             // seconds of simulated time from the start
    std::uint32_t mmsi = 0;
    std::size_t station = 0;      // into Scenario::stations
    StationPatch set;             // fields to set (none given: nothing)
    std::optional<bool> send;     // false: the station goes silent; true: it sends again
    std::string path;             // "events[4]"
};

struct Scenario {
    std::string file;
    std::string description;
    std::vector<ScenarioStation> stations;  // the own ship first, then the targets in file order
    std::vector<Route> routes;
    std::vector<ScenarioEvent> events;      // by time; equal times in file order
};

struct ScenarioOptions {
    StationFields defaults;               // the command line's values
    std::vector<ExtraField> extraFields;  // fields other rooms add to a station
};

// Reads a scenario file; a GPX route inside it is found relative to the file's folder.
// On any fault nothing is kept and `error` reads "<file>: <path>: <reason>".
bool ReadScenario(const std::string& path, const ScenarioOptions& options, Scenario& scenario, std::string& error);

// The same from text already read; GPX paths are relative to `folder`.
bool ParseScenario(const std::string& text, const std::string& fileName, const std::string& folder,
                   const ScenarioOptions& options, Scenario& scenario, std::string& error);

// A route from a GPX file for the command-line vessel (--route FILE.gpx).
std::optional<Route> ReadGpxFileRoute(const std::string& path, RouteEnd end, double fallbackSogKnots,
                                      std::string& error);

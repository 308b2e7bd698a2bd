#include "BadScenarios.h"

#include "emulator/scenario/ScenarioEvents.h"
#include "emulator/scenario/ScenarioFile.h"
#include "tests/support/TempDir.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

const std::string kSamples = std::string(KVL_SOURCE_DIR) + "/samples/scenarios/";

ScenarioOptions Options()
{
    ScenarioOptions options;
    options.defaults.vesselName = "FROM COMMAND LINE";
    options.defaults.nmeaDoMsg1 = true;
    options.defaults.vesselSog = 0.0;
    return options;
}

TEST(ScenarioFile, BadScenariosNameThePathAndTheReason)
{
    testsupport::TempDir folder;
    for (const BadScenario& row : BadScenarios()) {
        Scenario scenario;
        scenario.description = "untouched";
        std::string error;
        EXPECT_FALSE(ParseScenario(row.json, "bad.json", folder.Path().string(), Options(), scenario, error)) << row.name;
        EXPECT_EQ(error.rfind("bad.json: " + row.error, 0), 0U) << row.name << ": " << error;
        EXPECT_EQ(scenario.description, "untouched") << row.name;
    }
}

TEST(ScenarioFile, EveryStationKindAndEventFromTheEncounterSample)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(ReadScenario(kSamples + "encounters.json", Options(), s, error)) << error;
    ASSERT_EQ(s.stations.size(), 8U);
    EXPECT_EQ(s.stations[0].path, "own-ship");
    EXPECT_EQ(s.stations[0].fields.vesselName, "OWN SHIP");
    int encounters = 0;
    for (const ScenarioStation& station : s.stations) {
        if (station.motion != StationMotion::Encounter) continue;
        ++encounters;
        ASSERT_TRUE(station.placement) << station.path;
        EXPECT_EQ(station.fields.vesselLat, station.placement->latDeg) << station.path;
        EXPECT_EQ(station.fields.vesselCog, station.placement->courseDeg) << station.path;
        EXPECT_EQ(station.fields.vesselSog, station.encounter->targetSogKnots) << station.path;
        EXPECT_NEAR(station.placement->cpaNm, station.encounter->cpaNm, 0.01) << station.path;
    }
    EXPECT_EQ(encounters, 5);
    const ScenarioStation& pilot = s.stations[6];
    ASSERT_EQ(pilot.motion, StationMotion::Route);
    EXPECT_EQ(s.routes.at(*pilot.route).End(), RouteEnd::Loop);
    EXPECT_EQ(s.routes[*pilot.route].LegSpeedsKnots(), (std::vector<double>{8, 8, 14, 14}));
    EXPECT_DOUBLE_EQ(pilot.fields.vesselLat, 51.95);
    EXPECT_DOUBLE_EQ(pilot.fields.vesselSog, 8.0);
    EXPECT_EQ(pilot.fields.vesselName, "PILOT 7");
    EXPECT_EQ(pilot.fields.portDest, Options().defaults.portDest);  // not in the file: the command line's

    ASSERT_EQ(s.events.size(), 2U);
    EXPECT_EQ(s.events[0].station, 7U);
    EXPECT_EQ(s.events[0].set.given, FieldBit("vessel-sog") | FieldBit("vessel-status"));
    StationFields fisher = s.stations[7].fields;
    ApplyPatch(s.events[0].set, fisher);
    EXPECT_EQ(fisher.vesselSog, 0.0);
    EXPECT_EQ(fisher.vesselStatus, 7);
    EXPECT_EQ(fisher.vesselCog, 10.0);  // not set: kept
    EXPECT_EQ(s.events[1].send, false);
}

TEST(ScenarioFile, GpxRoutesAndTracksRelativeToTheScenario)
{
    Scenario s;
    std::string error;
    ASSERT_TRUE(ReadScenario(kSamples + "gpx-routes.json", Options(), s, error)) << error;
    ASSERT_EQ(s.routes.size(), 2U);
    const ScenarioStation& own = s.stations[0];
    ASSERT_EQ(own.motion, StationMotion::Route);
    EXPECT_EQ(s.routes[*own.route].End(), RouteEnd::Reverse);
    EXPECT_EQ(s.routes[*own.route].LegSpeedsKnots(), std::vector<double>(4, 10.0));  // from vessel-sog
    EXPECT_DOUBLE_EQ(own.fields.vesselLat, 51.98);
    EXPECT_DOUBLE_EQ(own.fields.vesselLon, 3.40);
    // The survey track's first leg: 0.03 degrees of longitude in six minutes.
    double metres = 0;
    GeographicLib::Geodesic::WGS84().Inverse(51.92, 3.55, 51.92, 3.58, metres);
    EXPECT_NEAR(s.routes[*s.stations[1].route].LegSpeedsKnots()[0], metres / 360.0 * 3600.0 / 1852.0, 1e-9);

    Scenario minimal;
    ASSERT_TRUE(ReadScenario(kSamples + "minimal.json", Options(), minimal, error)) << error;
    EXPECT_EQ(minimal.stations.size(), 4U);
    EXPECT_EQ(minimal.stations[1].fields.vesselName, "CROSSER");
    EXPECT_EQ(minimal.stations[2].fields.vesselName, "FROM COMMAND LINE");
    EXPECT_TRUE(minimal.stations[2].fields.nmeaDoMsg1);

    std::optional<Route> route = ReadGpxFileRoute(kSamples + "fairway.gpx", RouteEnd::Loop, 12, error);
    ASSERT_TRUE(route) << error;
    EXPECT_EQ(route->LegSpeedsKnots().size(), 5U);  // four legs and the closing one
    EXPECT_FALSE(ReadGpxFileRoute(kSamples + "fairway.gpx", RouteEnd::Stop, 0, error));
    EXPECT_NE(error.find("fairway.gpx line 5, rtept 1: the first leg has no speed"), std::string::npos) << error;
}

TEST(ScenarioFile, ExtraFieldsRegisteredByOtherRoomsAreCheckedAndCarried)
{
    ScenarioOptions options = Options();
    options.extraFields.push_back({"station-kind", [](const nlohmann::json& v) -> std::optional<std::string> {
                                       if (v == "class-a" || v == "sart") return std::nullopt;
                                       return "must be one of class-a, sart";
                                   }});
    const std::string good = R"({"own-ship": {"vessel-mmsi": 1},
        "targets": [{"vessel-mmsi": 970000001, "station-kind": "sart"}],
        "events": [{"at-s": 60, "mmsi": 970000001, "set": {"station-kind": "class-a", "vessel-sog": 3}}]})";
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(good, "x.json", ".", options, s, error)) << error;
    EXPECT_EQ(s.stations[1].extra.at("station-kind"), "sart");
    EXPECT_EQ(s.events[0].set.extra.at("station-kind"), "class-a");
    EXPECT_EQ(s.events[0].set.given, FieldBit("vessel-sog"));

    const std::string bad = R"({"own-ship": {"vessel-mmsi": 1}, "targets": [{"vessel-mmsi": 2, "station-kind": "sar"}]})";
    EXPECT_FALSE(ParseScenario(bad, "x.json", ".", options, s, error));
    EXPECT_EQ(error, "x.json: targets[0].station-kind: must be one of class-a, sart");
    // Unregistered, the same field is unknown.
    EXPECT_FALSE(ParseScenario(good, "x.json", ".", Options(), s, error));
    EXPECT_EQ(error, "x.json: targets[0].station-kind: unknown field");
}

TEST(ScenarioFile, EventsComeDueOnceInTimeOrder)
{
    const std::string text = R"({"own-ship": {"vessel-mmsi": 1}, "targets": [{"vessel-mmsi": 2}],
        "events": [{"at-s": 30, "mmsi": 2, "send": false}, {"at-s": 10, "mmsi": 1, "set": {"vessel-sog": 4}},
                   {"at-s": 30, "mmsi": 1, "send": true}, {"at-s": 10.5, "mmsi": 2, "set": {"vessel-rot": -3}}]})";
    Scenario s;
    std::string error;
    ASSERT_TRUE(ParseScenario(text, "e.json", ".", Options(), s, error)) << error;
    EventCursor cursor(s.events);
    EXPECT_TRUE(cursor.DueEvents(9.99).empty());
    const auto first = cursor.DueEvents(10.0);
    ASSERT_EQ(first.size(), 1U);
    EXPECT_EQ(first[0].path, "events[1]");
    EXPECT_TRUE(cursor.DueEvents(10.0).empty());
    const auto rest = cursor.DueEvents(100.0);  // a long step delivers everything it passed
    ASSERT_EQ(rest.size(), 3U);
    EXPECT_EQ(rest[0].path, "events[3]");
    EXPECT_EQ(rest[1].path, "events[0]");  // equal times keep the file's order
    EXPECT_EQ(rest[2].path, "events[2]");
    EXPECT_TRUE(cursor.Done());
    EXPECT_TRUE(cursor.DueEvents(1e9).empty());
}

TEST(ScenarioFile, UnreadableFilesAndNotesInTheFile)
{
    Scenario s;
    std::string error;
    EXPECT_FALSE(ReadScenario("/nonexistent/s.json", Options(), s, error));
    EXPECT_EQ(error, "/nonexistent/s.json: cannot be opened");
    testsupport::TempDir folder;
    std::ofstream(folder.File("empty.json")) << "";
    EXPECT_FALSE(ReadScenario(folder.File("empty.json"), Options(), s, error));
    EXPECT_NE(error.find("not valid JSON"), std::string::npos) << error;
    // '$' members are notes anywhere.
    const std::string noted = R"({"$schema": "x", "own-ship": {"$comment": "me", "vessel-mmsi": 5,
        "route": {"$comment": "r", "waypoints": [{"lat": 1, "lon": 1, "sog": 5, "$comment": "w"}, {"lat": 1.1, "lon": 1}]}}})";
    EXPECT_TRUE(ParseScenario(noted, "n.json", ".", Options(), s, error)) << error;
}

} // namespace

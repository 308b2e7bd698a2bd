// A scenario's stations on the fleet engine: the fields of other station kinds, routes,
// events and silent stations, stepped second by second and read back through gpsdecode.
#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/ScenarioFleet.h"
#include "emulator/fleet/StationColumns.h"
#include "emulator/stations/StationKinds.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <fstream>
#include <set>

namespace {

const platform::LocalTime kTime{2026, 6, 1, 10, 20, 30};
constexpr std::uint64_t kStartTick = 5000;
constexpr double kMetresPerDegreeLat = 111200.0;  // near 52 N; the checks allow metres

const std::string kOwn = R"("own-ship": {"vessel-mmsi": 244000001, "vessel-lat": 52.0, "vessel-lon": 3.5,
    "vessel-sog": 12, "vessel-cog": 90, "nmea-domsg1": true})";

double FlatMetres(double lat1, double lon1, double lat2, double lon2)
{
    const double east = (lon2 - lon1) * kMetresPerDegreeLat * std::cos((lat1 + lat2) / 2 * M_PI / 180);
    return std::hypot(east, (lat2 - lat1) * kMetresPerDegreeLat);
}

// As with --nmea-domsg1 on the command line.
bool Read(const std::string& json, Fleet& fleet, std::string& error)
{
    StationFields defaults;
    defaults.nmeaDoMsg1 = true;
    VesselTemplate commandLine;
    commandLine.vessel.messages = kSendMsg1;
    Scenario scenario;
    return ParseScenario(json, "s.json", ".", {defaults, StationKindFields()}, scenario, error) &&
           AddScenarioStations(scenario, commandLine, false, fleet, error);
}

// Each step's decoded reports of one MMSI.
struct ScenarioRun {
    Fleet fleet;
    std::vector<std::vector<testsupport::AisRecord>> steps;  // steps[k]: simulated second k + 1

    std::vector<testsupport::AisRecord> Of(std::size_t step, const std::string& mmsi) const
    {
        std::vector<testsupport::AisRecord> found;
        for (const auto& record : steps[step])
            if (record.at("mmsi") == mmsi) found.push_back(record);
        return found;
    }
};

ScenarioRun Simulate(const std::string& json, int seconds, bool ignoreTimings = true, StartPhases phases = {})
{
    ScenarioRun run;
    std::string error;
    EXPECT_TRUE(Read(json, run.fleet, error)) << error;
    if (phases.promptEnd == 0) phases = {run.fleet.vessels.size(), run.fleet.vessels.size()};
    FleetEngine engine(run.fleet, {}, ignoreTimings);
    engine.SetLocalTimeSource([] { return kTime; });
    engine.SetUtcTimeSource([] { return kTime; });
    engine.Start(kStartTick, phases, 1);
    std::string out;
    for (int k = 1; k <= seconds; ++k) {
        out.clear();
        engine.Step(kStartTick + static_cast<std::uint64_t>(k) * 1000, out);
        run.steps.push_back(testsupport::GpsDecode(out, {"-u"}));
    }
    return run;
}

TEST(ScenarioFleet, StationKindFieldsGoThroughTheFleetFilesTable)
{
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(Read("{" + kOwn + R"(, "targets": [
        {"vessel-mmsi": 992440001, "station-kind": "aton", "aton-type": 29, "aton-virtual": true, "vessel-name": "NW"},
        {"vessel-mmsi": 970000001, "station-kind": "sart", "beacon-mode": "test"},
        {"vessel-mmsi": 244000003, "nmea-domsg18": 1, "nmea-domsg27": true, "safety-text": "HELLO"}]})",
                     fleet, error))
        << error;
    ASSERT_EQ(fleet.vessels.size(), 4U);
    EXPECT_EQ(fleet.vessels[1].kind, static_cast<std::uint8_t>(StationKind::AidToNavigation));
    EXPECT_EQ(fleet.vessels[1].messages, kSendMsg21);
    EXPECT_EQ(fleet.vessels[1].atonType, 29);
    EXPECT_TRUE(fleet.vessels[1].atonVirtual);
    EXPECT_STREQ(fleet.texts.Text(fleet.vessels[2].safetyText), "SART TEST");
    EXPECT_EQ(fleet.vessels[2].messages, kSendMsg1 | kSendMsg14);
    EXPECT_EQ(fleet.vessels[3].messages, kSendMsg1 | kSendMsg18 | kSendMsg27);

    const std::pair<std::string, std::string> bad[] = {
        {R"("station-kind": "ship")", "\"ship\" is not one of vessel|base|aton|sar-aircraft|sart|mob|epirb"},
        {R"("aton-type": 32)", "32 is not a type of aid to navigation from 0 to 31"},
        {R"("aton-type": "3")", "must be an integer"},
        {R"("beacon-mode": "on")", "\"on\" is not active or test"},
        {R"("nmea-domsg4": "yes")", "must be true or false (or 1 or 0)"},
        {R"("safety-text": 5)", "must be a text"},
        {R"("sar-altitude": 1.5)", "must be an integer"},
    };
    for (const auto& [field, reason] : bad) {
        const std::string name = field.substr(1, field.find('"', 1) - 1);
        Fleet none;
        EXPECT_FALSE(Read("{" + kOwn + R"(, "targets": [{"vessel-mmsi": 2, )" + field + "}]}", none, error)) << field;
        EXPECT_EQ(error, "s.json: targets[0]." + name + ": " + reason);
        EXPECT_FALSE(Read("{" + kOwn + R"(, "events": [{"at-s": 1, "mmsi": 244000001, "set": {)" + field + "}}]}", none,
                          error))
            << field;
        EXPECT_EQ(error, "s.json: events[0].set." + name + ": " + reason);
    }
}

// Every column of a fleet file is a field of a scenario, known to the reader or registered
// by the fleet, and the published schema lists the same.
TEST(ScenarioFleet, ScenarioFieldsAreTheFleetFilesColumnsAndTheSchemas)
{
    std::set<std::string> scenario(StationFieldNames().begin(), StationFieldNames().end());
    std::set<std::string> extra;
    for (const ExtraField& field : StationKindFields()) extra.insert(field.name);
    std::set<std::string> columns;
    for (std::size_t c = 0; c < StationColumnCount(); ++c) columns.insert(StationColumnName(c));
    std::set<std::string> both = scenario;
    both.insert(extra.begin(), extra.end());
    EXPECT_EQ(both, columns);

    std::ifstream file(std::string(KVL_SOURCE_DIR) + "/emulator/scenario/scenario.schema.json");
    const nlohmann::json schema = nlohmann::json::parse(file);
    std::set<std::string> inSchema;
    for (const auto& [name, rule] : schema["$defs"]["stationKindFields"]["properties"].items()) inSchema.insert(name);
    EXPECT_EQ(inSchema, extra);
}

TEST(ScenarioFleet, AnEventChangesItsStationAtTheFirstStepAtOrAfterItsTime)
{
    KVL_REQUIRE_GPSDECODE();
    struct Row {
        const char* name;
        const char* atS;
        std::size_t firstStep;  // 1: the first second
    };
    const Row rows[] = {{"on a step", "6", 6}, {"between steps", "6.4", 7}, {"just after the start", "0.001", 1},
                        {"at the start", "0", 1}};
    for (const Row& row : rows) {
        const ScenarioRun run = Simulate("{" + kOwn + R"(, "targets": [{"vessel-mmsi": 244000002, "vessel-lat": 52.01,
            "vessel-lon": 3.5, "vessel-sog": 10, "vessel-cog": 0}], "events": [{"at-s": )" +
                                     row.atS + R"(, "mmsi": 244000002, "set": {"vessel-sog": 0, "vessel-status": 1}}]})",
                                 9);
        std::size_t first = 0;
        for (std::size_t k = 0; k < run.steps.size() && first == 0; ++k) {
            const auto reports = run.Of(k, "244000002");
            ASSERT_EQ(reports.size(), 1U) << row.name << " step " << k + 1;
            if (reports[0].at("speed") == "0" && reports[0].at("status") == "1") first = k + 1;
        }
        EXPECT_EQ(first, row.firstStep) << row.name;
        // Stopped from there on: the position no longer changes.
        if (first != 0) {
            EXPECT_EQ(run.Of(first - 1, "244000002")[0].at("lat"), run.Of(8, "244000002")[0].at("lat")) << row.name;
        }
    }
}

TEST(ScenarioFleet, ASilentStationSendsNothingAndKeepsMoving)
{
    KVL_REQUIRE_GPSDECODE();
    const ScenarioRun run = Simulate("{" + kOwn + R"(, "targets": [{"vessel-mmsi": 244000002, "vessel-lat": 52.01,
        "vessel-lon": 3.5, "vessel-sog": 10, "vessel-cog": 0, "nmea-domsg5": true}],
        "events": [{"at-s": 3, "mmsi": 244000002, "send": false}, {"at-s": 8, "mmsi": 244000002, "send": true}]})",
                             10);
    for (std::size_t k = 0; k < run.steps.size(); ++k)
        EXPECT_EQ(run.Of(k, "244000002").size(), k + 1 >= 3 && k + 1 < 8 ? 0U : 2U) << "step " << k + 1;
    const auto before = run.Of(1, "244000002")[0];
    const auto after = run.Of(7, "244000002")[0];
    // gpsdecode -u: 1/600000 minute; six seconds at 10 knots is 30.9 m north.
    const double northM = (std::stod(after.at("lat")) - std::stod(before.at("lat"))) / 600000.0 * kMetresPerDegreeLat;
    EXPECT_NEAR(northM, 6 * 10 * 1852.0 / 3600, 0.5);
}

TEST(ScenarioFleet, RoutesEndAndEventsTakeVesselsOffThem)
{
    KVL_REQUIRE_GPSDECODE();
    // A leg of about 111 m due north at 10 knots: 21.6 s.
    const ScenarioRun run = Simulate("{" + kOwn + R"(, "targets": [
        {"vessel-mmsi": 244000002, "vessel-status": 5,
         "route": {"waypoints": [{"lat": 52.01, "lon": 3.5, "sog": 10}, {"lat": 52.011, "lon": 3.5}], "end": "stop"}},
        {"vessel-mmsi": 244000003,
         "route": {"waypoints": [{"lat": 52.02, "lon": 3.5, "sog": 10}, {"lat": 52.03, "lon": 3.5}], "end": "loop"}}],
        "events": [{"at-s": 5, "mmsi": 244000003, "set": {"vessel-cog": 45}}]})",
                             30);
    const auto stopped = run.Of(29, "244000002")[0];
    EXPECT_EQ(stopped.at("speed"), "0");
    EXPECT_EQ(stopped.at("status"), "5");
    EXPECT_LT(FlatMetres(std::stod(stopped.at("lat")) / 600000, std::stod(stopped.at("lon")) / 600000, 52.011, 3.5), 1.0);
    EXPECT_EQ(run.Of(25, "244000002")[0].at("lat"), stopped.at("lat"));
    EXPECT_EQ(run.fleet.vessels[1].routeSlot, 0U);  // the finished route is let go

    // Off its route at 5 s, on course 045 at the leg's speed, in a straight line.
    for (std::size_t k : {4, 15, 29}) {
        EXPECT_EQ(run.Of(k, "244000003")[0].at("course"), "450") << k + 1;  // tenths of a degree
        EXPECT_EQ(run.Of(k, "244000003")[0].at("speed"), "100") << k + 1;
    }
    const auto at5 = run.Of(4, "244000003")[0];
    const auto at30 = run.Of(29, "244000003")[0];
    const double northM = (std::stod(at30.at("lat")) - std::stod(at5.at("lat"))) / 600000.0 * kMetresPerDegreeLat;
    EXPECT_NEAR(northM, 25 * 10 * 1852.0 / 3600 * std::cos(M_PI / 4), 1.0);
}

TEST(ScenarioFleet, ScenarioStationsReportInTheFirstStepAndFleetVesselsAfterThemSpread)
{
    KVL_REQUIRE_GPSDECODE();
    std::string csv = "vessel-mmsi,vessel-lat,vessel-lon,nmea-domsg1,nmea-domsg5\n";
    for (int i = 0; i < 40; ++i) csv += std::to_string(245000000 + i) + ",52.1,3.6,1,1\n";
    ScenarioRun run;
    std::string error;
    ASSERT_TRUE(Read("{" + kOwn + R"(, "targets": [
        {"vessel-mmsi": 244000002, "nmea-domsg5": true, "vessel-sog": 0},
        {"vessel-mmsi": 244000003, "nmea-domsg1": false, "nmea-domsg18": true, "nmea-domsg24": true, "vessel-sog": 0},
        {"vessel-mmsi": 992440001, "station-kind": "aton"}]})",
                     run.fleet, error))
        << error;
    ASSERT_TRUE(ParseFleetCsv(csv, "f.csv", VesselTemplate(), run.fleet, error)) << error;
    FleetEngine engine(run.fleet, {}, false);
    engine.SetLocalTimeSource([] { return kTime; });
    engine.SetUtcTimeSource([] { return kTime; });
    engine.Start(kStartTick, StartPhases{4, 4}, 7);
    std::string out;
    engine.Step(kStartTick + 1000, out);
    std::multiset<std::string> first;
    for (const auto& record : testsupport::GpsDecode(out, {"-s"}))
        first.insert(record.at("mmsi") + " " + record.at("type"));
    // Message 24 as its parts A and B.
    const std::pair<const char*, std::size_t> expected[] = {{"244000001 1", 1},  {"244000002 1", 1},
                                                            {"244000002 5", 1},  {"244000003 18", 1},
                                                            {"244000003 24", 2}, {"992440001 21", 1}};
    for (const auto& [report, count] : expected) EXPECT_EQ(first.count(report), count) << report;
    std::size_t fleetReports = 0;
    for (const std::string& report : first) fleetReports += report.starts_with("245") ? 1 : 0;
    EXPECT_LT(fleetReports, 40U);  // spread over their first interval, not all at once
}

TEST(ScenarioFleet, AnEventSwitchesOnASart)
{
    KVL_REQUIRE_GPSDECODE();
    const ScenarioRun run = Simulate("{" + kOwn + R"(, "targets": [{"vessel-mmsi": 970012345, "vessel-lat": 52.01,
        "vessel-lon": 3.5, "vessel-sog": 0}],
        "events": [{"at-s": 4, "mmsi": 970012345, "set": {"station-kind": "sart"}}]})",
                             5);
    const auto before = run.Of(2, "970012345");
    ASSERT_EQ(before.size(), 1U);
    EXPECT_EQ(before[0].at("status"), "0");
    std::size_t burst = 0;
    bool text = false;
    for (const auto& record : run.Of(3, "970012345")) {
        if (record.at("type") == "1") burst += record.at("status") == "14" ? 1 : 100;
        if (record.at("type") == "14") text = record.at("text") == "SART ACTIVE";
    }
    EXPECT_EQ(burst, 8U);
    EXPECT_TRUE(text);
}

} // namespace

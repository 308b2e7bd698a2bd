// The published schema and the reader must accept and refuse the same files: the
// samples and the bad scenarios go through an independent validator (Debian's
// python3-jsonschema), and the schema's field lists, ranges, enums and required
// members are fed to the reader.

#include "BadScenarios.h"

#include "emulator/scenario/Encounter.h"
#include "emulator/scenario/ScenarioFile.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

const std::string kSchema = std::string(KVL_SOURCE_DIR) + "/emulator/scenario/scenario.schema.json";
const std::string kSamples = std::string(KVL_SOURCE_DIR) + "/samples/scenarios/";

nlohmann::json Schema()
{
    std::ifstream file(kSchema);
    return nlohmann::json::parse(file);
}

// Prints "<file>\tvalid" or "<file>\tinvalid" for each file named on the command line.
const char* const kValidator = R"(
import json, sys
from jsonschema import Draft202012Validator
schema = json.load(open(sys.argv[1]))
Draft202012Validator.check_schema(schema)
validator = Draft202012Validator(schema)
for name in sys.argv[2:]:
    try:
        document = json.load(open(name))
    except ValueError:
        print(name + "\tinvalid")
        continue
    print(name + ("\tvalid" if validator.is_valid(document) else "\tinvalid"))
)";

TEST(ScenarioSchema, ValidatorAgreesWithTheReader)
{
    testsupport::TempDir folder;
    std::vector<std::string> argv{"/usr/bin/python3", "-c", kValidator, kSchema};
    std::map<std::string, bool> expectValid;
    for (const auto& entry : std::filesystem::directory_iterator(kSamples)) {
        if (entry.path().extension() != ".json") continue;
        argv.push_back(entry.path().string());
        expectValid[argv.back()] = true;
    }
    ASSERT_GE(expectValid.size(), 3U);
    const std::vector<BadScenario> bad = BadScenarios();
    std::map<std::string, std::string> names;
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const std::string path = folder.File("bad" + std::to_string(i) + ".json");
        std::ofstream(path) << bad[i].json;
        argv.push_back(path);
        expectValid[path] = !bad[i].schemaRefuses;
        names[path] = bad[i].name;
    }
    const testsupport::ProcessResult run = testsupport::RunProcess(argv);
    ASSERT_EQ(run.exitCode, 0) << "the validator needs Debian's python3-jsonschema (scripts/install-deps.sh): " << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::size_t seen = 0;
    while (std::getline(lines, line)) {
        const std::size_t tab = line.find('\t');
        const std::string file = line.substr(0, tab);
        ASSERT_TRUE(expectValid.count(file)) << line;
        EXPECT_EQ(line.substr(tab + 1) == "valid", expectValid[file])
            << (names.count(file) ? names[file] : file) << " is " << line.substr(tab + 1) << " by the schema";
        ++seen;
    }
    EXPECT_EQ(seen, expectValid.size());
}

TEST(ScenarioSchema, StationFieldsAndRangesAreTheReaders)
{
    const nlohmann::json schema = Schema();
    const nlohmann::json& fields = schema["$defs"]["stationFields"]["properties"];
    std::set<std::string> inSchema;
    for (const auto& [name, rule] : fields.items()) {
        inSchema.insert(name);
        const std::optional<FieldRange> range = StationFieldRange(name);
        EXPECT_EQ(range.has_value(), rule.contains("minimum")) << name;
        if (!range) continue;
        EXPECT_EQ(rule["minimum"].get<double>(), range->min) << name;
        EXPECT_EQ(rule["maximum"].get<double>(), range->max) << name;
    }
    const std::vector<std::string>& reader = StationFieldNames();
    EXPECT_EQ(inSchema, std::set<std::string>(reader.begin(), reader.end()));

    const nlohmann::json& encounter = schema["$defs"]["encounter"]["properties"];
    std::set<std::string> kinds;
    for (const auto& kind : encounter["kind"]["enum"]) {
        EXPECT_TRUE(EncounterKindNamed(kind.get<std::string>())) << kind;
        kinds.insert(kind.get<std::string>());
    }
    EXPECT_EQ(EncounterKindNames(), "head-on, crossing-starboard, crossing-port, overtaking, overtaken");
    EXPECT_EQ(kinds.size(), 5U);
    for (const auto& side : encounter["side"]["enum"]) EXPECT_TRUE(PassingSideNamed(side.get<std::string>())) << side;
    EXPECT_EQ(encounter["cpa-nm"]["maximum"].get<double>(), kEncounterMaxCpaNm);
    EXPECT_EQ(encounter["tcpa-min"]["maximum"].get<double>(), kEncounterMaxTcpaMin);
    EXPECT_EQ(schema["$defs"]["waypoint"]["properties"]["sog"]["maximum"].get<double>(), kRouteMaxSogKnots);
}

// Each enum value of a route's end is read, and each member the schema requires is
// missed by the reader when it is taken out of a good file.
TEST(ScenarioSchema, EnumsAndRequiredMembersAreEnforcedByTheReader)
{
    const nlohmann::json schema = Schema();
    nlohmann::json base = nlohmann::json::parse(R"({
        "own-ship": {"vessel-mmsi": 1, "vessel-sog": 10, "vessel-cog": 90},
        "targets": [{"vessel-mmsi": 2, "encounter": {"kind": "head-on", "cpa-nm": 0.2, "tcpa-min": 10, "sog": 8}},
                    {"vessel-mmsi": 3, "route": {"waypoints": [{"lat": 0.1, "lon": 0.1, "sog": 5}, {"lat": 0.2, "lon": 0.1}]}}],
        "events": [{"at-s": 5, "mmsi": 2, "send": false}]})");
    Scenario s;
    std::string error;
    ScenarioOptions options;
    ASSERT_TRUE(ParseScenario(base.dump(), "b.json", ".", options, s, error)) << error;
    for (const auto& end : schema["$defs"]["route"]["properties"]["end"]["enum"]) {
        nlohmann::json withEnd = base;
        withEnd["targets"][1]["route"]["end"] = end;
        EXPECT_TRUE(ParseScenario(withEnd.dump(), "b.json", ".", options, s, error)) << end << ": " << error;
    }
    const struct {
        const char* def;
        nlohmann::json::json_pointer at;
        const char* path;
    } holders[] = {
        {"", nlohmann::json::json_pointer(""), ""},
        {"encounter", nlohmann::json::json_pointer("/targets/0/encounter"), "targets[0].encounter."},
        {"waypoint", nlohmann::json::json_pointer("/targets/1/route/waypoints/1"), "targets[1].route.waypoints[1]."},
        {"event", nlohmann::json::json_pointer("/events/0"), "events[0]."},
    };
    for (const auto& holder : holders) {
        const nlohmann::json& def = std::string(holder.def).empty() ? schema : schema["$defs"][holder.def];
        ASSERT_TRUE(def.contains("required")) << holder.def;
        for (const auto& member : def["required"]) {
            nlohmann::json without = base;
            without[holder.at].erase(member.get<std::string>());
            EXPECT_FALSE(ParseScenario(without.dump(), "b.json", ".", options, s, error)) << member;
            EXPECT_EQ(error, "b.json: " + std::string(holder.path) + member.get<std::string>() + ": is missing");
        }
    }
}

} // namespace

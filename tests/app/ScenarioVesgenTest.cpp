// Scenarios, routes and the time factor through the built vesgen: bad files and options
// are refused with their place and reason before anything starts, and what the stream
// carries is checked by scripts/check-encounters.py, which decodes it with gpsdecode and
// computes CPA, TCPA, bearings, waypoint passes and event times on its own.
#include "tests/scenario/BadScenarios.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string kSource = KVL_SOURCE_DIR;

class ScenarioVesgen : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(access(testsupport::ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        const char* previous = getenv("TMPDIR");
        m_previousTmpDir = previous ? previous : "";
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }
    void TearDown() override
    {
        if (m_previousTmpDir.empty()) unsetenv("TMPDIR");
        else setenv("TMPDIR", m_previousTmpDir.c_str(), 1);
    }
    testsupport::ProcessResult Vesgen(std::vector<std::string> options, std::chrono::milliseconds limit = 10s)
    {
        options.insert(options.begin(), testsupport::ProgramPath("vesgen"));
        return testsupport::RunProcess(options, {}, limit);
    }
    testsupport::ProcessResult Checker(const std::vector<std::string>& options, std::chrono::milliseconds limit)
    {
        std::vector<std::string> argv{"python3", kSource + "/scripts/check-encounters.py", "--vesgen",
                                      testsupport::ProgramPath("vesgen")};
        argv.insert(argv.end(), options.begin(), options.end());
        return testsupport::RunProcess(argv, {}, limit);
    }
    std::string m_previousTmpDir;
    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
};

TEST_F(ScenarioVesgen, BadScenariosAndOptionsAreRefusedWithTheirPlaceAndNothingStarts)
{
    const std::string out = m_work.File("out.nmea");
    const std::string file = m_work.File("bad.json");
    for (const BadScenario& bad : BadScenarios()) {
        std::ofstream(file, std::ios::trunc) << bad.json;
        const testsupport::ProcessResult r = Vesgen({"--scenario", file, "--nmea-domsg1", "--output", out});
        EXPECT_EQ(r.exitCode, 255) << bad.name;
        EXPECT_NE(r.err.find("Error : " + file + ": " + bad.error), std::string::npos) << bad.name << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << bad.name;
    }
    const std::string gpx = kSource + "/samples/scenarios/fairway.gpx";
    const std::string good = kSource + "/samples/scenarios/minimal.json";
    struct Row {
        const char* name;
        std::vector<std::string> options;
        std::string error;
    };
    const Row rows[] = {
        {"time factor too small", {"--time-factor", "0.09"}, "Error : --time-factor 0.09 is not from 0.1 to 100"},
        {"time factor too large", {"--time-factor", "100.5"}, "Error : --time-factor 100.5 is not from 0.1 to 100"},
        {"time factor not a number", {"--time-factor", "nan"}, "Error : --time-factor nan is not from 0.1 to 100"},
        {"time factor negative", {"--time-factor", "-2"}, "Error : --time-factor -2 is not from 0.1 to 100"},
        {"route file missing", {"--route", m_work.File("none.gpx")}, "Error : --route " + m_work.File("none.gpx") + ": cannot be opened"},
        {"route not GPX", {"--route", good}, "Error : --route " + good + " line 1"},
        {"route without a speed", {"--route", gpx}, "the first leg has no speed"},
        {"route end unknown", {"--route", gpx, "--route-end", "bounce"}, "Error : --route-end \"bounce\" is not stop, loop or reverse"},
        {"route end alone", {"--route-end", "loop"}, "Error : --route-end applies to a --route"},
        {"route beside a scenario", {"--route", gpx, "--scenario", good}, "Error : --route gives the command-line vessel a route"},
        {"scenario missing", {"--scenario", m_work.File("none.json")}, "Error : " + m_work.File("none.json") + ": cannot be opened"},
        {"scenario is a folder", {"--scenario", m_work.Path().string()}, "Error : " + m_work.Path().string() + ": "},
    };
    for (const Row& row : rows) {
        std::vector<std::string> options = row.options;
        options.insert(options.end(), {"--nmea-domsg1", "--output", out});
        const testsupport::ProcessResult r = Vesgen(options);
        EXPECT_EQ(r.exitCode, 255) << row.name;
        EXPECT_NE(r.err.find(row.error), std::string::npos) << row.name << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << row.name;
    }
}

// Encounters of every kind over a table of CPAs, TCPAs and speeds, routes that loop,
// reverse and stop, a GPX track and events, 33 simulated minutes at a hundred times the
// clock.
TEST_F(ScenarioVesgen, EncountersRoutesAndEventsHoldInTheStream)
{
    KVL_REQUIRE_GPSDECODE();
    const testsupport::ProcessResult r =
        Checker({"--time-factor", "100", kSource + "/tests/app/data/encounter-table.json"}, 90s);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("all checks hold"), std::string::npos) << r.out;
    // Every target was checked: 15 encounters, 4 routes and 8 event checks.
    std::size_t checks = 0;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) checks += line.starts_with("  ok") ? 1 : 0;
    EXPECT_GE(checks, 15U * 2 + 3 + 4 + 8) << r.out;
}

TEST_F(ScenarioVesgen, RouteOptionSailsAGpxTrackAtItsTimesSpeeds)
{
    KVL_REQUIRE_GPSDECODE();
    const testsupport::ProcessResult r = Checker(
        {"--time-factor", "100", "--minutes", "30", "--route", kSource + "/samples/scenarios/survey-track.gpx",
         "--route-end", "reverse"},
        60s);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    // The track's five legs take 22.5 minutes: a sixth pass is one on the way back.
    std::smatch passes;
    ASSERT_TRUE(std::regex_search(r.out, passes, std::regex("ok    own ship: (\\d+) waypoint passes \\(reverse\\)")))
        << r.out;
    EXPECT_GE(std::stoi(passes[1]), 6) << r.out;
}

// Every clock follows simulated time: a step is one simulated second whatever the factor,
// the GPS sentences' UTC, message 4's UTC and message 5's local time move on together.
TEST_F(ScenarioVesgen, TimeFactorRunsEveryClockOnSimulatedTime)
{
    KVL_REQUIRE_GPSDECODE();
    const std::string csv = m_work.File("base.csv");
    std::ofstream(csv) << "station-kind,vessel-mmsi,vessel-lat,vessel-lon\nbase,2440001,52,4\n";
    const std::string out = m_work.File("factor.nmea");
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--time-factor", "40", "--nmea-own-ship",
                                           "--nmea-domsg5", "--ignore-timings", "--fleet", csv, "--output", out});
    std::this_thread::sleep_for(3s);
    const testsupport::ProcessResult r = vesgen.Stop(SIGTERM);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string text = testsupport::ReadWholeFile(out);

    // UTC seconds of the day from each step's $GPRMC.
    std::vector<int> rmc;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("$GPRMC,")) continue;
        const std::string hhmmss = line.substr(7, 6);
        rmc.push_back(std::stoi(hhmmss.substr(0, 2)) * 3600 + std::stoi(hhmmss.substr(2, 2)) * 60 +
                      std::stoi(hhmmss.substr(4, 2)));
    }
    ASSERT_GT(rmc.size(), 40U) << "three seconds at 40 times the clock";
    std::size_t oneSecondApart = 0;
    for (std::size_t i = 1; i < rmc.size(); ++i) oneSecondApart += (rmc[i] - rmc[i - 1] + 86400) % 86400 == 1 ? 1 : 0;
    EXPECT_GT(oneSecondApart, rmc.size() * 9 / 10) << "a step is one simulated second";

    std::vector<int> baseUtc;
    std::vector<std::string> eta;
    for (const testsupport::AisRecord& m : testsupport::GpsDecode(text)) {
        if (!m.contains("type")) continue;  // gpsdecode's reading of the GPS sentences
        if (m.at("type") == "4")
            baseUtc.push_back(std::stoi(m.at("timestamp").substr(11, 2)) * 3600 +
                              std::stoi(m.at("timestamp").substr(14, 2)) * 60 + std::stoi(m.at("timestamp").substr(17, 2)));
        if (m.at("type") == "5") eta.push_back(m.at("eta"));
    }
    // The base station reports every step, with the UTC of the step's GPS sentences.
    ASSERT_EQ(baseUtc.size(), rmc.size());
    EXPECT_EQ(baseUtc, rmc);
    ASSERT_GE(eta.size(), 40U);
    // Message 5's local time ("MM-DDThh:mmZ") moves on with the steps: a minute per sixty.
    const auto minutes = [](const std::string& e) { return std::stoi(e.substr(6, 2)) * 60 + std::stoi(e.substr(9, 2)); };
    const int span = (rmc.back() - rmc.front() + 86400) % 86400;
    EXPECT_NEAR((minutes(eta.back()) - minutes(eta.front()) + 1440) % 1440, span / 60.0, 1.0);
}

} // namespace

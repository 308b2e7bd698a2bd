// vesgen with stations of every kind, end to end: a live gpsd must report each kind with
// its message type; the command-line station takes the kind options and refuses bad ones.
#include "tests/support/FreePort.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/GpsdWatch.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

class StationKinds : public testing::Test {
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
    std::string m_previousTmpDir;
    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
};

// "mmsi type" and what must be in the report.
struct Report {
    const char* mmsi;
    const char* type;
    const char* has;
};
const Report kEveryKind[] = {
    {"244000101", "1", "\"status\":0"},
    {"244000101", "27", "\"type\":27"},
    {"2440001", "4", "\"epfd\":7"},
    {"992440001", "21", "\"name\":\"MAAS CENTRE SAFE WATER MARK\""},
    {"111244001", "9", "\"alt\":1200"},
    {"970010001", "1", "\"status\":14"},
    {"970010001", "14", "\"text\":\"SART ACTIVE\""},
    {"972010002", "1", "\"status\":14"},
    {"972010002", "14", "\"text\":\"MOB ACTIVE\""},
    {"974010003", "1", "\"status\":14"},
    {"974010003", "14", "\"text\":\"EPIRB ACTIVE\""},
    {"970010004", "1", "\"status\":15"},
    {"970010004", "14", "\"text\":\"SART TEST\""},
};

bool Matches(const std::string& report, const Report& r)
{
    return report.find("\"type\":" + std::string(r.type) + ",") != std::string::npos &&
           report.find("\"mmsi\":" + std::string(r.mmsi) + ",") != std::string::npos && report.find(r.has) != std::string::npos;
}

TEST_F(StationKinds, LiveGpsdReportsEachKindWithItsTypeFromACsvFleet)
{
    ASSERT_EQ(testsupport::RunProcess({"sh", "-c", "command -v gpsd"}).exitCode, 0)
        << "gpsd not found: install the Debian package gpsd";
    const std::string csv = m_work.File("stations.csv");
    std::ofstream(csv)
        << "station-kind,vessel-mmsi,vessel-name,nmea-domsg1,nmea-domsg27,vessel-postdevice,aton-type,sar-altitude,beacon-mode\n"
           "vessel,244000101,CARGO ONE,1,1,,,,\n"
           "base,2440001,,,,7,,,\n"
           "aton,992440001,MAAS CENTRE SAFE WATER MARK,,,,29,,\n"
           "sar-aircraft,111244001,,,,,,1200,\n"
           "sart,970010001,,,,,,,\n"
           "mob,972010002,,,,,,,\n"
           "epirb,974010003,,,,,,,\n"
           "sart,970010004,,,,,,,test\n";
    const std::uint16_t port = testsupport::FreeLoopbackPort(SOCK_DGRAM);
    const std::uint16_t gpsdPort = testsupport::FreeLoopbackPort(SOCK_STREAM);
    testsupport::BackgroundProcess gpsd({"gpsd", "-N", "-n", "-b", "-S", std::to_string(gpsdPort),
                                         "udp://127.0.0.1:" + std::to_string(port)});
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet", csv, "--ignore-timings",
                                           "--output", "UDP*127.0.0.1:" + std::to_string(port)});
    const auto allSeen = [](const std::vector<std::string>& reports) {
        for (const Report& r : kEveryKind) {
            bool seen = false;
            for (const std::string& report : reports) seen = seen || Matches(report, r);
            if (!seen) return false;
        }
        return true;
    };
    const std::vector<std::string> reports = testsupport::WatchGpsdAis(gpsdPort, allSeen, 20s);
    for (const Report& r : kEveryKind) {
        bool seen = false;
        for (const std::string& report : reports) seen = seen || Matches(report, r);
        EXPECT_TRUE(seen) << r.mmsi << " type " << r.type << " with " << r.has << " among " << reports.size() << " reports";
    }
    EXPECT_EQ(vesgen.ErrSoFar(), "") << "every MMSI follows its kind's rule";
}

TEST_F(StationKinds, CommandLineStationIsDueAtOnceAndAWrongMmsiIsOnlyAWarning)
{
    KVL_REQUIRE_GPSDECODE();
    const std::string out = m_work.File("sart.txt");
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--station-kind", "sart",
                                           "--vessel-mmsi", "244000001", "--vessel-lat", "-41.25", "--output", out});
    std::this_thread::sleep_for(2500ms);
    const testsupport::ProcessResult r = vesgen.Stop(SIGINT);
    EXPECT_NE(r.err.find("Warning : MMSI 244000001 does not follow the AIS-SART rule 970xxyyyy (station kind sart); "
                         "it is sent as it is"),
              std::string::npos)
        << r.err;
    std::multiset<std::string> seen;
    for (const auto& record : testsupport::GpsDecode(testsupport::ReadWholeFile(out))) {
        EXPECT_EQ(record.at("mmsi"), "244000001");
        seen.insert(record.at("type") + (record.count("text") ? " " + record.at("text") : " " + record.at("status")));
    }
    // The first step: a burst of eight position reports and the text, one of each.
    EXPECT_EQ(seen.count("1 14"), 8u);
    EXPECT_EQ(seen.count("14 SART ACTIVE"), 1u);
}

TEST_F(StationKinds, BadStationOptionsStopBeforeAnythingStarts)
{
    const std::string out = m_work.File("never.txt");
    const std::pair<std::vector<std::string>, const char*> rows[] = {
        {{"--station-kind", "ship"}, "Error : --station-kind \"ship\" is not one of vessel|base|aton|sar-aircraft|sart|mob|epirb"},
        {{"--station-kind", "mob", "--beacon-mode", "on"}, "Error : --beacon-mode \"on\" is not active or test"},
        {{"--station-kind", "aton", "--aton-type", "32"}, "Error : --aton-type 32 is not a type of aid to navigation from 0 to 31"},
        {{"--fleet-beacons", "-1"}, "the argument ('-1') for option '--fleet-beacons' is invalid"},
    };
    for (const auto& [args, message] : rows) {
        std::vector<std::string> argv{testsupport::ProgramPath("vesgen"), "--output", out};
        argv.insert(argv.end(), args.begin(), args.end());
        const testsupport::ProcessResult r = testsupport::RunProcess(argv);
        EXPECT_EQ(r.exitCode, 255) << message;
        EXPECT_NE((r.err + r.out).find(message), std::string::npos) << r.err << r.out;
        EXPECT_EQ(access(out.c_str(), F_OK), -1) << message;
    }
}

} // namespace

// vesgen with a fleet, end to end: real time, a real file, gpsd's decoder.
#include "emulator/fleet/FleetCsv.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

namespace {

class FleetRun : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(access(testsupport::ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }
    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
};

TEST_F(FleetRun, TwoHundredRandomVesselsToAFileAreEachDecodable)
{
    KVL_REQUIRE_GPSDECODE();
    const std::string out = m_work.File("fleet.txt");
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet-random", "200", "--fleet-seed",
                                           "11", "--fleet-area", "51.8,3.9,52.1,4.4", "--ignore-timings", "--output",
                                           out});
    sleep(3);
    const testsupport::ProcessResult r = vesgen.Stop(SIGINT);
    EXPECT_EQ(r.err.find("Information : random fleet"), std::string::npos) << "a given seed is not announced";
    const auto records = testsupport::GpsDecode(testsupport::ReadWholeFile(out));
    std::set<std::string> mmsis;
    for (const auto& record : records) {
        mmsis.insert(record.at("mmsi"));
        if (record.count("lat") != 0 && record.at("type") != "5") {
            const double lat = std::stod(record.at("lat")) / 600000.0;  // unscaled 1/10000 minute
            const double lon = std::stod(record.at("lon")) / 600000.0;
            EXPECT_TRUE(lat >= 51.79 && lat <= 52.11 && lon >= 3.89 && lon <= 4.41) << lat << " " << lon;
        }
    }
    EXPECT_EQ(mmsis.size(), 200u);
}

// Position reports (message 1 or 18) of each vessel.
std::vector<std::size_t> PositionReports(const testsupport::MessageCounts& counts)
{
    std::vector<std::size_t> reports;
    for (const auto& [mmsi, types] : counts) {
        const auto one = types.find(1);
        const auto eighteen = types.find(18);
        reports.push_back((one != types.end() ? one->second : 0) + (eighteen != types.end() ? eighteen->second : 0));
    }
    return reports;
}

// Every vessel reported in every step but the one cut short by the stop.
void ExpectEveryVesselInEveryStep(const testsupport::MessageCounts& counts, std::size_t vessels)
{
    EXPECT_EQ(counts.size(), vessels);
    const std::vector<std::size_t> reports = PositionReports(counts);
    const std::size_t steps = *std::max_element(reports.begin(), reports.end());
    EXPECT_GE(steps, 3u);
    EXPECT_EQ(std::count_if(reports.begin(), reports.end(), [&](std::size_t n) { return n + 1 < steps; }), 0)
        << "vessels that missed a step";
}

TEST_F(FleetRun, EveryVesselOfALargeFleetReachesAFileInEveryStep)
{
    KVL_REQUIRE_GPSDECODE();
#ifdef KVL_INSTRUMENTED_BUILD
    constexpr std::size_t kVessels = 2000;  // a sanitizer's build steps far more slowly
    constexpr unsigned kSeconds = 8;
#else
    constexpr std::size_t kVessels = 20000;  // each step is megabytes
    constexpr unsigned kSeconds = 4;
#endif
    const std::string out = m_work.File("fleet.txt");
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet-random",
                                           std::to_string(kVessels), "--fleet-seed", "3", "--ignore-timings",
                                           "--output", out});
    sleep(kSeconds);
    const testsupport::ProcessResult r = vesgen.Stop(SIGINT);
    EXPECT_EQ(r.err.find("dropped"), std::string::npos) << r.err;
    ExpectEveryVesselInEveryStep(testsupport::GpsDecodeCounts(testsupport::ReadWholeFile(out)), kVessels);
}

TEST_F(FleetRun, AStopDoesNotWaitForAStepOfHundredsOfThousandsOfVessels)
{
    // Every step of 300,000 vessels takes seconds to compose (of 30,000 in a sanitizer's build,
    // which also takes seconds to draw a larger fleet before it runs).
#ifdef KVL_INSTRUMENTED_BUILD
    const std::string vessels = "30000";
#else
    const std::string vessels = "300000";
#endif
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet-random", vessels,
                                           "--fleet-seed", "8", "--ignore-timings", "--output",
                                           m_work.File("fleet.txt")});
    sleep(4);
    const auto start = std::chrono::steady_clock::now();
    const testsupport::ProcessResult r = vesgen.Stop(SIGTERM);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_LT(took, std::chrono::milliseconds(1500));
    EXPECT_EQ(r.err.find("late to stop"), std::string::npos) << r.err;
}

TEST_F(FleetRun, DefaultBufferUdpReceiverGetsEveryDatagramOfEveryStep)
{
    KVL_REQUIRE_GPSDECODE();
    const int receiver = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_GE(receiver, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(receiver, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(receiver, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string target = "UDP*127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    // 200 vessels every step: about 600 datagrams a second, more than a default buffer
    // holds at once.
    constexpr std::size_t kVessels = 200;
    testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet-random",
                                           std::to_string(kVessels), "--fleet-seed", "5", "--ignore-timings",
                                           "--output", target});
    // A receiver busy with other work: it drains its socket every 50 ms.
    std::string received;
    std::size_t datagrams = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(4500);
    while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        char buffer[2048];
        for (ssize_t n; (n = recv(receiver, buffer, sizeof buffer, 0)) > 0; ++datagrams)
            received.append(buffer, static_cast<std::size_t>(n));
    }
    vesgen.Stop(SIGINT);
    close(receiver);
    EXPECT_EQ(static_cast<std::size_t>(std::count(received.begin(), received.end(), '\n')), datagrams)
        << "one sentence per datagram";
    ExpectEveryVesselInEveryStep(testsupport::GpsDecodeCounts(received), kVessels);
}

TEST_F(FleetRun, CsvFaultStopsBeforeAnythingStarts)
{
    const std::string csv = m_work.File("bad.csv");
    std::ofstream(csv) << "vessel-name,vessel-mmsi\nGOOD,244000001\nBAD,24400000x\n";
    const std::string out = m_work.File("never.txt");
    const auto r = testsupport::RunProcess({testsupport::ProgramPath("vesgen"), "--fleet", csv, "--output", out});
    EXPECT_EQ(r.exitCode, 255);
    EXPECT_NE(r.err.find("Error : " + csv + " line 3, column 2 (vessel-mmsi)"), std::string::npos) << r.err;
    EXPECT_EQ(access(out.c_str(), F_OK), -1);
}

// Every sample fleet runs and each of its vessels is heard with its name within two
// steps: the demo and the README examples rely on them.
TEST_F(FleetRun, EverySampleFleetIsDecodedWithEachVesselsNameAndPlace)
{
    KVL_REQUIRE_GPSDECODE();
    std::vector<std::filesystem::path> samples;
    for (const auto& entry : std::filesystem::directory_iterator(KVL_SAMPLES_DIR))
        if (entry.path().extension() == ".csv") samples.push_back(entry.path());
    ASSERT_GE(samples.size(), 2u);
    ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(KVL_SAMPLES_DIR) / "rotterdam.csv"));

    for (const auto& sample : samples) {
        SCOPED_TRACE(sample.string());
        Fleet fleet;
        std::string error;
        ASSERT_TRUE(ReadFleetCsv(sample.string(), VesselTemplate{}, fleet, error)) << error;
        const std::string out = m_work.File(sample.stem().string() + ".nmea");
        testsupport::BackgroundProcess vesgen(
            {testsupport::ProgramPath("vesgen"), "--fleet", sample.string(), "--ignore-timings", "--output", out});
        sleep(3);
        const testsupport::ProcessResult r = vesgen.Stop(SIGTERM);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.err, "");

        std::map<std::string, std::string> names;  // by MMSI, from messages 5 and 24 A
        std::map<std::string, std::pair<double, double>> places;
        for (const auto& record : testsupport::GpsDecode(testsupport::ReadWholeFile(out))) {
            if (record.count("shipname") != 0) names[record.at("mmsi")] = record.at("shipname");
            if (record.count("lat") != 0 && record.at("type") != "5")
                places[record.at("mmsi")] = {std::stod(record.at("lat")) / 600000.0,
                                             std::stod(record.at("lon")) / 600000.0};
        }
        std::set<std::uint32_t> mmsis;
        for (const FleetVessel& v : fleet.vessels) {
            const std::string mmsi = std::to_string(v.mmsi);
            EXPECT_TRUE(mmsis.insert(v.mmsi).second) << "MMSI " << mmsi << " twice";
            EXPECT_EQ(names[mmsi], fleet.texts.Text(v.name)) << mmsi;
            ASSERT_EQ(places.count(mmsi), 1u) << mmsi << " sent no position";
            // A few seconds at sea: within a nautical mile of the start.
            EXPECT_NEAR(places[mmsi].first, v.latitude, 1.0 / 60) << mmsi;
            EXPECT_NEAR(places[mmsi].second, v.longitude, 2.0 / 60) << mmsi;
        }
        EXPECT_GE(fleet.vessels.size(), 4u);
    }
}

// The area's water decides whether and how a random fleet starts.
TEST_F(FleetRun, AreaWithoutWaterIsRefusedAndLittleWaterIsTold)
{
    const std::string out = m_work.File("never.txt");
    const auto land = testsupport::RunProcess({testsupport::ProgramPath("vesgen"), "--fleet-random", "10",
                                               "--fleet-area", "48,8,49,9", "--nmea-domsg1", "--output", out});
    EXPECT_EQ(land.exitCode, 255);
    EXPECT_NE(land.err.find("Error : the fleet area 48,8,49,9 is all land"), std::string::npos) << land.err;
    EXPECT_EQ(access(out.c_str(), F_OK), -1);

    struct Row {
        const char* name;
        const char* area;
        const char* told;
    };
    for (const Row& row : {Row{"2 % sea by The Hague", "52,4.3,52.2,5", "% of the fleet area 52,4.3,52.2,5 is water"},
                           Row{"Lake Geneva and its shores", "46,6,46.6,7", "has no sea; the random vessels are put on its lakes"}}) {
        testsupport::BackgroundProcess vesgen({testsupport::ProgramPath("vesgen"), "--fleet-random", "20", "--fleet-area",
                                               row.area, "--fleet-seed", "1", "--ignore-timings", "--output",
                                               m_work.File("run.txt")});
        sleep(2);
        const testsupport::ProcessResult r = vesgen.Stop(SIGINT);
        EXPECT_NE(r.err.find(row.told), std::string::npos) << row.name << ": " << r.err;
        EXPECT_EQ(r.err.find("Error"), std::string::npos) << row.name << ": " << r.err;
    }
}

} // namespace

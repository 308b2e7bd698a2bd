// vesgen with a fleet, end to end: real time, a real file, gpsd's decoder.
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <fstream>
#include <set>

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

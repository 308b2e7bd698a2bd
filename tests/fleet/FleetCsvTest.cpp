#include "emulator/fleet/FleetCsv.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

VesselTemplate Defaults()
{
    VesselTemplate t;
    t.vessel.mmsi = 338272001;
    t.vessel.latitude = 1.5;
    t.vessel.speed = 7.0F;
    t.vessel.messages = kSendMsg1;
    t.name = "DEFAULT";
    t.callSign = "CALL";
    t.destination = "DEST";
    return t;
}

TEST(FleetCsv, ReadsQuotedFieldsBomLineEndsAndTakesTheCommandLineForTheRest)
{
    const std::string text = "\xEF\xBB\xBFvessel-name,vessel-mmsi,vessel-lat,nmea-domsg5,port-dest\r\n"
                             "\"ALPHA, ONE\",244000001,52.25,1,\"ROTTERDAM\"\r\n"
                             "\"SAY \"\"HI\"\"\",244000002,,0,\"TWO\nLINES\"\n"
                             "BRAVO,244000003,-10,yes,\n"
                             "\n";
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleetCsv(text, "f.csv", Defaults(), fleet, error)) << error;
    ASSERT_EQ(fleet.vessels.size(), 3u);
    const FleetVessel& a = fleet.vessels[0];
    EXPECT_STREQ(fleet.texts.Text(a.name), "ALPHA, ONE");
    EXPECT_EQ(a.mmsi, 244000001u);
    EXPECT_DOUBLE_EQ(a.latitude, 52.25);
    EXPECT_EQ(a.messages, kSendMsg1 | kSendMsg5);
    EXPECT_STREQ(fleet.texts.Text(a.destination), "ROTTERDAM");
    EXPECT_STREQ(fleet.texts.Text(a.callSign), "CALL");  // absent column
    EXPECT_FLOAT_EQ(a.speed, 7.0F);
    const FleetVessel& b = fleet.vessels[1];
    EXPECT_STREQ(fleet.texts.Text(b.name), "SAY \"HI\"");
    EXPECT_DOUBLE_EQ(b.latitude, 1.5);  // empty cell
    EXPECT_EQ(b.messages, kSendMsg1);
    EXPECT_STREQ(fleet.texts.Text(b.destination), "TWO\nLINES");
    EXPECT_DOUBLE_EQ(fleet.vessels[2].latitude, -10.0);
    EXPECT_STREQ(fleet.texts.Text(fleet.vessels[2].destination), "DEST");
}

TEST(FleetCsv, FaultsNameTheFileLineAndColumnAndAddNothing)
{
    const struct {
        const char* text;
        const char* error;
    } rows[] = {
        {"vessel-name,vessel-mmsi\nA,1\nB,-5\n", "f.csv line 3, column 2 (vessel-mmsi): \"-5\" is not a valid value"},
        {"vessel-name,vessel-mmsi\nA,4294967296\n", "f.csv line 2, column 2 (vessel-mmsi): \"4294967296\" is not a valid value"},
        {"vessel-lat\n52.5x\n", "f.csv line 2, column 1 (vessel-lat): \"52.5x\" is not a valid value"},
        {"vessel-name,vessel-accuracy\n\"A\nB\",2\n", "f.csv line 3, column 2 (vessel-accuracy): \"2\" is not a valid value"},
        {"vessel-sog,nmea-domsg1\n 12,1\n", "f.csv line 2, column 1 (vessel-sog): \" 12\" is not a valid value"},
        {"vessel-name,vessel-speed\nA,1\n", "f.csv line 1, column 2: unknown column \"vessel-speed\""},
        {"vessel-name,vessel-name\nA,B\n", "f.csv line 1, column 2: column \"vessel-name\" appears twice"},
        {"vessel-name,vessel-mmsi\nA,1,2\n", "f.csv line 2: 3 fields where the header names 2"},
        {"vessel-name\n\"OPEN\n", "f.csv line 2: a quoted field is not closed properly"},
        {"vessel-name\n\"A\"B\n", "f.csv line 2: a quoted field is not closed properly"},
        {"", "f.csv line 1: the header row naming the columns is missing"},
    };
    for (const auto& row : rows) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleetCsv(row.text, "f.csv", Defaults(), fleet, error)) << row.text;
        EXPECT_EQ(error, row.error);
        EXPECT_TRUE(fleet.vessels.empty()) << row.text;
    }
    Fleet fleet;
    std::string error;
    EXPECT_FALSE(ReadFleetCsv("/nonexistent/fleet.csv", Defaults(), fleet, error));
    EXPECT_EQ(error, "/nonexistent/fleet.csv: cannot be opened");
}

TEST(FleetCsv, ValuesNoMessageCarriesAreRefusedOrCutShort)
{
    const std::string longCell = std::string(1000000, 'x') + "\x1b[2J";
    const struct {
        std::string text;
        std::string error;
    } rows[] = {
        {"vessel-lat\nnan\n", "f.csv line 2, column 1 (vessel-lat): \"nan\" is not a valid value"},
        {"vessel-sog\ninf\n", "f.csv line 2, column 1 (vessel-sog): \"inf\" is not a valid value"},
        {"vessel-cog\n-Infinity\n", "f.csv line 2, column 1 (vessel-cog): \"-Infinity\" is not a valid value"},
        {"vessel-lon\n1e400\n", "f.csv line 2, column 1 (vessel-lon): \"1e400\" is not a valid value"},
        {std::string("vessel-mmsi\n\"1\x1b[31m\0\xff\"\n", 23), "f.csv line 2, column 1 (vessel-mmsi): \"1\\x1B[31m\\x00\\xFF\" is not a valid value"},
        {"vessel-mmsi\n" + longCell + "\n",
         "f.csv line 2, column 1 (vessel-mmsi): \"" + std::string(40, 'x') + "... (1000004 bytes)\" is not a valid value"},
        {"vessel-name,\x1b]0;title\x07\n", "f.csv line 1, column 2: unknown column \"\\x1B]0;title\\x07\""},
    };
    for (const auto& row : rows) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleetCsv(row.text, "f.csv", Defaults(), fleet, error)) << row.error;
        EXPECT_EQ(error, row.error);
    }
}

struct WarningRow {
    const char* name;
    std::string text;
    std::size_t vessels;
    std::vector<std::string> warnings;
};

TEST(FleetCsv, WarningsNameTheLinesOfDoubtfulRowsAndTheRowsStay)
{
    std::string fifteenTwins = "vessel-mmsi\n";
    for (int i = 0; i < 16; ++i) fifteenTwins += "244000001\n";
    std::vector<std::string> fifteen;
    for (int line = 3; line <= 12; ++line)
        fifteen.push_back("f.csv line " + std::to_string(line) + ": MMSI 244000001 is also on line 2; a plotter shows them as one");
    fifteen.push_back("f.csv: 5 more rows with an MMSI used before");
    const WarningRow rows[] = {
        {"InRange", "vessel-lat,vessel-lon,vessel-mmsi\n-90,180,244000001\n90,-180,244000002\n", 2, {}},
        {"OutOfRange",
         "vessel-lat,vessel-mmsi,vessel-sog\n91,4294967295,102.2\n0,244000002,1e30\n",
         2,
         {"f.csv line 2, column 1 (vessel-lat): 91 is outside what AIS messages carry (-90 to 90 degrees)",
          "f.csv line 2, column 2 (vessel-mmsi): 4294967295 is outside what AIS messages carry (0 to 999999999; an "
          "MMSI has nine digits)",
          "f.csv line 3, column 3 (vessel-sog): 1e30 is outside what AIS messages carry (0 to 102.2 knots)"}},
        {"NoMmsiColumnOneRow", "vessel-name\nA\n", 1, {}},
        {"NoMmsiColumnSeveralRows",
         "vessel-name\nA\n\nB\n\"C\nC\"\n",
         3,
         {"f.csv has no vessel-mmsi column: its 3 vessels (lines 2 to 5) all take the MMSI 338272001; a plotter "
          "shows them as one"}},
        {"SharedMmsi",
         "vessel-name,vessel-mmsi\nA,244000001\nB,244000002\nC,244000001\nD,338272001\n",
         4,
         {"f.csv line 4: MMSI 244000001 is also on line 2; a plotter shows them as one",
          "f.csv line 5: MMSI 338272001 is also the command line's vessel's; a plotter shows them as one"}},
        {"ManySharedAreSummedUp", fifteenTwins, 16, fifteen},
        {"HeaderOnly", "vessel-name,vessel-mmsi\r\n", 0, {"f.csv holds no vessels, only its header row"}},
    };
    for (const WarningRow& row : rows) {
        SCOPED_TRACE(row.name);
        Fleet fleet;
        fleet.vessels.push_back(Defaults().vessel);  // the command line's own vessel
        std::string error;
        std::vector<std::string> warnings;
        ASSERT_TRUE(ParseFleetCsv(row.text, "f.csv", Defaults(), fleet, error, &warnings)) << error;
        EXPECT_EQ(warnings, row.warnings);
        EXPECT_EQ(fleet.vessels.size(), 1 + row.vessels) << "a warning keeps the row";
    }
}

TEST(FleetCsv, OnlyARegularFileOfBoundedSizeIsRead)
{
    const testsupport::TempDir folder;
    const std::string dir = folder.Path().string();
    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);  // no writer: opening it would wait
    std::ofstream(dir + "/big.csv").close();
    ASSERT_EQ(truncate((dir + "/big.csv").c_str(), (256 << 20) + 1), 0);  // sparse: no disk used
    const std::pair<std::string, std::string> rows[] = {
        {dir, dir + ": is a folder, not a fleet file"},
        {dir + "/fifo", dir + "/fifo: is not a regular file; a fleet is read from a file"},
        {"/dev/zero", "/dev/zero: is not a regular file; a fleet is read from a file"},
        {dir + "/big.csv", dir + "/big.csv: is larger than 256 MiB, the most a fleet file may hold"},
        {dir + "/none\x1b.csv", dir + "/none\\x1B.csv: cannot be opened"},
    };
    for (const auto& [path, expected] : rows) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ReadFleetCsv(path, Defaults(), fleet, error));
        EXPECT_EQ(error, expected);
    }
}

} // namespace

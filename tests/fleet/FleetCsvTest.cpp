#include "emulator/fleet/FleetCsv.h"

#include <gtest/gtest.h>

#include <string>

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

} // namespace

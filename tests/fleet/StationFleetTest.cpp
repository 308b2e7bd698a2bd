// Stations of every kind in a fleet: from CSV columns and drawn at random.
#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/RandomFleet.h"
#include "emulator/fleet/RandomStations.h"
#include "emulator/stations/StationKinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <unordered_set>

namespace {

TEST(StationCsv, EachRowGetsItsKindAndAnotherKindStartsFromItsOwnMessages)
{
    VesselTemplate commandLine;
    commandLine.vessel.messages = kSendMsg1 | kSendMsg5;  // --nmea-domsg1 --nmea-domsg5
    commandLine.vessel.altitude = 300;
    const std::string csv =
        "station-kind,vessel-mmsi,nmea-domsg1,nmea-domsg14,nmea-domsg27,aton-type,aton-virtual,aton-off-position,"
        "sar-altitude,beacon-mode,safety-text\n"
        ",244000001,,,1,,,,,,\n"                  // the command line's kind and messages
        "base,2440001,1,,,,,,,,\n"                // base: 4, and 1 asked for
        "aton,992440001,,,,31,yes,1,,,\n"
        "sar-aircraft,111244001,,,,,,,5000,,\n"
        "sar-aircraft,111244002,,,,,,,-1,,\n"
        "mob,972000001,,,,,,,,test,\n"
        "epirb,974000001,,0,,,,,,,\n"              // without its text
        "sart,970000001,,,,,,,,,BATTERY LOW\n";
    Fleet fleet;
    std::string error;
    ASSERT_TRUE(ParseFleetCsv(csv, "s.csv", commandLine, fleet, error)) << error;
    struct Row {
        StationKind kind;
        std::uint16_t messages;
        const char* text;
    };
    const Row expected[] = {
        {StationKind::Vessel, kSendMsg1 | kSendMsg5 | kSendMsg27, "SAFETY TEST"},
        {StationKind::BaseStation, kSendMsg4 | kSendMsg1, "SAFETY TEST"},
        {StationKind::AidToNavigation, kSendMsg21, "SAFETY TEST"},
        {StationKind::SarAircraft, kSendMsg9, "SAFETY TEST"},
        {StationKind::SarAircraft, kSendMsg9, "SAFETY TEST"},
        {StationKind::Mob, kSendMsg1 | kSendMsg14, "MOB TEST"},
        {StationKind::Epirb, kSendMsg1, "EPIRB ACTIVE"},
        {StationKind::Sart, kSendMsg1 | kSendMsg14, "BATTERY LOW"},
    };
    ASSERT_EQ(fleet.vessels.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const FleetVessel& v = fleet.vessels[i];
        EXPECT_EQ(static_cast<StationKind>(v.kind), expected[i].kind) << "row " << i + 1;
        EXPECT_EQ(v.messages, expected[i].messages) << "row " << i + 1;
        EXPECT_STREQ(fleet.texts.Text(v.safetyText), expected[i].text) << "row " << i + 1;
    }
    EXPECT_EQ(fleet.vessels[2].atonType, 31);
    EXPECT_TRUE(fleet.vessels[2].atonVirtual && fleet.vessels[2].atonOffPosition);
    EXPECT_EQ(fleet.vessels[1].altitude, 300);  // the command line's
    EXPECT_EQ(fleet.vessels[3].altitude, 4094);
    EXPECT_EQ(fleet.vessels[4].altitude, 4095);
    EXPECT_TRUE(fleet.vessels[5].beaconTest);
}

TEST(StationCsv, BadStationValuesNameTheLineAndColumn)
{
    const std::pair<const char*, const char*> rows[] = {
        {"station-kind\nship\n", "line 2, column 1 (station-kind): \"ship\""},
        {"aton-type\n32\n", "line 2, column 1 (aton-type): \"32\""},
        {"aton-type\n-1\n", "line 2, column 1 (aton-type): \"-1\""},
        {"beacon-mode\non\n", "line 2, column 1 (beacon-mode): \"on\""},
        {"vessel-mmsi,sar-altitude\n1,high\n", "line 2, column 2 (sar-altitude): \"high\""},
        {"nmea-domsg21\nmaybe\n", "line 2, column 1 (nmea-domsg21): \"maybe\""},
    };
    for (const auto& [csv, message] : rows) {
        Fleet fleet;
        std::string error;
        EXPECT_FALSE(ParseFleetCsv(csv, "s.csv", VesselTemplate(), fleet, error)) << csv;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_TRUE(fleet.vessels.empty());
    }
}

double DistanceNm(const FleetVessel& a, const FleetVessel& b)
{
    const double dLat = (a.latitude - b.latitude) * 60;
    const double dLon = (a.longitude - b.longitude) * 60 * std::cos(a.latitude * 3.14159265358979 / 180);
    return std::hypot(dLat, dLon);
}

TEST(RandomStations, KindsCountsRulesAndPlacesAndTheVesselsStayAsTheyWere)
{
    const FleetArea area{51.8, 3.9, 52.1, 4.4};
    Fleet plain;
    std::unordered_set<std::uint32_t> plainUsed;
    AddRandomFleet(plain, 40, area, 77, plainUsed);

    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, 40, area, 77, used);
    AddRandomStations(fleet, {30, 3, 2, 7}, area, 77, false, used);
    ASSERT_EQ(fleet.vessels.size(), 40u + 30 + 3 + 2 + 7);
    EXPECT_EQ(used.size(), fleet.vessels.size()) << "MMSIs are unique";

    std::map<StationKind, int> kinds;
    for (std::size_t i = 40; i < fleet.vessels.size(); ++i) {
        const FleetVessel& v = fleet.vessels[i];
        const auto kind = static_cast<StationKind>(v.kind);
        ++kinds[kind];
        EXPECT_TRUE(MmsiFitsKind(v.mmsi, kind)) << v.mmsi;
        if (kind == StationKind::AidToNavigation || IsDistressBeacon(kind)) {
            double nearest = 1e9;
            for (std::size_t j = 0; j < 40; ++j) nearest = std::min(nearest, DistanceNm(v, fleet.vessels[j]));
            EXPECT_LT(nearest, 2.05) << v.mmsi;
        } else {
            EXPECT_TRUE(v.latitude >= area.south && v.latitude <= area.north && v.longitude >= area.west &&
                        v.longitude <= area.east) << v.mmsi;
        }
        if (kind == StationKind::SarAircraft) {
            EXPECT_TRUE(v.altitude >= 150 && v.altitude <= 2500) << v.altitude;
        }
    }
    EXPECT_EQ(kinds, (std::map<StationKind, int>{{StationKind::AidToNavigation, 30}, {StationKind::BaseStation, 3},
                                                 {StationKind::SarAircraft, 2}, {StationKind::Sart, 3},
                                                 {StationKind::Mob, 2}, {StationKind::Epirb, 2}}));

    // The vessels and their timing do not change when stations join them, even ahead of them.
    std::rotate(fleet.vessels.begin(), fleet.vessels.begin() + 40, fleet.vessels.end());
    FleetEngine withStations(fleet, {true, false}, false);
    FleetEngine without(plain, {true, false}, false);
    const platform::LocalTime time{2026, 1, 2, 3, 4, 5};
    for (FleetEngine* engine : {&withStations, &without}) {
        engine->SetLocalTimeSource([time] { return time; });
        engine->SetUtcTimeSource([time] { return time; });
        engine->Start(1000000, 0, 77);
    }
    std::size_t vesselLines = 0;
    for (std::uint64_t tick = 1001000; tick <= 1040000; tick += 1000) {
        std::string a, b;
        withStations.Step(tick, a);
        without.Step(tick, b);
        ASSERT_GE(a.size(), b.size());
        ASSERT_EQ(a.substr(a.size() - b.size()), b) << "tick " << tick;
        vesselLines += static_cast<std::size_t>(std::count(b.begin(), b.end(), '\n'));
    }
    EXPECT_GT(vesselLines, 100u);
}

TEST(RandomStations, NoStationWithoutItsCountAndBeaconsInTestMode)
{
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomStations(fleet, {0, 0, 0, 0}, {0, 0, 1, 1}, 1, false, used);
    EXPECT_TRUE(fleet.vessels.empty());
    AddRandomStations(fleet, {0, 0, 0, 4}, {0, 0, 1, 1}, 1, true, used);
    ASSERT_EQ(fleet.vessels.size(), 4u);
    const char* texts[] = {"SART TEST", "MOB TEST", "EPIRB TEST", "SART TEST"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_TRUE(fleet.vessels[i].beaconTest);
        EXPECT_STREQ(fleet.texts.Text(fleet.vessels[i].safetyText), texts[i]);
    }
}

} // namespace

#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"
#include "shipdata/ShipTables.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <set>
#include <unordered_set>

namespace {

Fleet Make(std::uint32_t count, const FleetArea& area, std::uint32_t seed)
{
    Fleet fleet;
    std::unordered_set<std::uint32_t> used{244000001};
    AddRandomFleet(fleet, count, area, seed, used);
    return fleet;
}

TEST(RandomFleet, SameSeedSameFleetUniqueMmsisInsideTheArea)
{
    const FleetArea area{51.8, 3.9, 52.1, 4.4};
    const Fleet a = Make(20000, area, 42);
    const Fleet b = Make(20000, area, 42);
    const Fleet c = Make(20000, area, 43);
    ASSERT_EQ(a.vessels.size(), 20000u);
    std::unordered_set<std::uint32_t> mmsis{244000001};
    int sameAsOtherSeed = 0;
    int classB = 0;
    int atBerth = 0;
    for (std::size_t i = 0; i < a.vessels.size(); ++i) {
        const FleetVessel& v = a.vessels[i];
        EXPECT_EQ(v.mmsi, b.vessels[i].mmsi);
        EXPECT_EQ(v.latitude, b.vessels[i].latitude);
        EXPECT_STREQ(a.texts.Text(v.name), b.texts.Text(b.vessels[i].name));
        sameAsOtherSeed += v.mmsi == c.vessels[i].mmsi ? 1 : 0;
        EXPECT_TRUE(mmsis.insert(v.mmsi).second) << v.mmsi;
        EXPECT_GE(v.mmsi, 201000000u);
        EXPECT_LE(v.mmsi, 775999999u);
        EXPECT_TRUE(v.latitude >= area.south && v.latitude <= area.north && v.longitude >= area.west &&
                    v.longitude <= area.east);
        EXPECT_TRUE(v.course >= 0.0F && v.course < 360.0F);
        const bool leisure = v.shipType == 36 || v.shipType == 37;
        EXPECT_EQ(v.messages, leisure ? kSendMsg18 | kSendMsg24 : kSendMsg1 | kSendMsg5) << v.shipType;
        classB += leisure ? 1 : 0;
        if (v.navStatus == 1 || v.navStatus == 5) {
            ++atBerth;
            EXPECT_LT(v.speed, 3.0F);
        }
        if (v.shipType == 52 && v.navStatus == 0) {
            EXPECT_LE(v.speed, 9.0F);
        }
        if (v.shipType == 71 && v.navStatus == 0) {
            EXPECT_GE(v.speed, 16.0F);
        }
    }
    EXPECT_LT(sameAsOtherSeed, 10);
    EXPECT_NEAR(classB, 4000, 400);
    EXPECT_GT(atBerth, 1000);
}

TEST(RandomFleet, AreaAcrossTheDateLine)
{
    const Fleet fleet = Make(2000, {-20, 179.5, -19, -179.5}, 1);
    for (const FleetVessel& v : fleet.vessels)
        EXPECT_TRUE(v.longitude >= 179.5 || v.longitude <= -179.5) << v.longitude;
}

const platform::LocalTime kNow{2026, 12, 31, 22, 50, 10};  // the ETA crosses into the next year

// Minutes from kNow to an ETA (month, day, hour, minute), taking the nearer year.
long MinutesAhead(const std::uint8_t eta[4])
{
    std::tm now{};
    now.tm_year = 2026 - 1900;
    now.tm_mon = 11;
    now.tm_mday = 31;
    now.tm_hour = 22;
    now.tm_min = 50;
    std::tm then = now;
    then.tm_year = eta[0] < 12 ? 2027 - 1900 : 2026 - 1900;
    then.tm_mon = eta[0] - 1;
    then.tm_mday = eta[1];
    then.tm_hour = eta[2];
    then.tm_min = eta[3];
    return static_cast<long>(timegm(&then) - timegm(&now)) / 60;
}

bool LandWithinKm(double lat, double lon, double km)
{
    constexpr double kKmPerDegree = 111.2;
    for (int bearing = 0; bearing < 360; bearing += 10) {
        const double b = bearing * 3.141592653589793 / 180.0;
        for (double d = 0.1; d <= km; d += 0.1)
            if (!geo::LandMask::Builtin().IsWater(lat + d * std::cos(b) / kKmPerDegree,
                                                  lon + d * std::sin(b) / (kKmPerDegree * std::cos(lat * 3.141592653589793 / 180.0))))
                return true;
    }
    return false;
}

TEST(RandomFleet, OnWaterWithVoyageDataAndABeam)
{
    const FleetArea area{51.5, 3.0, 52.5, 4.8};  // the North Sea, the Maas mouth and the Netherlands
    const geo::WaterPlacement water(geo::LandMask::Builtin(), BoxOf(area));
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, 5000, area, 11, used, water, kNow);
    std::set<std::string> ports;
    for (const wchar_t* port : g_ports) ports.insert(std::string(port, port + std::wcslen(port)));
    int nearCoast = 0;
    int atBerth = 0;
    for (const FleetVessel& v : fleet.vessels) {
        EXPECT_EQ(geo::LandMask::Builtin().SurfaceAt(v.latitude, v.longitude), geo::Surface::Ocean)
            << v.latitude << " " << v.longitude;
        EXPECT_GE(v.dims[2], 1) << v.shipType;
        EXPECT_GE(v.dims[3], 1) << v.shipType;
        const long ahead = MinutesAhead(v.eta);
        EXPECT_GE(ahead, 2 * 60);
        EXPECT_LE(ahead, 96 * 60);
        EXPECT_EQ(ports.count(fleet.texts.Text(v.destination)), 1u) << fleet.texts.Text(v.destination);
        EXPECT_NE(v.steering & kKeepToWater, 0);
        if (v.navStatus == 1 || v.navStatus == 5) {
            ++atBerth;
            nearCoast += LandWithinKm(v.latitude, v.longitude, 2.6) ? 1 : 0;
        }
    }
    // Ships at anchor or moored lie by the coast.
    EXPECT_GT(atBerth, 300);
    EXPECT_EQ(nearCoast, atBerth);
}

TEST(RandomFleet, MessageFiveCarriesTheStoredEta)
{
    KVL_REQUIRE_GPSDECODE();
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, 50, {51.5, 3.0, 52.5, 4.8}, 3, used);
    for (FleetVessel& v : fleet.vessels) v.messages = kSendMsg5;
    fleet.vessels[1].eta[0] = 0;  // none stored: the local time, as the single vessel sends
    FleetEngine engine(fleet, {true, false}, true);
    engine.SetLocalTimeSource([] { return kNow; });
    std::string out;
    engine.Start(1000, 0, 1);
    engine.Step(2000, out);
    const auto records = testsupport::GpsDecode(out);
    ASSERT_EQ(records.size(), fleet.vessels.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FleetVessel& v = fleet.vessels[i];
        char expected[32];
        if (i == 1)
            std::snprintf(expected, sizeof expected, "%02u-%02uT%02u:%02uZ", kNow.month, kNow.day, kNow.hour, kNow.minute);
        else
            std::snprintf(expected, sizeof expected, "%02d-%02dT%02d:%02dZ", v.eta[0], v.eta[1], v.eta[2], v.eta[3]);
        EXPECT_EQ(records[i].at("eta"), expected) << i;
    }
}

TEST(RandomFleet, AreaTexts)
{
    EXPECT_TRUE(ParseFleetArea("51.8,3.9,52.1,4.4").has_value());
    EXPECT_TRUE(ParseFleetArea("-90,-180,90,180").has_value());
    for (const char* bad : {"", "1,2,3", "1,2,3,4,5", "52,4,51,5", "1;2;3;4", "1,2,3,4x", "-91,0,0,1", "0,0,1,181",
                            "0,5,1,5", "nan,0,1,1"})
        EXPECT_FALSE(ParseFleetArea(bad).has_value()) << bad;
    const FleetArea around = AreaAround(60.0, 5.0);
    EXPECT_NEAR(around.north - around.south, 0.5, 1e-9);
    EXPECT_NEAR(around.east - around.west, 1.0, 1e-6);  // the same distance at 60 degrees north
}

} // namespace

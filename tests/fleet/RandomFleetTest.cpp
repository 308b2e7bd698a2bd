#include "emulator/fleet/RandomFleet.h"

#include <gtest/gtest.h>

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

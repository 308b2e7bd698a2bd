#include "emulator/app/Entry.h"
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/model/CVesselModelImpl.h"

#include <gtest/gtest.h>

namespace {

// A record in which every value differs from the model's own construction values and
// from the option defaults, so a field that is not copied, or copied to the wrong
// place, shows.
VesselSettings Distinct()
{
    VesselSettings s;
    s.output = "ignored-here";
    s.outputBaudRate = 4800;
    s.outputDataBits = 7;
    s.outputStopBits = 2;
    s.portDest = "ROTTERDAM";
    s.portOrigin = "HAMBURG";
    s.vesselAccuracy = false;
    s.vesselCall = "PD1234";
    s.vesselCog = 123.5F;
    s.vesselDimA = 101;
    s.vesselDimB = 102;
    s.vesselDimC = 13;
    s.vesselDimD = 14;
    s.vesselImo = 9074729;
    s.vesselLat = 51.9;
    s.vesselLon = 4.3;
    s.vesselMmsi = 244123456;
    s.vesselName = "EMMA";
    s.vesselPosDevice = 3;
    s.vesselRot = -4.5F;
    s.vesselSog = 17.25F;
    s.vesselType = 70;
    s.vesselStatus = 5;
    s.ignoreTimings = true;
    s.ignoreCrc = true;
    s.nmeaDoMsg1 = false;
    s.nmeaDoMsg5 = false;
    s.nmeaDoMsg18 = true;
    s.nmeaDoMsg19 = true;
    s.nmeaDoMsg24 = true;
    return s;
}

TEST(ApplySettings, EveryOptionReachesItsModelParameter)
{
    const VesselSettings s = Distinct();
    CVesselModelImpl model("CON");
    ApplySettings(s, model);
    const IVessel& vessel = model;

    EXPECT_EQ(vessel.GetMMSI(), 244123456);
    EXPECT_EQ(vessel.GetIMONumber(), 9074729);
    EXPECT_STREQ(vessel.GetShipName(), "EMMA");
    EXPECT_STREQ(vessel.GetCallSign(), "PD1234");
    EXPECT_EQ(vessel.GetShipType(), 70);
    int a = 0, b = 0, c = 0, d = 0;
    vessel.GetDimensions(a, b, c, d);
    EXPECT_EQ(a, 101);
    EXPECT_EQ(b, 102);
    EXPECT_EQ(c, 13);
    EXPECT_EQ(d, 14);
    EXPECT_EQ(vessel.GetEPFDType(), 3);
    EXPECT_EQ(vessel.GetNavStatus(), 5);
    EXPECT_FALSE(vessel.GetPositionAccuracy());
    double lat = 0, lon = 0;
    vessel.GetPosition(lat, lon);
    EXPECT_EQ(lat, 51.9);
    EXPECT_EQ(lon, 4.3);
    EXPECT_EQ(vessel.GetSpeedOverGround(), 17.25F);
    EXPECT_EQ(vessel.GetCourseOverGround(), 123.5F);
    EXPECT_EQ(vessel.GetRateOfTurn(), -4.5F);
    EXPECT_STREQ(vessel.GetDestination(), "ROTTERDAM");
    EXPECT_STREQ(vessel.GetPortOfOrigin(), "HAMBURG");
    EXPECT_EQ(model.m_serialBaudRate, 4800);
    EXPECT_EQ(model.m_serialDataBits, 7);
    EXPECT_EQ(model.m_serialStopBits, 2);
    EXPECT_TRUE(model.m_ignoreTimings);
    EXPECT_FALSE(model.m_enableMsg1);
    EXPECT_FALSE(model.m_enableMsg5);
    EXPECT_TRUE(model.m_enableMsg18);
    EXPECT_TRUE(model.m_enableMsg19);
    EXPECT_TRUE(model.m_enableMsg24);
    EXPECT_FALSE(model.Encoder().m_bChecksumEnabled);
    EXPECT_EQ(model.m_output, "CON");  // the output goes to the constructor only
}

TEST(ApplySettings, ChecksumFollowsIgnoreCrc)
{
    for (const bool ignoreCrc : {false, true}) {
        VesselSettings s;
        s.ignoreCrc = ignoreCrc;
        CVesselModelImpl model("CON");
        model.Encoder().m_bChecksumEnabled = ignoreCrc;  // the opposite of what it must become
        ApplySettings(s, model);
        EXPECT_EQ(model.Encoder().m_bChecksumEnabled, !ignoreCrc);
    }
}

TEST(ApplySettings, DefaultSettingsGiveTheDocumentedVessel)
{
    CVesselModelImpl model("CON");
    ApplySettings(VesselSettings{}, model);
    const IVessel& vessel = model;
    EXPECT_EQ(vessel.GetMMSI(), 338272001);
    EXPECT_EQ(vessel.GetIMONumber(), 123456);
    EXPECT_STREQ(vessel.GetShipName(), "SHIP NAME");
    EXPECT_STREQ(vessel.GetCallSign(), "KVLSIM");
    EXPECT_EQ(vessel.GetShipType(), 99);
    EXPECT_EQ(vessel.GetSpeedOverGround(), 0.0F);
    EXPECT_EQ(vessel.GetCourseOverGround(), 0.0F);
    EXPECT_FALSE(model.m_enableMsg1 || model.m_enableMsg5);  // the model's own defaults are overridden
    EXPECT_TRUE(model.Encoder().m_bChecksumEnabled);
}

} // namespace

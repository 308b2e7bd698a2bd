#include "emulator/encoding/AISMessageEncoder.h"
#include "tests/encoding/TestVessel.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

platform::LocalTime At(unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second)
{
    return {2026, month, day, hour, minute, second};
}

struct EncoderFixture : ::testing::Test {
    TestVessel vessel;
    CAISMessageEncoder encoder{&vessel};
    std::string out;

    void SetUp() override
    {
        vessel.lat = 46.5;
        vessel.lon = 30.75;
        vessel.rateOfTurn = -10.0F;
        vessel.course = 45.0F;
        encoder.SetLocalTimeSource([] { return At(12, 6, 21, 30, 0); });
    }
};

TEST_F(EncoderFixture, Message24PartsAAndBExactly)
{
    EXPECT_EQ(encoder.ComposeMsg24(out),
              "!AIVDM,1,1,,B,Hl3IT01<PU20p4lD000000000000,0*79\r\n"
              "!AIVDM,1,1,,B,Hl3IT04l;F<19C0C8@3<C76@j660,0*11\r\n");
}

TEST_F(EncoderFixture, Message1WithAndWithoutChecksum)
{
    EXPECT_EQ(encoder.ComposeMsg1(out), "!AIVDM,1,1,,A,1l3IT0?tSrR<hjPJVpH1hQKp0000,0*24\r\n");
    encoder.m_bChecksumEnabled = false;
    EXPECT_EQ(encoder.ComposeMsg1(out), "!AIVDM,1,1,,A,1l3IT0?tSrR<hjPJVpH1hQKp0000,0\r\n");
}

TEST_F(EncoderFixture, Message5AtSixDecember2130)
{
    EXPECT_EQ(encoder.ComposeMsg5(out),
              "!AIVDM,2,1,0,A,5l3IT000?@Su<Q0<i<M<PU20p4lD00000000000l6@j6673EN<T3lU83i`11,0*0a\r\n"
              "!AIVDM,2,2,0,A,Dm000000004,2*09\r\n");
    encoder.m_bChecksumEnabled = false;
    EXPECT_EQ(encoder.ComposeMsg5(out).find('*'), std::string::npos);
}

TEST_F(EncoderFixture, ComposeReplacesAndReturnsOut)
{
    out = "old text";
    std::string& result = encoder.ComposeMsg18(out);
    EXPECT_EQ(&result, &out);
    EXPECT_EQ(out.rfind("!AIVDM,1,1,,B,", 0), 0u);
    EXPECT_EQ(out.find("old"), std::string::npos);
}

TEST_F(EncoderFixture, ClockIsReadOncePerCallOnlyByMessages5_18_19)
{
    int reads = 0;
    encoder.SetLocalTimeSource([&reads] { ++reads; return At(1, 2, 3, 4, 59); });
    encoder.ComposeMsg1(out);
    encoder.ComposeMsg24(out);
    EXPECT_EQ(reads, 0);
    encoder.ComposeMsg5(out);
    encoder.ComposeMsg18(out);
    encoder.ComposeMsg19(out);
    EXPECT_EQ(reads, 3);
}

// Messages 18 and 19 word for word, so that every fixed flag and spare bit is held, not
// only the fields a decoder reports. The texts were worked out bit by bit from the
// ITU-R M.1371 layouts and read back by gpsdecode -u and libais, flags and spares
// included. Positions are exact binary fractions so that no rounding is involved.
struct ClassBCase {
    const char* name;
    TestVessel vessel;
    platform::LocalTime time;
    const char* msg18;
    const char* msg19;
};

std::vector<ClassBCase> ClassBCases()
{
    ClassBCase north{"north east, accurate fix", {}, At(3, 4, 5, 6, 7),
                     "!AIVDM,1,1,,B,Bk`l7@00OH4oAp7Paf1=8uSW0000,0*3f\r\n",
                     "!AIVDM,1,1,,B,Ck`l7@00OH4oAp7Paf1=8uSP8:JO0d:VV:H000000000BWdFS3R0,0*27\r\n"};
    TestVessel& a = north.vessel;
    a.mmsi = 244123456; a.lat = 52.5; a.lon = 4.25; a.speed = 12.5F; a.course = 123.4F; a.accuracy = true;
    a.name = "DEMO VESSEL"; a.shipType = 37; a.epfd = 1;
    a.dims[0] = 123; a.dims[1] = 45; a.dims[2] = 6; a.dims[3] = 7;

    ClassBCase south{"south west, no accurate fix, wide dimensions", {}, At(12, 31, 23, 59, 59),
                     "!AIVDM,1,1,,B,Bp14wDP00mBvdVK9oGRaJ7uW0000,0*2c\r\n",
                     "!AIVDM,1,1,,B,Cp14wDP00mBvdVK9oGRaJ7uPVNb`@:TM06TNVV000000NI2Kw@f0,0*50\r\n"};
    TestVessel& b = south.vessel;
    b.mmsi = 538001234; b.lat = -33.875; b.lon = -151.1875; b.speed = 0.3F; b.course = 271.0F; b.accuracy = false;
    b.name = "SOUTHERN CROSS"; b.shipType = 60; b.epfd = 7;
    b.dims[0] = 400; b.dims[1] = 311; b.dims[2] = 62; b.dims[3] = 33;
    return {north, south};
}

TEST(ClassBMessages, Messages18And19Exactly)
{
    for (auto& c : ClassBCases()) {
        SCOPED_TRACE(c.name);
        CAISMessageEncoder encoder(&c.vessel);
        encoder.SetLocalTimeSource([&c] { return c.time; });
        std::string out;
        EXPECT_EQ(encoder.ComposeMsg18(out), c.msg18);
        EXPECT_EQ(encoder.ComposeMsg19(out), c.msg19);
    }
}

// Vessels whose sentences the real decoder must read back field for field.
struct VesselCase {
    const char* name;
    TestVessel vessel;
};

std::vector<VesselCase> DecoderCases()
{
    std::vector<VesselCase> cases;
    {
        VesselCase c{"default vessel", {}};
        cases.push_back(c);
    }
    {
        VesselCase c{"south west, lower-case name, long bow", {}};
        c.vessel.lat = -33.8568; c.vessel.lon = -151.2153; c.vessel.name = "Lower case"; c.vessel.callSign = "ab12";
        c.vessel.dims[0] = 600; c.vessel.dims[1] = 20; c.vessel.dims[2] = 70; c.vessel.dims[3] = 3;
        c.vessel.navStatus = 16; c.vessel.speed = 102.19F; c.vessel.rateOfTurn = 900.0F; c.vessel.course = 359.95F;
        c.vessel.mmsi = 538001234; c.vessel.imo = 9489845; c.vessel.shipType = 80; c.vessel.epfd = 3;
        c.vessel.destination = ""; c.vessel.accuracy = false;
        cases.push_back(c);
    }
    {
        VesselCase c{"out of range position, negative turn", {}};
        c.vessel.lat = 95.0; c.vessel.lon = 200.0; c.vessel.speed = 102.2F; c.vessel.rateOfTurn = -720.0F;
        c.vessel.course = 725.5F; c.vessel.navStatus = 5; c.vessel.name = "A VERY LONG SHIP NAME THAT IS CUT";
        cases.push_back(c);
    }
    {
        VesselCase c{"slow vessel near the date line", {}};
        c.vessel.lat = 0.0001; c.vessel.lon = 179.99999; c.vessel.speed = 0.04F; c.vessel.rateOfTurn = 3.0F;
        c.vessel.course = 0.0F; c.vessel.navStatus = 1; c.vessel.shipType = 99; c.vessel.mmsi = 999999999;
        cases.push_back(c);
    }
    return cases;
}

std::string Upper6(const std::string& text, size_t chars)  // what a six-bit field carries
{
    std::string s;
    for (size_t i = 0; i < chars; ++i) {
        const unsigned char b = i < text.size() ? static_cast<unsigned char>(text[i]) : '@';
        unsigned code = (b <= 64 ? b : b - 64) & 0x3F;
        s += static_cast<char>(code < 32 ? code + 64 : code);
    }
    while (!s.empty() && (s.back() == '@' || s.back() == ' ')) s.pop_back();
    return s;
}

std::int64_t Expected(double v, double unit) { return static_cast<std::int64_t>(v / unit); }

TEST(EncoderAgainstGpsdecode, EveryFieldOfEveryMessage)
{
    KVL_REQUIRE_GPSDECODE();
    for (const auto& c : DecoderCases()) {
        SCOPED_TRACE(c.name);
        const TestVessel& v = c.vessel;
        CAISMessageEncoder encoder(const_cast<TestVessel*>(&v));
        encoder.SetLocalTimeSource([] { return At(7, 31, 23, 59, 59); });
        std::string s1, s5, s18, s19, s24;
        encoder.ComposeMsg1(s1); encoder.ComposeMsg5(s5); encoder.ComposeMsg18(s18);
        encoder.ComposeMsg19(s19); encoder.ComposeMsg24(s24);
        const auto records = testsupport::GpsDecode(s1 + s5 + s18 + s19 + s24);
        ASSERT_EQ(records.size(), 5u);

        const bool positionValid = std::fabs(v.lat) < 90 && std::fabs(v.lon) < 180;
        const std::string lat = std::to_string(positionValid ? Expected(v.lat * 60, 0.0001) : 54600000);
        const std::string lon = std::to_string(positionValid ? Expected(v.lon * 60, 0.0001) : 108600000);
        double cog = v.course >= 360 ? v.course - 360 * std::trunc(v.course / 360.0) : v.course;
        const std::string course = std::to_string(static_cast<int>(std::trunc(cog * 10)));
        const std::string heading = std::to_string(static_cast<int>(std::trunc(cog)));
        const float a = std::fabs(v.speed);
        const std::string speed = std::to_string(a >= 102.2F ? 1022 : static_cast<int>(std::floor(a / 0.1F + 0.5F)));
        const std::string mmsi = std::to_string(v.mmsi);
        const std::string name = Upper6(v.name, 20);
        const std::string call = Upper6(v.callSign, 7);

        const auto& m1 = records[0];
        EXPECT_EQ(m1.at("type"), "1");
        EXPECT_EQ(m1.at("repeat"), "3");
        EXPECT_EQ(m1.at("mmsi"), mmsi);
        EXPECT_EQ(m1.at("status"), std::to_string(v.navStatus % 16));
        const double rotAbs = std::fabs(v.rateOfTurn);
        const int rot = rotAbs > 708 ? 126 : static_cast<int>(4.733F * static_cast<float>(std::sqrt(rotAbs)));
        EXPECT_EQ(m1.at("turn"), std::to_string(v.rateOfTurn < 0 ? -rot : rot));
        EXPECT_EQ(m1.at("speed"), speed);
        EXPECT_EQ(m1.at("accuracy"), v.accuracy ? "true" : "false");
        EXPECT_EQ(m1.at("lat"), lat);
        EXPECT_EQ(m1.at("lon"), lon);
        EXPECT_EQ(m1.at("course"), course);
        EXPECT_EQ(m1.at("heading"), heading);
        EXPECT_EQ(m1.at("second"), "60");

        const auto& m5 = records[1];
        EXPECT_EQ(m5.at("type"), "5");
        EXPECT_EQ(m5.at("mmsi"), mmsi);
        EXPECT_EQ(m5.at("imo"), std::to_string(v.imo));
        EXPECT_EQ(m5.at("callsign"), call);
        EXPECT_EQ(m5.at("shipname"), name);
        EXPECT_EQ(m5.at("shiptype"), std::to_string(v.shipType));
        EXPECT_EQ(m5.at("to_bow"), std::to_string(v.dims[0] % 512));
        EXPECT_EQ(m5.at("to_stern"), std::to_string(v.dims[1] % 512));
        EXPECT_EQ(m5.at("to_port"), std::to_string(v.dims[2] % 64));
        EXPECT_EQ(m5.at("to_starboard"), std::to_string(v.dims[3] % 64));
        EXPECT_EQ(m5.at("epfd"), std::to_string(v.epfd));
        EXPECT_EQ(m5.at("eta"), "07-31T23:59Z");
        EXPECT_EQ(m5.at("draught"), "50");
        EXPECT_EQ(m5.at("destination"), Upper6(v.destination, 20));

        for (const auto* m : {&records[2], &records[3]}) {
            EXPECT_EQ(m->at("mmsi"), mmsi);
            EXPECT_EQ(m->at("speed"), speed);
            EXPECT_EQ(m->at("lat"), lat);
            EXPECT_EQ(m->at("lon"), lon);
            EXPECT_EQ(m->at("course"), course);
            EXPECT_EQ(m->at("heading"), heading);
            EXPECT_EQ(m->at("second"), "59");
        }
        EXPECT_EQ(records[2].at("type"), "18");
        EXPECT_EQ(records[2].at("cs"), "true");
        EXPECT_EQ(records[2].at("display"), "true");
        EXPECT_EQ(records[2].at("dsc"), "true");
        EXPECT_EQ(records[3].at("type"), "19");
        EXPECT_EQ(records[3].at("shipname"), name);
        EXPECT_EQ(records[3].at("shiptype"), std::to_string(v.shipType));
        EXPECT_EQ(records[3].at("to_bow"), std::to_string(v.dims[0] % 512));
        EXPECT_EQ(records[3].at("epfd"), std::to_string(v.epfd));

        const auto& m24 = records[4];
        EXPECT_EQ(m24.at("type"), "24");
        EXPECT_EQ(m24.at("shipname"), name);
        EXPECT_EQ(m24.at("callsign"), call);
        EXPECT_EQ(m24.at("vendorid"), "KVLAIS");
        EXPECT_EQ(m24.at("shiptype"), std::to_string(v.shipType));
        EXPECT_EQ(m24.at("to_stern"), std::to_string(v.dims[1] % 512));
        EXPECT_EQ(m24.at("to_starboard"), std::to_string(v.dims[3] % 64));
    }
}

} // namespace

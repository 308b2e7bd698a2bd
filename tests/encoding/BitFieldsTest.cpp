#include "emulator/encoding/BitFields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

std::int32_t FieldValue(const std::string& bits)  // two's complement of the bit text
{
    std::int64_t v = 0;
    for (char c : bits) v = v * 2 + (c == '1');
    if (!bits.empty() && bits[0] == '1') v -= std::int64_t{1} << bits.size();
    return static_cast<std::int32_t>(v);
}

TEST(IntToBits, WidthsCutAndPad)
{
    EXPECT_EQ(IntToBits(5, 3), "101");
    EXPECT_EQ(IntToBits(-1, 4), "1111");
    EXPECT_EQ(IntToBits(70, 6), "000110");  // high-order bits lost
    EXPECT_EQ(IntToBits(-1, 40), std::string(8, '0') + std::string(32, '1'));
    EXPECT_EQ(IntToBits(0, 0), "");
    EXPECT_EQ(IntToBits(INT32_MIN, 32), "1" + std::string(31, '0'));
}

TEST(TextToSixBit, CutsPadsAndKeepsCase)
{
    EXPECT_EQ(TextToSixBit("AB", 3), "000001000010000000");
    EXPECT_EQ(TextToSixBit("SHPCLSGN", 7), TextToSixBit("SHPCLSG", 7));
    EXPECT_EQ(TextToSixBit("", 20), std::string(120, '0'));
    EXPECT_EQ(TextToSixBit("ABCDEFGHIJKLMNOPQRSTUV", 20), TextToSixBit("ABCDEFGHIJKLMNOPQRST", 20));
    EXPECT_EQ(TextToSixBit("a", 1), "100001");  // the code of '!'
    EXPECT_EQ(TextToSixBit(" 09", 3), "100000" "110000" "111001");
    EXPECT_EQ(TextToSixBit("\xC8", 1), "001000");  // bytes above 127 keep their low six bits
}

TEST(BitsToValue, ReadsAtMostEightLastBits)
{
    EXPECT_EQ(BitsToValue(""), 0);
    EXPECT_EQ(BitsToValue("101"), 5);
    EXPECT_EQ(BitsToValue("1" "11111111"), 255);
    EXPECT_EQ(BitsToValue("1" "00000000"), 0);
}

TEST(ArmorPayload, FillBitsAndCharacterRanges)
{
    EXPECT_EQ(ArmorPayload(std::string(64, '1'), 11), "wwwwwwwwwwt");
    EXPECT_EQ(ArmorPayload(std::string(168, '0'), 28), std::string(28, '0'));
    EXPECT_EQ(ArmorPayload("100111" "101000" "111111", 3), "W`w");  // 39, 40, 63
    EXPECT_EQ(ArmorPayload(std::string(12, '0'), 1), "0");  // fewer characters than bits
}

TEST(NmeaChecksum, LowerCaseHex)
{
    EXPECT_EQ(NmeaChecksum(""), "00");
    EXPECT_EQ(NmeaChecksum(":"), "3a");
    EXPECT_EQ(NmeaChecksum("AIVDM,1,1,,A,1l3IT0?tSrR<hjPJVpH1hQKp0000,0"), "24");
}

TEST(FrameSentence, WithAndWithoutChecksum)
{
    const std::string bits(168, '0');
    EXPECT_EQ(FrameSentence("AIVDM,1,1,,A,", bits, 28, ",0", false), "!AIVDM,1,1,,A," + std::string(28, '0') + ",0\r\n");
    const std::string with = FrameSentence("AIVDM,1,1,,A,", bits, 28, ",0", true);
    ASSERT_EQ(with.size(), 14 + 28 + 2 + 3 + 2u);
    EXPECT_EQ(with.substr(with.size() - 5, 1), "*");
    EXPECT_EQ(with.substr(with.size() - 2), "\r\n");
}

struct PositionCase {
    const char* name;
    double lat, lon;
    std::int32_t latValue, lonValue;
};

TEST(EncodePosition, Table)
{
    const PositionCase cases[] = {
        {"north east", 46.5, 30.75, 27900000, 18450000},
        {"south west", -33.5, -70.25, -20100000, -42150000},
        {"latitude 90 blanks both", 90.0, 10.0, 54600000, 108600000},
        {"longitude -180 blanks both", 10.0, -180.0, 54600000, 108600000},
        {"latitude beyond range", -91.0, 10.0, 54600000, 108600000},
        {"not a number", std::nan(""), 10.0, 54600000, 108600000},
        {"truncated toward zero", 0.00001, -0.00001, 6, -6},
    };
    for (const auto& c : cases) {
        const PositionFields f = EncodePosition(c.lat, c.lon);
        ASSERT_EQ(f.latitude.size(), 27u) << c.name;
        ASSERT_EQ(f.longitude.size(), 28u) << c.name;
        EXPECT_EQ(FieldValue(f.latitude), c.latValue) << c.name;
        EXPECT_EQ(FieldValue(f.longitude), c.lonValue) << c.name;
    }
}

TEST(EncodeSpeed, RoundingAndCap)
{
    const struct { float knots; std::int32_t value; } cases[] = {
        {12.35F, 124}, {102.14F, 1021}, {102.15F, 1022}, {102.19F, 1022}, {102.2F, 1022},
        {500.0F, 1022}, {0.05F, 1}, {0.04F, 0}, {-5.0F, 50}, {0.0F, 0},
        {std::numeric_limits<float>::infinity(), 1022},
    };
    for (const auto& c : cases) EXPECT_EQ(FieldValue("0" + EncodeSpeed(c.knots)), c.value) << c.knots;
}

TEST(EncodeCourseAndHeading, Reduction)
{
    EXPECT_EQ(EncodeCourse(360.0), IntToBits(0, 12));
    EXPECT_EQ(EncodeCourse(725.5), IntToBits(55, 12));
    EXPECT_EQ(EncodeCourse(-10.0), "111110011100");
    EXPECT_EQ(EncodeCourse(359.99), IntToBits(3599, 12));
    EXPECT_EQ(EncodeHeading(359.9), IntToBits(359, 9));
    EXPECT_EQ(EncodeHeading(720.0), IntToBits(0, 9));
    // Values that cannot be converted still give a field of the right width.
    EXPECT_EQ(EncodeCourse(std::nan("")).size(), 12u);
    EXPECT_EQ(EncodeCourse(-1e30).size(), 12u);
}

TEST(EncodeRateOfTurn, Table)
{
    const struct { float rot; const char* bits; } cases[] = {
        {0.0F, "00000000"}, {10.0F, "00001110"}, {-10.0F, "11110010"},
        {1000.0F, "01111110"}, {-1000.0F, "10000010"}, {708.0F, "01111101"}, {709.0F, "01111110"},
    };
    for (const auto& c : cases) EXPECT_EQ(EncodeRateOfTurn(c.rot), c.bits) << c.rot;
}

TEST(RoundHalfAway, Symmetric)
{
    EXPECT_EQ(RoundHalfAway(2.5F), 3.0F);
    EXPECT_EQ(RoundHalfAway(-2.5F), -3.0F);
    EXPECT_EQ(RoundHalfAway(2.49F), 2.0F);
    EXPECT_EQ(RoundHalfAway(0.0F), 0.0F);
}

} // namespace

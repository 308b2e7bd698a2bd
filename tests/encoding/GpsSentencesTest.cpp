// The own ship's GPS sentences, read back by a parser of the test's own.
#include "emulator/encoding/GpsSentences.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Sentence {
    std::string talker;               // "GPRMC", ...
    std::vector<std::string> fields;  // after the talker
    std::string line;
};

std::vector<Sentence> Parse(const std::string& text)
{
    std::vector<Sentence> sentences;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        EXPECT_LE(line.size() + 2, 82u) << line;
        EXPECT_EQ(line.front(), '$');
        const std::size_t star = line.find('*');
        const std::string body = line.substr(1, star - 1);
        if (star != std::string::npos) {
            unsigned sum = 0;
            for (const char c : body) sum ^= static_cast<unsigned char>(c);
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02X", sum);
            std::string written = line.substr(star + 1);
            for (char& c : written) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(written, hex) << line;
        }
        Sentence s{{}, {}, line};
        std::stringstream parts(body);
        std::string part;
        std::getline(parts, s.talker, ',');
        while (std::getline(parts, part, ',')) s.fields.push_back(part);
        if (!body.empty() && body.back() == ',') s.fields.emplace_back();
        sentences.push_back(s);
    }
    return sentences;
}

double Degrees(const std::string& value, const std::string& hemisphere, int degreeDigits)
{
    const double deg = std::stod(value.substr(0, static_cast<std::size_t>(degreeDigits)));
    const double min = std::stod(value.substr(static_cast<std::size_t>(degreeDigits)));
    EXPECT_LT(min, 60.0) << value;
    EXPECT_EQ(value.size(), static_cast<std::size_t>(degreeDigits) + 7) << value;  // mm.mmmm
    const double sign = hemisphere == "S" || hemisphere == "W" ? -1.0 : 1.0;
    return sign * (deg + min / 60.0);
}

struct FixRow {
    double lat, lon, sog, cog;
    const char* track;  // expected course text
};

const FixRow kFixes[] = {
    {52.5000567, -4.2500150, 12.5, 350.0, "350.0"},
    {-33.8568, 151.2153, 17.3, 211.4, "211.4"},
    {10.99999999, -0.00000001, 0.0, 359.97, "0.0"},  // minutes round up to the next degree
    {-89.9, 179.99999, 102.2, 725.5, "5.5"},
    {0.0, 0.0, 3.0, -10.0, "350.0"},
};

TEST(GpsSentences, FieldsAgreeWithTheFix)
{
    for (const FixRow& row : kFixes) {
        SCOPED_TRACE(row.track);
        const OwnShipFix fix{row.lat, row.lon, row.sog, row.cog, {2026, 2, 3, 4, 5, 6, 789}};
        std::string out;
        AppendGpsSentences(fix, {true, true}, out);
        const std::vector<Sentence> s = Parse(out);
        ASSERT_EQ(s.size(), 5u);
        EXPECT_EQ(s[0].talker + s[1].talker + s[2].talker + s[3].talker + s[4].talker, "GPRMCGPGGAGPVTGGPZDAHEHDT");

        const std::vector<std::string>& rmc = s[0].fields;
        ASSERT_EQ(rmc.size(), 12u) << s[0].line;
        EXPECT_EQ(rmc[0], "040506.78");
        EXPECT_EQ(rmc[1], "A");
        EXPECT_NEAR(Degrees(rmc[2], rmc[3], 2), row.lat, 1e-4 / 60 * 0.51);
        EXPECT_NEAR(Degrees(rmc[4], rmc[5], 3), row.lon, 1e-4 / 60 * 0.51);
        EXPECT_NEAR(std::stod(rmc[6]), row.sog, 0.05);
        EXPECT_EQ(rmc[7], row.track);
        EXPECT_EQ(rmc[8], "030226");

        const std::vector<std::string>& gga = s[1].fields;
        ASSERT_EQ(gga.size(), 14u) << s[1].line;
        EXPECT_EQ(gga[0], rmc[0]);
        EXPECT_EQ(gga[1] + gga[2] + gga[3] + gga[4], rmc[2] + rmc[3] + rmc[4] + rmc[5]);
        EXPECT_EQ(gga[5], "1");
        EXPECT_GE(std::stoi(gga[6]), 4);

        const std::vector<std::string>& vtg = s[2].fields;
        ASSERT_EQ(vtg.size(), 9u) << s[2].line;
        EXPECT_EQ(vtg[0], row.track);
        EXPECT_EQ(vtg[4], rmc[6]);
        EXPECT_NEAR(std::stod(vtg[6]), row.sog * 1.852, 0.05);
        EXPECT_EQ(vtg[7], "K");

        EXPECT_EQ(s[3].fields, (std::vector<std::string>{"040506.78", "03", "02", "2026", "00", "00"}));
        EXPECT_EQ(s[4].fields, (std::vector<std::string>{row.track, "T"}));
    }
}

TEST(GpsSentences, ImpossiblePositionIsNoFix)
{
    for (const double lat : {91.0, std::nan("")}) {
        std::string out;
        AppendGpsSentences({lat, 10.0, 5.0, 90.0, {}}, {true, false}, out);
        const std::vector<Sentence> s = Parse(out);
        ASSERT_EQ(s.size(), 5u);
        EXPECT_EQ(s[0].fields[1], "V");
        EXPECT_EQ(s[0].fields[2], "");
        EXPECT_EQ(s[1].fields[5], "0");
    }
}

TEST(GpsSentences, ChecksumSwitches)
{
    std::string out;
    AppendGpsSentences({1.0, 2.0, 3.0, 4.0, {}}, {false, false}, out);
    EXPECT_EQ(out.find('*'), std::string::npos);
    // Parse checks the digits; here only their case.
    EXPECT_EQ(Parse(FrameNmea("HEHDT,4.0,T", {true, false})).size(), 1u);
    EXPECT_EQ(FrameNmea("HEHDT,4.0,T", {true, false}), "$HEHDT,4.0,T*2b\r\n");
    EXPECT_EQ(FrameNmea("HEHDT,4.0,T", {true, true}), "$HEHDT,4.0,T*2B\r\n");
}

} // namespace

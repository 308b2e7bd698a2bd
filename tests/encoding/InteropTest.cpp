// Sentences of every message type through two independent decoders: gpsd's gpsdecode
// in both checksum cases, and libais, which accepts upper-case checksums only.
#include "emulator/encoding/AISMessageEncoder.h"
#include "tests/encoding/TestVessel.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <sstream>
#include <string>

namespace {

const char* const kLibaisScript = KVL_TEST_SOURCE_DIR "/support/libais_decode.py";

struct InteropFixture : ::testing::Test {
    TestVessel vessel;
    CAISMessageEncoder encoder{&vessel};

    void SetUp() override
    {
        vessel.lat = -33.8568;
        vessel.lon = 151.2153;
        vessel.speed = 17.5F;
        vessel.course = 211.5F;
        vessel.navStatus = 0;
        vessel.mmsi = 503123456;
        vessel.imo = 9321483;
        vessel.name = "SOUTHERN STAR";
        vessel.callSign = "VJQX";
        vessel.shipType = 70;
        vessel.destination = "AUCKLAND";
        vessel.dims[0] = 150;
        vessel.dims[1] = 30;
        vessel.dims[2] = 12;
        vessel.dims[3] = 14;
        encoder.SetLocalTimeSource([] { return platform::LocalTime{2026, 3, 14, 9, 26, 53}; });
    }

    std::string AllTypes()
    {
        std::string all, one;
        all += encoder.ComposeMsg1(one);
        all += encoder.ComposeMsg5(one);
        all += encoder.ComposeMsg18(one);
        all += encoder.ComposeMsg19(one);
        all += encoder.ComposeMsg24(one);
        return all;
    }
};

// The value of "key": in one JSON line from the libais script (numbers and strings).
std::string JsonField(const std::string& line, const std::string& key)
{
    const std::size_t at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) return {};
    std::size_t start = at + key.size() + 4;
    if (line[start] == '"') return line.substr(start + 1, line.find('"', start + 1) - start - 1);
    return line.substr(start, line.find_first_of(",}", start) - start);
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '@' || text.back() == ' ')) text.pop_back();
    return text;
}

TEST_F(InteropFixture, UpperCaseChangesOnlyTheChecksumDigits)
{
    const std::string lower = AllTypes();
    encoder.m_bUpperCaseChecksum = true;
    const std::string upper = AllTypes();
    ASSERT_EQ(lower.size(), upper.size());
    std::istringstream lowerLines(lower), upperLines(upper);
    std::string l, u;
    int withLetter = 0;
    while (std::getline(lowerLines, l) && std::getline(upperLines, u)) {
        const std::size_t star = l.find('*');
        ASSERT_NE(star, std::string::npos);
        EXPECT_EQ(l.substr(0, star + 1), u.substr(0, star + 1));
        for (std::size_t i = star + 1; i < star + 3; ++i) {
            EXPECT_EQ(std::toupper(static_cast<unsigned char>(l[i])), u[i]) << u;
            EXPECT_FALSE(std::islower(static_cast<unsigned char>(u[i]))) << u;
            withLetter += std::isalpha(static_cast<unsigned char>(u[i])) ? 1 : 0;
        }
    }
    EXPECT_GT(withLetter, 0) << "the vessel should give at least one checksum with a letter";
}

TEST_F(InteropFixture, GpsdecodeTakesEveryTypeInBothCases)
{
    KVL_REQUIRE_GPSDECODE();
    for (const bool upper : {false, true}) {
        encoder.m_bUpperCaseChecksum = upper;
        const auto records = testsupport::GpsDecode(AllTypes());
        // gpsdecode joins the two parts of message 24 into one record.
        ASSERT_EQ(records.size(), 5u) << "upper case " << upper;
        const char* const types[] = {"1", "5", "18", "19", "24"};
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].at("type"), types[i]);
            EXPECT_EQ(records[i].at("mmsi"), "503123456");
        }
    }
}

TEST_F(InteropFixture, LibaisDecodesEveryTypeWithUpperCaseChecksums)
{
    encoder.m_bUpperCaseChecksum = true;
    const testsupport::ProcessResult result =
        testsupport::RunProcess({"/usr/bin/python3", kLibaisScript}, AllTypes());
    ASSERT_EQ(result.exitCode, 0) << "libais (Debian python3-ais) must be installed: " << result.err;
    std::istringstream lines(result.out);
    std::string line;
    std::string ids;
    while (std::getline(lines, line)) {
        const std::string id = JsonField(line, "id");
        ids += id + " ";
        EXPECT_EQ(JsonField(line, "mmsi"), "503123456") << line;
        if (id == "1" || id == "18" || id == "19") {
            EXPECT_NEAR(std::stod(JsonField(line, "x")), 151.2153, 1e-5) << line;
            EXPECT_NEAR(std::stod(JsonField(line, "y")), -33.8568, 1e-5) << line;
            EXPECT_NEAR(std::stod(JsonField(line, "sog")), 17.5, 1e-6) << line;
            EXPECT_NEAR(std::stod(JsonField(line, "cog")), 211.5, 1e-4) << line;
        }
        if (id == "1") {
            EXPECT_EQ(JsonField(line, "nav_status"), "0");
        }
        if (id == "5" || id == "19") {
            EXPECT_EQ(Trimmed(JsonField(line, "name")), "SOUTHERN STAR");
            EXPECT_EQ(JsonField(line, "type_and_cargo"), "70");
            EXPECT_EQ(JsonField(line, "dim_a"), "150");
            EXPECT_EQ(JsonField(line, "dim_b"), "30");
            EXPECT_EQ(JsonField(line, "dim_c"), "12");
            EXPECT_EQ(JsonField(line, "dim_d"), "14");
        }
        if (id == "5") {
            EXPECT_EQ(JsonField(line, "imo_num"), "9321483");
            EXPECT_EQ(Trimmed(JsonField(line, "callsign")), "VJQX");
            EXPECT_EQ(Trimmed(JsonField(line, "destination")), "AUCKLAND");
            EXPECT_EQ(JsonField(line, "eta_month"), "3");
            EXPECT_EQ(JsonField(line, "eta_day"), "14");
        }
    }
    EXPECT_EQ(ids, "1 5 18 19 24 24 ");
}

TEST_F(InteropFixture, OwnShipIsFramedAsAivdoWithTheSamePayloads)
{
    const std::string targets = AllTypes();
    encoder.m_bOwnShip = true;
    std::string own = AllTypes();
    std::size_t replaced = 0;
    for (std::size_t at = own.find("!AIVDO"); at != std::string::npos; at = own.find("!AIVDO", at + 1), ++replaced)
        own[at + 5] = 'M';
    EXPECT_EQ(replaced, 7u);
    // Same bytes apart from the talker and the checksum it changes.
    std::istringstream a(targets), b(own);
    std::string x, y;
    while (std::getline(a, x) && std::getline(b, y)) EXPECT_EQ(x.substr(0, x.find('*')), y.substr(0, y.find('*')));
    KVL_REQUIRE_GPSDECODE();
    encoder.m_bOwnShip = true;
    EXPECT_EQ(testsupport::GpsDecode(AllTypes()).size(), 5u);
}

} // namespace

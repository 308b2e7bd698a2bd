// Every station message through two independent decoders, field by field: gpsd's
// gpsdecode (unscaled) with lower- and upper-case checksums, and libais (upper case).
#include "emulator/encoding/StationMessages.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kLibaisScript = KVL_TEST_SOURCE_DIR "/support/libais_decode.py";

using Fields = std::map<std::string, std::string>;
struct Row {
    std::string name;
    std::function<void(const SentenceFraming&, SequentialMessageId&, std::string&)> compose;
    Fields gpsd;    // gpsdecode -u
    Fields libais;  // numbers compared as numbers
};

std::string N(double v) { return std::to_string(static_cast<long long>(v)); }
std::string B(bool v) { return v ? "true" : "false"; }
std::string Deg(long long tenThousandthsOfMinute) { return std::to_string(tenThousandthsOfMinute / 600000.0); }
// 1/10000 minute, cut toward zero as the fields are (the same floating-point steps).
long long Fine(double deg, double notAvailable, bool valid)
{
    return static_cast<long long>(valid ? std::trunc(deg * 60 / 0.0001) : notAvailable * 600000);
}

std::vector<Row> Rows()
{
    std::vector<Row> rows;
    // Message 4: ordinary, extreme south-west, position not available.
    const std::vector<std::pair<double, double>> basePositions = {{52.1234, 4.5678}, {-89.9999, -179.9999}, {91.0, 181.0}};
    for (const auto& [lat, lon] : basePositions) {
        BaseStationReport r;
        r.mmsi = 2442000 + static_cast<std::uint32_t>(rows.size());
        r.utc = {2026, 2, 28, 23, 5, 9};
        r.accuracy = lat > 0;
        r.latitudeDeg = lat;
        r.longitudeDeg = lon;
        r.epfd = lat > 0 ? 7 : 15;
        r.raim = lat < 0;
        const bool valid = std::fabs(lat) < 90;
        const long long y = Fine(lat, 91, valid), x = Fine(lon, 181, valid);
        rows.push_back({"message 4 at " + std::to_string(lat), [r](auto& f, auto&, auto& out) { AppendBaseStationReport(r, f, out); },
                        {{"type", "4"}, {"mmsi", N(r.mmsi)}, {"timestamp", "2026-02-28T23:05:09Z"}, {"accuracy", B(r.accuracy)},
                         {"lat", N(y)}, {"lon", N(x)}, {"epfd", N(r.epfd)}, {"raim", B(r.raim)}, {"radio", "0"}},
                        {{"id", "4"}, {"repeat_indicator", "0"}, {"mmsi", N(r.mmsi)}, {"year", "2026"}, {"month", "2"},
                         {"day", "28"}, {"hour", "23"}, {"minute", "5"}, {"second", "9"}, {"position_accuracy", N(r.accuracy)},
                         {"y", Deg(y)}, {"x", Deg(x)}, {"fix_type", N(r.epfd)}, {"transmission_ctl", "0"}, {"raim", B(r.raim)}}});
    }
    // Message 9: the altitude field's limits, speeds past the field's top.
    const std::vector<std::pair<int, int>> altitudes = {{0, 0}, {4093, 4093}, {4094, 4094}, {12000, 4094}, {-5, 4095}};
    for (std::size_t i = 0; i < altitudes.size(); ++i) {
        SarAircraftReport r;
        r.mmsi = 111244000 + static_cast<std::uint32_t>(i);
        r.altitudeMetres = altitudes[i].first;
        r.speedKnots = i == 0 ? 0.0F : 400.0F * static_cast<float>(i);  // 1022 from 1200 on
        r.accuracy = i % 2 == 0;
        r.latitudeDeg = -33.8568 + static_cast<double>(i);
        r.longitudeDeg = -151.2153;
        r.courseDeg = 359.95;
        r.second = static_cast<unsigned>(i * 14);
        r.raim = i == 1;
        r.assigned = i == 2;
        const long long y = Fine(r.latitudeDeg, 0, true), x = Fine(r.longitudeDeg, 0, true);
        const std::string speed = N(std::min(std::round(r.speedKnots), 1022.0F));
        rows.push_back({"message 9 at " + std::to_string(r.altitudeMetres) + " m", [r](auto& f, auto&, auto& out) { AppendSarAircraftReport(r, f, out); },
                        {{"type", "9"}, {"mmsi", N(r.mmsi)}, {"alt", N(altitudes[i].second)}, {"speed", speed},
                         {"accuracy", B(r.accuracy)}, {"lat", N(y)}, {"lon", N(x)}, {"course", "3599"},
                         {"second", N(r.second)}, {"dte", "0"}, {"raim", B(r.raim)}, {"radio", "0"}},
                        {{"id", "9"}, {"alt", N(altitudes[i].second)}, {"sog", speed}, {"position_accuracy", N(r.accuracy)},
                         {"y", Deg(y)}, {"x", Deg(x)}, {"cog", "359.9"}, {"timestamp", N(r.second)}, {"alt_sensor", "0"},
                         {"dte", "0"}, {"assigned_mode", N(r.assigned)}, {"raim", B(r.raim)}}});
    }
    // Message 14: the beacons' texts, the longest text, a longer one cut.
    std::string longest;
    while (longest.size() < 200) longest += "SECURITE BUOY ADRIFT 51-58N 004-02E. ";
    for (const std::string& text : {std::string("SART ACTIVE"), std::string("MOB TEST"), std::string("EPIRB ACTIVE"),
                                    longest.substr(0, 161), longest}) {
        const std::string sent = text.substr(0, 161);
        rows.push_back({"message 14 of " + std::to_string(text.size()) + " characters",
                        [text](auto& f, auto& ids, auto& out) { AppendSafetyBroadcast({970123456, text}, f, ids, out); },
                        {{"type", "14"}, {"mmsi", "970123456"}, {"text", sent}},
                        {{"id", "14"}, {"mmsi", "970123456"}, {"text", sent}}});
    }
    // Message 21: names of 4, 20, 21, 34 and 40 characters, every flag, extreme values.
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-.()";
    for (const std::size_t length : {4u, 20u, 21u, 34u, 40u}) {
        AidToNavigationReport r;
        r.mmsi = 992440000 + static_cast<std::uint32_t>(length);
        r.atonType = length == 40 ? 31 : static_cast<int>(length % 32);
        const std::string given = letters.substr(0, length);
        r.accuracy = length % 2 == 0;
        r.latitudeDeg = length == 40 ? 89.9999 : -12.5;
        r.longitudeDeg = length == 40 ? 179.9999 : -0.0001;
        r.dims[0] = 511; r.dims[1] = static_cast<int>(length); r.dims[2] = 63; r.dims[3] = 0;
        r.epfd = length == 21 ? 15 : 1;
        r.second = length == 34 ? 60 : 17;
        r.offPosition = length >= 21;
        r.virtualAton = length != 20;
        r.raim = length == 4;
        const std::string name = letters.substr(0, std::min<std::size_t>(length, 34));
        const long long y = Fine(r.latitudeDeg, 0, true), x = Fine(r.longitudeDeg, 0, true);
        rows.push_back({"message 21 named with " + std::to_string(length) + " characters",
                        [r, given](auto& f, auto& ids, auto& out) {
                            AidToNavigationReport named = r;
                            named.name = given;  // a view of the text, which lives here
                            AppendAidToNavigationReport(named, f, ids, out);
                        },
                        {{"type", "21"}, {"mmsi", N(r.mmsi)}, {"aid_type", N(r.atonType)}, {"name", name},
                         {"accuracy", B(r.accuracy)}, {"lat", N(y)}, {"lon", N(x)}, {"to_bow", "511"},
                         {"to_stern", N(length)}, {"to_port", "63"}, {"to_starboard", "0"}, {"epfd", N(r.epfd)},
                         {"second", N(r.second)}, {"regional", "0"}, {"off_position", B(r.offPosition)},
                         {"raim", B(r.raim)}, {"virtual_aid", B(r.virtualAton)}},
                        {{"id", "21"}, {"aton_type", N(r.atonType)}, {"name", name}, {"position_accuracy", N(r.accuracy)},
                         {"y", Deg(y)}, {"x", Deg(x)}, {"dim_a", "511"}, {"dim_b", N(length)}, {"dim_c", "63"},
                         {"dim_d", "0"}, {"fix_type", N(r.epfd)}, {"timestamp", N(r.second)},
                         {"off_pos", B(r.offPosition)}, {"aton_status", "0"}, {"raim", B(r.raim)},
                         {"virtual_aton", B(r.virtualAton)}, {"assigned_mode", "false"}}});
    }
    // Message 27: 1/10-minute positions, not available, speed and course limits.
    struct LongCase { double lat, lon; float knots; double course; long long y, x, sog, cog; };
    const LongCase longCases[] = {{-89.99, -179.99, 62.4F, 359.4, -53994, -107994, 62, 359},
                                  {91.0, 181.0, 100.0F, -10.0, 54600, 108600, 62, 350},
                                  {51.98333, 4.05, 0.0F, 0.0, 31190, 2430, 0, 0}};
    for (std::size_t i = 0; i < std::size(longCases); ++i) {
        const LongCase& c = longCases[i];
        LongRangeReport r;
        r.mmsi = 244123450 + static_cast<std::uint32_t>(i);
        r.accuracy = i == 0;
        r.raim = i == 1;
        r.navStatus = static_cast<int>(i * 7);
        r.latitudeDeg = c.lat;
        r.longitudeDeg = c.lon;
        r.speedKnots = c.knots;
        r.courseDeg = c.course;
        r.gnssCurrent = i != 2;
        rows.push_back({"message 27 at " + std::to_string(c.lat), [r](auto& f, auto&, auto& out) { AppendLongRangeReport(r, f, out); },
                        {{"type", "27"}, {"repeat", "3"}, {"mmsi", N(r.mmsi)}, {"status", N(r.navStatus)},
                         {"accuracy", B(r.accuracy)}, {"lat", N(c.y)}, {"lon", N(c.x)}, {"speed", N(c.sog)},
                         {"course", N(c.cog)}, {"raim", B(r.raim)}, {"gnss", B(!r.gnssCurrent)}},  // gpsd shows the bit
                        {{"id", "27"}, {"nav_status", N(r.navStatus)}, {"position_accuracy", N(r.accuracy)},
                         {"raim", B(r.raim)}, {"y", std::to_string(c.y / 600.0)}, {"x", std::to_string(c.x / 600.0)},
                         {"sog", N(c.sog)}, {"cog", N(c.cog)}, {"gnss", B(r.gnssCurrent)}}});  // libais its meaning
    }
    // Message 1 of a beacon, active and in test.
    for (const int status : {14, 15}) {
        BeaconPositionReport r;
        r.mmsi = status == 14 ? 972000014 : 974000015;
        r.navStatus = status;
        r.speedKnots = 1.3F;
        r.latitudeDeg = -45.5;
        r.longitudeDeg = 170.25;
        r.courseDeg = 181.5;
        r.second = 33;
        rows.push_back({"message 1 of a beacon with status " + std::to_string(status),
                        [r](auto& f, auto&, auto& out) { AppendBeaconPositionReport(r, f, out); },
                        {{"type", "1"}, {"repeat", "0"}, {"mmsi", N(r.mmsi)}, {"status", N(status)}, {"turn", "-128"},
                         {"speed", "13"}, {"lat", "-27300000"}, {"lon", "102150000"}, {"course", "1815"},
                         {"heading", "511"}, {"second", "33"}},
                        {{"id", "1"}, {"nav_status", N(status)}, {"sog", "1.3"}, {"y", "-45.5"}, {"x", "170.25"},
                         {"cog", "181.5"}, {"true_heading", "511"}, {"timestamp", "33"}}});
    }
    return rows;
}

std::string Compose(const Row& row, bool upper)
{
    SentenceFraming framing;
    framing.upperCaseChecksum = upper;
    SequentialMessageId ids;
    std::string out;
    row.compose(framing, ids, out);
    return out;
}

// One JSON object per line from the libais script: "key": number, true/false or "text".
Fields LibaisFields(const std::string& line)
{
    static const std::regex field(R"re("([a-z_0-9]+)": ("((?:[^"\\]|\\.)*)"|[^,}]*))re");
    Fields fields;
    for (std::sregex_iterator it(line.begin(), line.end(), field), end; it != end; ++it)
        fields[(*it)[1]] = (*it)[3].matched ? (*it)[3].str() : (*it)[2].str();
    return fields;
}

bool SameValue(const std::string& expected, std::string actual)
{
    while (!actual.empty() && actual.back() == '@') actual.pop_back();  // libais keeps the padding
    char* end = nullptr;
    const double e = std::strtod(expected.c_str(), &end);
    if (*end != '\0' || expected.empty()) return expected == actual;
    const double a = std::strtod(actual.c_str(), &end);
    return *end == '\0' && std::fabs(e - a) <= 1e-6 + 1e-6 * std::fabs(e);
}

TEST(StationInterop, GpsdecodeReadsEveryFieldInBothChecksumCases)
{
    KVL_REQUIRE_GPSDECODE();
    for (const bool upper : {false, true}) {
        std::string all;
        const std::vector<Row> rows = Rows();
        for (const Row& row : rows) all += Compose(row, upper);
        const auto records = testsupport::GpsDecode(all);
        ASSERT_EQ(records.size(), rows.size()) << "upper case " << upper;
        for (std::size_t i = 0; i < rows.size(); ++i)
            for (const auto& [key, value] : rows[i].gpsd) {
                const auto found = records[i].find(key);
                ASSERT_NE(found, records[i].end()) << rows[i].name << ": no " << key;
                EXPECT_EQ(found->second, value) << rows[i].name << ": " << key << ", upper case " << upper;
            }
    }
}

TEST(StationInterop, LibaisReadsEveryFieldWithUpperCaseChecksums)
{
    std::string all;
    const std::vector<Row> rows = Rows();
    for (const Row& row : rows) all += Compose(row, true);
    const auto result = testsupport::RunProcess({"/usr/bin/python3", kLibaisScript}, all);
    ASSERT_EQ(result.exitCode, 0) << "libais (Debian python3-ais) must be installed: " << result.err;
    std::istringstream lines(result.out);
    std::vector<Fields> records;
    for (std::string line; std::getline(lines, line);) records.push_back(LibaisFields(line));
    ASSERT_EQ(records.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (const auto& [key, value] : rows[i].libais) {
            const auto found = records[i].find(key);
            ASSERT_NE(found, records[i].end()) << rows[i].name << ": no " << key;
            EXPECT_TRUE(SameValue(value, found->second)) << rows[i].name << ": " << key << " is " << found->second
                                                         << ", expected " << value;
        }
}

} // namespace

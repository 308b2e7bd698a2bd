// The station composers byte for byte against bit texts written here field by field from
// the ITU-R M.1371-5 message tables, armoured and framed by the NMEA rules written here too.
#include "emulator/encoding/StationMessages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Fields as (value, width): two's complement, most significant bit first.
std::string Bits(const std::vector<std::pair<std::int64_t, unsigned>>& fields)
{
    std::string bits;
    for (const auto& [value, width] : fields)
        for (unsigned i = width; i-- > 0;) bits += ((static_cast<std::uint64_t>(value) >> i) & 1U) != 0 ? '1' : '0';
    return bits;
}

// Six-bit ASCII of M.1371-5 Table 47: '@' = 0 .. '_' = 31, ' ' = 32 .. '?' = 63.
std::string Text(const std::string& text)
{
    std::string bits;
    for (const char c : text) bits += Bits({{c >= 64 ? c - 64 : c, 6}});
    return bits;
}

// Armours six bits a character and frames at most 60 characters a sentence.
std::string Framed(std::string bits, char channel, bool upper, const std::string& sequence = "")
{
    const std::size_t fill = (6 - bits.size() % 6) % 6;
    bits.append(fill, '0');
    std::string payload;
    for (std::size_t i = 0; i < bits.size(); i += 6) {
        const int v = std::stoi(bits.substr(i, 6), nullptr, 2);
        payload += static_cast<char>(v < 40 ? v + 48 : v + 56);
    }
    const std::size_t total = (payload.size() + 59) / 60;
    std::string out;
    for (std::size_t part = 0; part < total; ++part) {
        const bool last = part + 1 == total;
        const std::string body = "AIVDM," + std::to_string(total) + "," + std::to_string(part + 1) + "," + sequence +
                                 "," + channel + "," + payload.substr(part * 60, 60) + "," +
                                 std::to_string(last ? fill : 0);
        unsigned sum = 0;
        for (const char c : body) sum ^= static_cast<unsigned char>(c);
        char checksum[3];
        std::snprintf(checksum, sizeof checksum, upper ? "%02X" : "%02x", sum);
        out += "!" + body + "*" + checksum + "\r\n";
    }
    return out;
}

struct ExactCase {
    const char* name;
    std::function<void(const SentenceFraming&, SequentialMessageId&, std::string&)> compose;
    std::string bits;  // from the message table
    char channel;
    std::string sequence;  // of a multi-sentence message
};

std::vector<ExactCase> ExactCases()
{
    std::vector<ExactCase> cases;
    {
        BaseStationReport r;
        r.mmsi = 2442000;
        r.utc = {2026, 12, 31, 23, 59, 58};
        r.accuracy = true;
        r.latitudeDeg = -33.875;
        r.longitudeDeg = -151.1875;
        r.epfd = 7;
        r.raim = true;
        cases.push_back({"message 4, south west, end of the year",
                         [r](const SentenceFraming& f, SequentialMessageId&, std::string& out) { AppendBaseStationReport(r, f, out); },
                         Bits({{4, 6}, {0, 2}, {2442000, 30}, {2026, 14}, {12, 4}, {31, 5}, {23, 5}, {59, 6}, {58, 6},
                               {1, 1}, {-90712500, 28}, {-20325000, 27}, {7, 4}, {0, 1}, {0, 9}, {1, 1}, {0, 19}}),
                         'A', ""});
    }
    {
        SarAircraftReport r;
        r.mmsi = 111244001;
        r.altitudeMetres = 9000;  // 4094: "4094 m or higher"
        r.speedKnots = 140.5F;     // whole knots, half away from zero
        r.latitudeDeg = 52.5;
        r.longitudeDeg = 4.25;
        r.courseDeg = 271.25;
        r.second = 42;
        r.assigned = true;
        cases.push_back({"message 9, above the altitude ceiling",
                         [r](const SentenceFraming& f, SequentialMessageId&, std::string& out) { AppendSarAircraftReport(r, f, out); },
                         Bits({{9, 6}, {0, 2}, {111244001, 30}, {4094, 12}, {141, 10}, {0, 1}, {2550000, 28},
                               {31500000, 27}, {2712, 12}, {42, 6}, {0, 1}, {0, 7}, {0, 1}, {0, 3}, {1, 1}, {0, 1},
                               {0, 1}, {0, 19}}),
                         'B', ""});
    }
    {
        const std::string text = "SART ACTIVE";
        cases.push_back({"message 14, one sentence",
                         [text](const SentenceFraming& f, SequentialMessageId& ids, std::string& out) {
                             AppendSafetyBroadcast({970123456, text}, f, ids, out);
                         },
                         Bits({{14, 6}, {0, 2}, {970123456, 30}, {0, 2}}) + Text(text), 'A', ""});
    }
    {
        std::string longest;
        for (int i = 0; i < 19; ++i) longest += "MAYDAY " + std::to_string(i % 10) + " ";  // 171 characters
        cases.push_back({"message 14, longest text in three sentences, cut at 161 characters",
                         [longest](const SentenceFraming& f, SequentialMessageId& ids, std::string& out) {
                             AppendSafetyBroadcast({2442000, longest}, f, ids, out);
                         },
                         Bits({{14, 6}, {0, 2}, {2442000, 30}, {0, 2}}) + Text(longest.substr(0, 161)), 'A', "0"});
    }
    {
        AidToNavigationReport r;
        r.mmsi = 992446001;
        r.atonType = 25;
        r.name = "STARBOARD HAND BUOY 12 EXTENDED NAME";  // 36: the extension takes 14, the rest is cut
        r.latitudeDeg = -0.5;
        r.longitudeDeg = 179.5;
        r.dims[0] = 1; r.dims[1] = 2; r.dims[2] = 3; r.dims[3] = 4;
        r.epfd = 1;
        r.second = 59;
        r.offPosition = true;
        r.virtualAton = true;
        cases.push_back({"message 21, name extension of 14 characters",
                         [r](const SentenceFraming& f, SequentialMessageId& ids, std::string& out) { AppendAidToNavigationReport(r, f, ids, out); },
                         Bits({{21, 6}, {0, 2}, {992446001, 30}, {25, 5}}) + Text("STARBOARD HAND BUOY ") +
                             Bits({{0, 1}, {107700000, 28}, {-300000, 27}, {1, 9}, {2, 9}, {3, 6}, {4, 6}, {1, 4},
                                   {59, 6}, {1, 1}, {0, 8}, {0, 1}, {1, 1}, {0, 1}, {0, 1}}) +
                             Text("12 EXTENDED NA") + Bits({{0, 4}}),  // 272 + 84 + 4 spare = 360 bits
                         'B', ""});
    }
    {
        AidToNavigationReport r;
        r.mmsi = 992446002;
        r.atonType = 1;
        r.name = "PIER";
        r.latitudeDeg = 10.0;
        r.longitudeDeg = -20.0;
        r.second = 60;
        cases.push_back({"message 21, short name padded, no extension",
                         [r](const SentenceFraming& f, SequentialMessageId& ids, std::string& out) { AppendAidToNavigationReport(r, f, ids, out); },
                         Bits({{21, 6}, {0, 2}, {992446002, 30}, {1, 5}}) + Text("PIER@@@@@@@@@@@@@@@@") +
                             Bits({{0, 1}, {-12000000, 28}, {6000000, 27}, {0, 9}, {0, 9}, {0, 6}, {0, 6}, {7, 4},
                                   {60, 6}, {0, 1}, {0, 8}, {0, 1}, {0, 1}, {0, 1}, {0, 1}}),
                         'A', ""});
    }
    {
        LongRangeReport r;
        r.mmsi = 244123456;
        r.accuracy = true;
        r.navStatus = 14;
        r.latitudeDeg = -52.5;   // -31500 tenths of a minute
        r.longitudeDeg = -4.25;  // -2550
        r.speedKnots = 80.0F;    // 62: the field's top
        r.courseDeg = 359.6;     // 360 is 0
        r.gnssCurrent = false;
        cases.push_back({"message 27, negative position, speed and course at their limits",
                         [r](const SentenceFraming& f, SequentialMessageId&, std::string& out) { AppendLongRangeReport(r, f, out); },
                         Bits({{27, 6}, {3, 2}, {244123456, 30}, {1, 1}, {0, 1}, {14, 4}, {-2550, 18}, {-31500, 17},
                               {62, 6}, {0, 9}, {1, 1}, {0, 1}}),
                         'A', ""});
    }
    {
        BeaconPositionReport r;
        r.mmsi = 974123456;
        r.navStatus = 15;
        r.speedKnots = 0.5F;
        r.latitudeDeg = 60.25;
        r.longitudeDeg = 5.125;
        r.courseDeg = 12.5;
        r.second = 7;
        cases.push_back({"message 1 of a beacon in test mode",
                         [r](const SentenceFraming& f, SequentialMessageId&, std::string& out) { AppendBeaconPositionReport(r, f, out); },
                         Bits({{1, 6}, {0, 2}, {974123456, 30}, {15, 4}, {-128, 8}, {5, 10}, {0, 1}, {3075000, 28},
                               {36150000, 27}, {125, 12}, {511, 9}, {7, 6}, {0, 2}, {0, 3}, {0, 1}, {0, 19}}),
                         'B', ""});
    }
    return cases;
}

TEST(StationMessages, EveryComposerMatchesItsMessageTableInBothChecksumCases)
{
    for (const ExactCase& c : ExactCases()) {
        SCOPED_TRACE(c.name);
        for (const bool upper : {false, true}) {
            SentenceFraming framing;
            framing.channel = c.channel;
            framing.upperCaseChecksum = upper;
            SequentialMessageId ids;
            std::string out = "kept|";
            c.compose(framing, ids, out);
            EXPECT_EQ(out, "kept|" + Framed(c.bits, c.channel, upper, c.sequence)) << "upper case " << upper;
        }
    }
}

TEST(StationMessages, FramingWithoutChecksumAsOwnShipAndSequentialIdsWrapAfterNine)
{
    const std::string text(100, 'X');  // two sentences
    SequentialMessageId ids;
    SentenceFraming framing;
    framing.checksum = false;
    framing.ownShip = true;
    std::string out;
    for (int i = 0; i < 11; ++i) AppendSafetyBroadcast({970000001, text}, framing, ids, out);
    const std::string expected = Framed(Bits({{14, 6}, {0, 2}, {970000001, 30}, {0, 2}}) + Text(text), 'A', false, "0");
    std::string first = out.substr(0, expected.size());
    EXPECT_EQ(first.find('*'), std::string::npos);
    EXPECT_EQ(first.rfind("!AIVDO,2,1,0,A,", 0), 0u) << first;
    std::vector<std::string> ids10;
    for (std::size_t at = out.find("!AIVDO,2,1,"); at != std::string::npos; at = out.find("!AIVDO,2,1,", at + 1))
        ids10.push_back(out.substr(at + 11, 1));
    EXPECT_EQ(ids10, (std::vector<std::string>{"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", "0"}));
}

TEST(StationMessages, AltitudeFieldLimits)
{
    const std::pair<int, int> rows[] = {{0, 0}, {4093, 4093}, {4094, 4094}, {4095, 4094}, {100000, 4094}, {-1, 4095}};
    for (const auto& [metres, field] : rows) EXPECT_EQ(AltitudeField(metres), field) << metres << " m";
}

} // namespace

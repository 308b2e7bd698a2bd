// The line reader on its own: framing, checksums, fragments, hostile input, and the own
// ship's GPS sentences as vesgen composes them.
#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/GpsSentences.h"
#include "emulator/encoding/NmeaReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string kMsg1 = "AIVDM,1,1,,A,1mRoDR002:P0NNIwp91skqMp0000,0";
const std::string kMsg5A = "AIVDM,2,1,0,A,5mRoDR02CBbtPtdD000iD<eV1LTpB0pvsD00001@;AJ@@74>@<Q3kQnBCQh0,0";
const std::string kMsg5B = "AIVDM,2,2,0,A,00000000004,2";

std::string Line(const std::string& body, bool upper = false) { return "!" + body + "*" + NmeaChecksum(body, upper) + "\r\n"; }
std::string Gps(const std::string& body) { return "$" + body + "*" + NmeaChecksum(body) + "\r\n"; }
std::string Seq(std::string body, char seq) { return body.replace(body.find(",0,A,"), 5, std::string(",") + seq + ",A,"); }
std::string Repeat(const std::string& s, int n) { std::string r; while (n-- > 0) r += s; return r; }

struct Row {
    const char* name;
    std::string input;
    std::size_t messages;
    std::uint64_t badChecksum = 0, malformed = 0, unsupported = 0, dropped = 0, overlong = 0;
};

const Row kRows[] = {
    {"ChecksumLowerCase", Line(kMsg1), 1},
    {"ChecksumUpperCase", Line(kMsg1, true), 1},
    {"ChecksumAbsent", "!" + kMsg1 + "\n", 1},
    {"ChecksumWrong", "!" + kMsg1 + "*00\n", 0, 1},
    {"ChecksumOneDigit", "!" + kMsg1 + "*2\n", 0, 0, 1},
    {"ChecksumThenJunk", "!" + kMsg1 + "*2bx\n", 0, 0, 1},
    {"TagBlockBefore", "\\s:r003669945*3C\\" + Line(kMsg1), 1},
    {"NotASentence", "hello\n\r\n   \n", 0, 0, 1},
    {"CrOnlyLineEnds", "!" + kMsg1 + "\r!" + kMsg1 + "\r", 2},
    {"TwoPartsInOrder", Line(kMsg5A) + Line(kMsg5B), 1},
    {"SecondPartAlone", Line(kMsg5B), 0, 0, 0, 0, 1},
    {"PartsSwapped", Line(kMsg5B) + Line(kMsg5A), 0, 0, 0, 0, 1},
    {"InterleavedBySequenceId", Line(kMsg5A) + Line(Seq(kMsg5A, '7')) + Line(kMsg5B) + Line(Seq(kMsg5B, '7')), 2},
    {"FirstPartRepeated", Line(kMsg5A) + Line(kMsg5A) + Line(kMsg5B), 1, 0, 0, 0, 1},
    {"StaleFirstPart", Line(kMsg5A) + Repeat(Line(kMsg1), 70) + Line(kMsg5B), 70, 0, 0, 0, 2},
    {"FillSix", Line("AIVDM,1,1,,A,1mRoDR002:P0NNIwp91skqMp0000,6"), 0, 0, 1},
    {"ArmourOutsideAlphabet", Line("AIVDM,1,1,,A,1mRoDR002:P0NNIwp91skqMp000x,0"), 0, 0, 1},
    {"TooFewBits", Line("AIVDM,1,1,,A,1mRoDR,0"), 0, 0, 1},
    {"CountOfTen", Line("AIVDM,10,1,0,A,1mRoDR,0"), 0, 0, 1},
    {"ExtraField", Line(kMsg1 + ",0"), 0, 0, 1},
    {"UnknownAisType", Line("AIVDM,1,1,,A,85Mwp`1Kf3aCnsNvBWLi=wQuNhA5t43N`5nCuI=p,0"), 0, 0, 0, 1},
    {"OtherSentences", "$GPGSV,1,1,00*79\r\n$PGRME,15.0,M,45.0,M,25.0,M*1C\r\n", 0, 0, 0, 2},
    {"RmcWithHalfAPosition", Gps("GPRMC,161411.14,A,5157.0000,N,,,0.0,0.0,081226,,,A"), 0, 0, 1},
    {"GgaWithHalfAPosition", Gps("GPGGA,141611.14,,,00000.0000,E,1,09,0.9,0.0,M,0.0,M,,"), 0, 0, 1},
    {"OverlongLineThenGood", Repeat("A", 600) + "\n" + Line(kMsg1), 1, 0, 0, 0, 0, 1},
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class ReaderRows : public ::testing::TestWithParam<Row> {};

// Whole, and one byte at a time: a line cut anywhere must read the same.
TEST_P(ReaderRows, CountsWhatItCannotRead)
{
    const Row& row = GetParam();
    for (const bool bytewise : {false, true}) {
        NmeaReader reader;
        std::vector<NmeaMessage> out;
        if (bytewise)
            for (const char c : row.input) reader.Feed(std::string_view(&c, 1), out);
        else
            reader.Feed(row.input, out);
        const NmeaReaderStats& s = reader.Stats();
        EXPECT_EQ(out.size(), row.messages) << "bytewise " << bytewise;
        EXPECT_EQ(s.messages, row.messages);
        EXPECT_EQ(s.badChecksum, row.badChecksum);
        EXPECT_EQ(s.malformed, row.malformed);
        EXPECT_EQ(s.unsupported, row.unsupported);
        EXPECT_EQ(s.droppedFragments, row.dropped);
        EXPECT_EQ(s.overlongLines, row.overlong);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, ReaderRows, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(NmeaReader, DatagramEndsItsLastLineAndVdoMarksTheOwnShip)
{
    NmeaReader reader;
    std::vector<NmeaMessage> out;
    reader.FeedDatagram("!AIVDO,1,1,,B,1mRoDR002:P0NNIwp91skqMp0000,0", out);
    ASSERT_EQ(out.size(), 1u);
    const auto& report = std::get<AisPositionReportA>(out[0]);
    EXPECT_TRUE(report.ownShip);
    EXPECT_EQ(report.channel, 'B');
    EXPECT_EQ(report.mmsi, 372102280u);
}

TEST(NmeaReader, MemoryStaysBoundedUnderFirstPartsThatNeverEnd)
{
    NmeaReader reader;
    std::vector<NmeaMessage> out;
    for (int i = 0; i < 5000; ++i) {
        const std::string talker{static_cast<char>('A' + i % 15), static_cast<char>('A' + i / 15 % 26)};
        reader.Feed(Line(talker + kMsg5A.substr(2)), out);
    }
    for (int i = 0; i < 1000; ++i) reader.Feed(Repeat("x", 100), out);  // a line that never ends
    EXPECT_LE(reader.BufferedBytes(), NmeaReaderLimits{}.maxPendingMessages * 60 + NmeaReaderLimits{}.maxLineBytes);
    EXPECT_EQ(reader.Stats().droppedFragments, 5000u - NmeaReaderLimits{}.maxPendingMessages);
    EXPECT_EQ(reader.Stats().overlongLines, 1u);
}

// Rate of turn from its indicator: ROT_AIS = 4.733 * sqrt(degrees per minute).
TEST(NmeaReader, RateOfTurnScaling)
{
    struct {
        int raw;
        std::optional<double> degPerMin;
    } const rows[] = {{0, 0.0}, {47, 98.611}, {-47, -98.611}, {126, 708.7}, {127, {}}, {-127, {}}, {-128, {}}};
    for (const auto& row : rows) {
        std::string bits = IntToBits(1, 6) + IntToBits(0, 2) + IntToBits(244000001, 30) + IntToBits(0, 4) + IntToBits(row.raw, 8);
        bits.resize(168, '0');
        NmeaReader reader;
        std::vector<NmeaMessage> out;
        reader.FeedDatagram("!AIVDM,1,1,,A," + ArmorPayload(bits, 28) + ",0", out);
        ASSERT_EQ(out.size(), 1u) << row.raw;
        const auto& report = std::get<AisPositionReportA>(out[0]);
        EXPECT_EQ(report.rateOfTurnRaw, row.raw);
        ASSERT_EQ(report.rateOfTurnDegPerMin.has_value(), row.degPerMin.has_value()) << row.raw;
        EXPECT_NEAR(report.rateOfTurnDegPerMin.value_or(0), row.degPerMin.value_or(0), 0.05) << row.raw;
    }
}

TEST(NmeaReader, OwnShipSentencesAsVesgenComposesThem)
{
    for (const bool upper : {false, true}) {
        OwnShipFix fix{-33.8568, 151.2153, 17.5, 211.5, {2026, 3, 14, 9, 26, 53, 250}};
        std::string text;
        AppendGpsSentences(fix, {true, upper}, text);
        fix.latitudeDeg = 100.0;  // no fix: void RMC, quality 0 GGA
        AppendGpsSentences(fix, {false, upper}, text);
        NmeaReader reader;
        std::vector<NmeaMessage> out;
        reader.Feed(text, out);
        ASSERT_EQ(out.size(), 10u) << text;
        EXPECT_EQ(reader.Stats().malformed, 0u);
        for (std::size_t i = 0; i < out.size(); ++i) {
            const auto& s = std::get<OwnShipSentence>(out[i]);
            const bool fixed = i < 5;
            EXPECT_EQ(s.kind, static_cast<GpsSentenceKind>(i % 5));
            if (s.kind == GpsSentenceKind::Rmc || s.kind == GpsSentenceKind::Gga) {
                ASSERT_EQ(s.latitudeDeg.has_value(), fixed) << i;
                ASSERT_EQ(s.longitudeDeg.has_value(), fixed) << i;
                EXPECT_NEAR(s.latitudeDeg.value_or(-33.8568), -33.8568, 2e-6);
                EXPECT_NEAR(s.longitudeDeg.value_or(151.2153), 151.2153, 2e-6);
                EXPECT_NEAR(s.utcSecondsOfDay.value_or(-1), 9 * 3600 + 26 * 60 + 53.25, 1e-6);
            }
            if (fixed && (s.kind == GpsSentenceKind::Rmc || s.kind == GpsSentenceKind::Vtg)) {
                EXPECT_DOUBLE_EQ(s.speedKnots.value_or(-1), 17.5);
                EXPECT_DOUBLE_EQ(s.courseDeg.value_or(-1), 211.5);
            }
            EXPECT_DOUBLE_EQ(s.headingDeg.value_or(211.5), 211.5);
            EXPECT_EQ(s.headingDeg.has_value(), s.kind == GpsSentenceKind::Hdt);
            if (s.kind == GpsSentenceKind::Zda || (s.kind == GpsSentenceKind::Rmc)) {
                EXPECT_EQ(s.utcDate.year, 2026);
                EXPECT_EQ(s.utcDate.month, 3);
                EXPECT_EQ(s.utcDate.day, 14);
            }
        }
    }
}

} // namespace

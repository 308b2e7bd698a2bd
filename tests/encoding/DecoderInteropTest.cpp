// Our decoder against gpsd's, field by field, over random messages of every type that
// vesgen sends. The messages come from a field-table generator of the tests' own, so
// neither side's layout is the reference for the other.
#include "emulator/encoding/NmeaReader.h"
#include "tests/encoding/GpsdView.h"
#include "tests/encoding/ReadInPieces.h"
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"

#include <gtest/gtest.h>

#include <map>

namespace {

const char* const kGenerator = KVL_TEST_SOURCE_DIR "/support/ais_random.py";
constexpr int kRowsPerType = 300;

struct ChecksumMode {
    const char* name;
    const char* checksum;  // as the generator takes it
    int seed;
};

void PrintTo(const ChecksumMode& row, std::ostream* os) { *os << row.name; }

class DecoderMatchesGpsdecode : public ::testing::TestWithParam<ChecksumMode> {};

TEST_P(DecoderMatchesGpsdecode, OnEveryFieldOfRandomMessagesOfEveryType)
{
    KVL_REQUIRE_GPSDECODE();
    const ChecksumMode mode = GetParam();
    const auto generated = testsupport::RunProcess(
        {"/usr/bin/python3", kGenerator, std::to_string(mode.seed), std::to_string(kRowsPerType), mode.checksum});
    ASSERT_EQ(generated.exitCode, 0) << generated.err;

    const auto gpsd = testsupport::GpsDecode(generated.out, {"-s"});
    NmeaReaderStats stats;
    const std::vector<NmeaMessage> ours = ReadInPieces(generated.out, mode.seed, &stats);
    ASSERT_EQ(ours.size(), gpsd.size());
    EXPECT_EQ(stats.messages, 13u * kRowsPerType);  // 1, 2, 3, 4, 5, 9, 14, 18, 19, 21, 24A, 24B, 27
    EXPECT_EQ(stats.badChecksum + stats.malformed + stats.unsupported + stats.droppedFragments, 0u);

    std::map<std::string, int> perType;
    int failures = 0, longNames = 0, longTexts = 0, unavailable = 0, outsideEarth = 0;
    for (std::size_t i = 0; i < ours.size() && failures < 20; ++i) {
        const testsupport::AisRecord mine = AsGpsdRecord(ours[i]);
        const std::string differences = DifferencesFromGpsd(mine, gpsd[i]);
        failures += differences.empty() ? 0 : 1;
        EXPECT_EQ(differences, "") << "message " << i << " of type " << mine.at("type");
        ++perType[mine.at("type")];
        // What the rows must have covered for the comparison to mean something.
        if (mine.count("name") && mine.at("name").size() > 20) ++longNames;
        if (mine.count("text") && mine.at("text").size() > 60) ++longTexts;
        if (mine.count("lon") && mine.at("lon") == "108600000") ++unavailable;
        if (mine.count("lon") && gpsd[i].at("lon") != "108600000" && mine.at("lon") == "108600000") ++outsideEarth;
    }
    for (const char* type : {"1", "2", "3", "4", "5", "9", "14", "18", "19", "21", "27"})
        EXPECT_EQ(perType[type], kRowsPerType) << "type " << type;
    EXPECT_EQ(perType["24"], 2 * kRowsPerType);
    EXPECT_GT(longNames, 10);
    EXPECT_GT(longTexts, 10);
    EXPECT_GT(unavailable, 50);
    EXPECT_GT(outsideEarth, 50);
}

INSTANTIATE_TEST_SUITE_P(Checksums, DecoderMatchesGpsdecode,
                         ::testing::Values(ChecksumMode{"UpperCase", "upper", 11}, ChecksumMode{"LowerCase", "lower", 12},
                                           ChecksumMode{"Absent", "none", 13}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

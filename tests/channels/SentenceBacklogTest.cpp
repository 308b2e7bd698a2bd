#include "emulator/channels/SentenceBacklog.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct TrimCase {
    const char* name;
    std::size_t limit;
    std::string first;       // appended, then `sent` bytes of it consumed
    std::size_t sent;
    std::string second;      // appended next
    std::string pending;     // what must wait afterwards
    std::size_t dropped;
};

void PrintTo(const TrimCase& c, std::ostream* os)
{
    *os << c.name;
}

class SentenceBacklogTrim : public testing::TestWithParam<TrimCase> {};

TEST_P(SentenceBacklogTrim, DropsOnlyWholeOldestSentences)
{
    const TrimCase& c = GetParam();
    SentenceBacklog backlog(c.limit);
    EXPECT_EQ(backlog.Append(c.first), 0U);
    backlog.Consume(c.sent);
    EXPECT_EQ(backlog.Append(c.second), c.dropped);
    EXPECT_EQ(backlog.Pending(), c.pending);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SentenceBacklogTrim,
    testing::Values(
        TrimCase{"ExactlyAtTheLimit", 8, "", 0, "AAA\r\nB\r\n", "AAA\r\nB\r\n", 0},
        TrimCase{"OneByteOverDropsTheOldest", 8, "", 0, "AAA\r\nBB\r\n", "BB\r\n", 5},
        TrimCase{"BegunSentenceStaysWhole", 10, "AAAA\r\nBB\r\n", 2, "CC\r\nDD\r\n", "AA\r\nDD\r\n", 8},
        TrimCase{"BegunBetweenCarriageReturnAndLineFeed", 8, "AAA\r\nB\r\n", 4, "CCCC\r\n", "\nCCCC\r\n", 3},
        TrimCase{"SentBoundaryLeavesNothingBegun", 8, "AAA\r\nB\r\n", 5, "CC\r\nDD\r\n", "CC\r\nDD\r\n", 3},
        TrimCase{"NewestLargerThanTheLimitGoes", 6, "", 0, "A\r\nBBBBBBB\r\n", "", 12},
        TrimCase{"TextWithoutLineEndsGoes", 6, "", 0, "ABCDEFGH", "", 8}),
    [](const testing::TestParamInfo<TrimCase>& info) { return std::string(info.param.name); });

TEST(SentenceBacklogTest, ConsumedTextLeavesAndTheRestStaysInOrder)
{
    SentenceBacklog backlog(64);
    backlog.Append("AB\r\nCD\r\n");
    backlog.Consume(3);
    EXPECT_EQ(backlog.Pending(), "\nCD\r\n");
    backlog.Append("EF\r\n");
    EXPECT_EQ(backlog.Pending(), "\nCD\r\nEF\r\n");
    backlog.Consume(9);
    EXPECT_TRUE(backlog.Empty());
}

} // namespace

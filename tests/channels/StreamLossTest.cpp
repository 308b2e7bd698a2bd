// The pieces that keep a large stream whole: a backlog bound that follows the steps, the
// loss report's rhythm, and the pacing of datagrams over a step.
#include "emulator/channels/DatagramPacing.h"
#include "emulator/channels/LossReport.h"
#include "emulator/channels/SentenceBacklog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Lines(char letter, int count, std::size_t length = 8)
{
    std::string text;
    for (int i = 0; i < count; ++i) text += std::string(length - 2, letter) + "\r\n";
    return text;
}

TEST(SentenceBacklogBound, FollowsTheLargestRecentStepAndForgetsIt)
{
    SentenceBacklog backlog(64);
    backlog.NoteStep(100);
    EXPECT_EQ(backlog.Limit(), 400u);
    EXPECT_EQ(backlog.Append(Lines('A', 50)), 0u) << "four steps' worth stays";
    for (std::size_t i = 0; i < StreamBound::kStepsRemembered; ++i) backlog.NoteStep(10);
    EXPECT_EQ(backlog.Limit(), 64u);
    EXPECT_EQ(backlog.Append(Lines('B', 1)), 8u * 43);
    EXPECT_EQ(backlog.TakeDroppedSentences(), 43u);
    EXPECT_EQ(backlog.Pending(), Lines('A', 7) + Lines('B', 1));
    EXPECT_EQ(backlog.TakeDroppedSentences(), 0u);
}

struct UntakenRow {
    const char* name;
    std::size_t taken;       // of three 8-byte sentences
    std::string pending;     // after two more sentences pass a 16-byte bound
    std::size_t dropped;     // sentences
};

void PrintTo(const UntakenRow& row, std::ostream* os)
{
    *os << row.name;
}

class KeepUntakenTest : public testing::TestWithParam<UntakenRow> {};

TEST_P(KeepUntakenTest, ABegunSentenceStaysWholeAndDropsAreCounted)
{
    const UntakenRow& row = GetParam();
    SentenceBacklog backlog(16);
    const std::string step = Lines('A', 1) + Lines('B', 1) + Lines('C', 1);
    backlog.KeepUntaken(step, row.taken);
    backlog.Append(Lines('D', 1) + Lines('E', 1));
    EXPECT_EQ(backlog.Pending(), row.pending);
    EXPECT_EQ(backlog.TakeDroppedSentences(), row.dropped);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeepUntakenTest,
    testing::Values(UntakenRow{"NothingTaken", 0, Lines('D', 1) + Lines('E', 1), 3},
                    UntakenRow{"CutInsideTheFirst", 3, "AAA\r\n" + Lines('E', 1), 3},
                    UntakenRow{"CutBeforeTheLineFeed", 7, "\n" + Lines('E', 1), 3},
                    UntakenRow{"CutAtASentenceEnd", 8, Lines('D', 1) + Lines('E', 1), 2},
                    UntakenRow{"AllTaken", 24, Lines('D', 1) + Lines('E', 1), 0}),
    [](const testing::TestParamInfo<UntakenRow>& info) { return std::string(info.param.name); });

TEST(SentenceBacklogBound, TheSentencesOfOneMessageAreKeptOrDroppedTogether)
{
    const std::string first = "!AIVDM,2,1,3,A,PPPPPPPP,0*00\r\n";
    const std::string second = "!AIVDM,2,2,3,A,QQ,2*00\r\n";
    const std::string single = "!AIVDM,1,1,,A,SSSSSSSS,0*00\r\n";
    const std::string gps = "$GPZDA,1*00\r\n";
    EXPECT_TRUE(StartsMessage(first));
    EXPECT_FALSE(StartsMessage(second));
    EXPECT_TRUE(StartsMessage(single));
    EXPECT_TRUE(StartsMessage(gps));

    // One byte too many: the oldest sentence would do, but its message has two.
    SentenceBacklog backlog(first.size() + second.size() + single.size() - 1);
    backlog.Append(first + second + single);
    EXPECT_EQ(backlog.Pending(), single);
    EXPECT_EQ(backlog.TakeDroppedSentences(), 2u);

    // A device that took the head of a first part gets its second part too.
    SentenceBacklog begun(single.size());
    begun.KeepUntaken(first + second + single, 4);
    EXPECT_EQ(begun.Pending(), first.substr(4) + second);
    EXPECT_EQ(begun.TakeDroppedSentences(), 1u);
}

struct LossEvent {
    std::chrono::milliseconds at;
    std::uint64_t dropped;  // 0: a poll
};

struct LossRow {
    const char* name;
    std::vector<LossEvent> events;
    std::chrono::milliseconds flushAt;  // negative: no flush
    std::vector<std::string> lines;
};

void PrintTo(const LossRow& row, std::ostream* os)
{
    *os << row.name;
}

class LossReportTest : public testing::TestWithParam<LossRow> {};

TEST_P(LossReportTest, OneLinePerOutputAtMostEveryTenSeconds)
{
    const LossRow& row = GetParam();
    std::vector<std::string> lines;
    LossReport report("FILE", [&](std::string_view line) { lines.emplace_back(line); });
    const Clock::time_point start{};
    std::uint64_t total = 0;
    for (const LossEvent& event : row.events) {
        report.Dropped(event.dropped, start + event.at);
        total += event.dropped;
    }
    if (row.flushAt >= 0ms) report.Flush(start + row.flushAt);
    EXPECT_EQ(lines, row.lines);
    EXPECT_EQ(report.Total(), total);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LossReportTest,
    testing::Values(
        LossRow{"NothingDroppedNothingSaid", {{0ms, 0}, {20s, 0}}, 30s, {}},
        LossRow{"ToldOnceTheWindowIsTenSecondsOld",
                {{1s, 5}, {2s, 7}, {10500ms, 0}, {11s, 0}},
                -1ms,
                {"Warning : [FILE] output too slow, 12 sentences dropped in the last 10 s."}},
        LossRow{"NoSecondLineWithinTenSeconds",
                {{0s, 1}, {10s, 2}, {12s, 3}, {19s, 0}},
                21s,
                {"Warning : [FILE] output too slow, 3 sentences dropped in the last 10 s.",
                 "Warning : [FILE] output too slow, 3 sentences dropped in the last 9 s."}},
        LossRow{"CloseTellsWhatIsLeft",
                {{0s, 1}},
                3s,
                {"Warning : [FILE] output too slow, 1 sentence dropped in the last 3 s."}}),
    [](const testing::TestParamInfo<LossRow>& info) { return std::string(info.param.name); });

// Sends a step of `count` datagrams tick by tick; returns how many left in each tick.
std::vector<std::size_t> Spread(DatagramPacing& pacing, Clock::time_point start, std::size_t count)
{
    pacing.StepArrived(start);
    std::vector<std::size_t> perTick;
    for (Clock::time_point now = start; count > 0; now += DatagramPacing::kTick) {
        const std::size_t sent = std::min(count, pacing.Allowance(count, now));
        perTick.push_back(sent);
        count -= sent;
    }
    return perTick;
}

TEST(DatagramPacingTest, AStepIsSpreadOverMostOfTheSecondAndAFewLeaveAtOnce)
{
    DatagramPacing pacing;
    const Clock::time_point start{};
    const std::vector<std::size_t> small = Spread(pacing, start, DatagramPacing::kBurst);
    EXPECT_EQ(small.size(), 1u) << "a step of a few datagrams is not delayed";

    const std::vector<std::size_t> step = Spread(pacing, start + 1s, 600);
    EXPECT_GE(step.size(), 500u);
    EXPECT_LE(step.size(), 800u);
    EXPECT_LE(*std::max_element(step.begin(), step.end()), DatagramPacing::kBurst);

    // Steps ten times a second spread over a tenth of the time.
    Spread(pacing, start + 2s, 10);
    const std::vector<std::size_t> fast = Spread(pacing, start + 2100ms, 600);
    EXPECT_GE(fast.size(), 50u);
    EXPECT_LE(fast.size(), 80u);
}

} // namespace

// Simulated time and the cadence of steps, on injected clocks.
#include "emulator/model/SimulationClock.h"
#include "emulator/model/StepCadence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// 2026-03-01 12:00:00.250 UTC.
const std::chrono::system_clock::time_point kWallStart =
    std::chrono::system_clock::time_point(std::chrono::seconds(1772366400)) + 250ms;

struct FakeClocks {
    std::uint64_t tick = 0;
    SimulationClock Make(double factor)
    {
        return SimulationClock(factor, [this] { return tick; }, [] { return kWallStart; });
    }
};

TEST(SimulationClockTest, FactorOneIsTheRealClockItself)
{
    FakeClocks real;
    real.tick = 0xFFFFF000ULL;  // near the wrap of the 32-bit count
    SimulationClock clock = real.Make(1.0);
    clock.Start();
    for (const std::uint64_t tick : {0xFFFFF3E8ULL, 0x00000123ULL, 0x00100000ULL}) {
        real.tick = tick;
        EXPECT_EQ(clock.Tick(), tick);
    }
    EXPECT_EQ(clock.StepPeriodMs(), 1000.0);
}

struct FactorRow {
    const char* name;
    double factor;
    std::uint64_t realMs;       // after the start
    std::uint64_t simulatedMs;  // the tick advance
    const char* utc;            // hh:mm:ss.mmm the sentences carry
};

void PrintTo(const FactorRow& row, std::ostream* os)
{
    *os << row.name;
}

class SimulationClockFactor : public testing::TestWithParam<FactorRow> {};

TEST_P(SimulationClockFactor, TicksAndTimesFollowSimulatedTime)
{
    const FactorRow& row = GetParam();
    FakeClocks real;
    real.tick = 0xFFFFFF00ULL;
    SimulationClock clock = real.Make(row.factor);
    clock.Start();
    EXPECT_DOUBLE_EQ(clock.StepPeriodMs(), 1000.0 / row.factor);
    // Read every half second, as a run does, across the wrap of the count.
    for (std::uint64_t ms = 0; ms < row.realMs; ms += 500) {
        real.tick = (0xFFFFFF00ULL + ms) & 0xFFFFFFFFULL;
        clock.Tick();
    }
    real.tick = (0xFFFFFF00ULL + row.realMs) & 0xFFFFFFFFULL;
    EXPECT_EQ(clock.Tick(), (0xFFFFFF00ULL + row.simulatedMs) & 0xFFFFFFFFULL);
    const platform::LocalTime utc = clock.UtcTime();
    char text[16];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", utc.hour, utc.minute, utc.second, utc.millisecond);
    EXPECT_STREQ(text, row.utc);
    EXPECT_EQ(utc.day, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SimulationClockFactor,
    testing::Values(FactorRow{"TenTimes", 10.0, 60000, 600000, "12:10:00.250"},
                    FactorRow{"Halved", 0.5, 7000, 3500, "12:00:03.750"},
                    FactorRow{"Fractional", 2.5, 1001, 2502, "12:00:02.752"}),
    [](const testing::TestParamInfo<FactorRow>& info) { return std::string(info.param.name); });

struct CadenceRow {
    const char* name;
    double periodMs;
    std::vector<std::uint64_t> startsMs;  // when each step really started
    std::vector<double> lateMs;
    std::vector<std::uint64_t> skipped;
    std::vector<std::uint64_t> numbers;  // of the steps run
    std::uint64_t waitAfterMs;  // from the last start until the next step is due
};

void PrintTo(const CadenceRow& row, std::ostream* os)
{
    *os << row.name;
}

class StepCadenceTest : public testing::TestWithParam<CadenceRow> {};

TEST_P(StepCadenceTest, EachStepIsDueOnePeriodAfterThePreviousWasDue)
{
    const CadenceRow& row = GetParam();
    StepCadence cadence(row.periodMs);
    std::vector<double> late;
    std::vector<std::uint64_t> skipped;
    std::vector<std::uint64_t> numbers;
    for (const std::uint64_t start : row.startsMs) {
        const StepCadence::StepStart s = cadence.Begin(start);
        late.push_back(s.lateMs);
        skipped.push_back(s.skipped);
        numbers.push_back(s.number);
    }
    EXPECT_EQ(late, row.lateMs);
    EXPECT_EQ(skipped, row.skipped);
    EXPECT_EQ(numbers, row.numbers);
    EXPECT_EQ(cadence.WaitMs(row.startsMs.back()), row.waitAfterMs);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StepCadenceTest,
    testing::Values(
        // The work of a step does not push the next one back.
        CadenceRow{"OnTime", 1000, {1000, 2000, 3000}, {0, 0, 0}, {0, 0, 0}, {1, 2, 3}, 1000},
        CadenceRow{"LateStepKeepsTheGrid", 1000, {1000, 2400, 3000}, {0, 400, 0}, {0, 0, 0}, {1, 2, 3}, 1000},
        CadenceRow{"WorkLongerThanAPeriodSkips", 1000, {1000, 4500, 5100}, {0, 2500, 100}, {0, 2, 0}, {1, 4, 5}, 900},
        CadenceRow{"TenStepsASecond", 100, {100, 200, 350, 400}, {0, 0, 50, 0}, {0, 0, 0, 0}, {1, 2, 3, 4}, 100}),
    [](const testing::TestParamInfo<CadenceRow>& info) { return std::string(info.param.name); });

TEST(LatenessReportTest, ToldAtMostEveryTenSecondsWithTheWorstLateness)
{
    std::vector<std::string> lines;
    LatenessReport report(1000, [&](std::string_view line) { lines.emplace_back(line); });
    const std::chrono::steady_clock::time_point start{};
    report.Step({100.0, 0}, start);           // jitter: not told
    report.Step({600.0, 0}, start + 1s);
    report.Step({1500.0, 1}, start + 3s);
    report.Step({0.0, 0}, start + 11s);       // the window is ten seconds old
    report.Step({700.0, 2}, start + 12s);
    report.Step({0.0, 0}, start + 20s);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Warning : the run is behind real time: steps started up to 1.5 s late, 1 step skipped "
                        "in the last 10 s.");
}

// At a hundred times the clock a period is 10 ms: a step a few milliseconds late is jitter,
// skipped steps are not.
TEST(LatenessReportTest, ShortPeriodsTellOnlySkippedSteps)
{
    std::vector<std::string> lines;
    LatenessReport report(10, [&](std::string_view line) { lines.emplace_back(line); });
    const std::chrono::steady_clock::time_point start{};
    report.Step({8.0, 0}, start);
    report.Step({9.5, 0}, start + 5s);
    report.Step({0.0, 0}, start + 11s);
    EXPECT_TRUE(lines.empty()) << lines[0];
    report.Step({25.0, 2}, start + 12s);
    report.Step({0.0, 0}, start + 23s);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "Warning : the run is behind real time: steps started up to 25 ms late, 2 steps skipped "
                        "in the last 11 s.");
}

} // namespace

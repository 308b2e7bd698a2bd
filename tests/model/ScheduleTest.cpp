#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/model/CVesselModelImpl.h"
#include "tests/model/RecordingWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace {

// Drives a model's steps with a clock of the test's own: no thread, no waiting.
struct ScheduleFixture : ::testing::Test {
    CVesselModelImpl model{"unused"};
    std::vector<std::string> blocks;
    std::uint64_t tick = 0;
    std::uint64_t stepMs = 1001;  // the 1000 ms wait plus a little work

    void StartAt(std::uint64_t startTick)
    {
        model.SetTickSource([this] { return tick; });
        model.m_pChannelWriter = new RecordingWriter(&blocks);
        tick = startTick;
        model.m_lastStepTime = model.m_lastSentMsg1 = model.m_lastSentMsg5 = model.m_lastSentMsg18 =
            model.m_lastSentMsg19 = model.m_lastSentMsg24 = tick;
        model.Encoder().SetLocalTimeSource([] { return platform::LocalTime{2026, 1, 1, 0, 0, 0}; });
    }

    // Runs `steps` steps and returns, for each, the message types written in it.
    std::vector<std::vector<int>> Run(int steps)
    {
        std::vector<std::vector<int>> typesPerStep;
        for (int i = 0; i < steps; ++i) {
            tick = (tick + stepMs) & 0xFFFFFFFFULL;
            const size_t before = blocks.size();
            model.SimulationStep();
            std::vector<int> types;
            if (blocks.size() > before) types = TypesOf(blocks.back());
            typesPerStep.push_back(types);
        }
        return typesPerStep;
    }

    static std::vector<int> TypesOf(const std::string& block)
    {
        // The first payload character of each sentence names the type: 1 '1', 5 '5',
        // 18 'B', 19 'C', 24 'H'; the second fragment of message 5 and part B of
        // message 24 are not counted again.
        std::vector<int> types;
        size_t pos = 0;
        while ((pos = block.find('!', pos)) != std::string::npos) {
            const size_t comma5 = [&] { size_t p = pos; for (int i = 0; i < 5; ++i) p = block.find(',', p + 1); return p; }();
            const bool secondFragment = block.compare(pos + 6, 4, ",2,2") == 0;
            const char c = block[comma5 + 1];
            const bool part24B = c == 'H' && !types.empty() && types.back() == 24;
            if (!secondFragment && !part24B) types.push_back(c == '1' ? 1 : c == '5' ? 5 : c == 'B' ? 18 : c == 'C' ? 19 : c == 'H' ? 24 : -1);
            ++pos;
        }
        return types;
    }

    static std::vector<int> StepsWith(const std::vector<std::vector<int>>& run, int type)
    {
        std::vector<int> steps;
        for (size_t i = 0; i < run.size(); ++i)
            for (int t : run[i]) if (t == type) steps.push_back(static_cast<int>(i) + 1);
        return steps;
    }
};

TEST_F(ScheduleFixture, FirstMessage1After11StepsThenEveryTenth)
{
    model.m_speedOverGround = 0.0F;
    model.m_navStatus = 15;
    model.m_rateOfTurn = 0.0F;
    model.m_enableMsg5 = false;
    StartAt(5000);
    const auto run = Run(45);
    EXPECT_EQ(StepsWith(run, 1), (std::vector<int>{11, 21, 31, 41}));
    EXPECT_EQ(blocks.size(), 4u);  // one Write per step that has something to say
}

// Measures the period of message 1 (in ms of schedule time) for a vessel.
struct IntervalCase {
    const char* name;
    int navStatus;
    float speed;
    float rot;
    std::uint64_t message1Ms;
    std::uint64_t message18Ms;  // elapsed must exceed this
};

TEST_F(ScheduleFixture, ReportingIntervalBoundaries)
{
    const IntervalCase cases[] = {
        {"anchored at 3.0 kn", 1, 3.0F, 0, 180000, 30000},
        {"anchored at 3.1 kn", 1, 3.1F, 0, 10000, 30000},
        {"moored at 3.0 kn", 5, 3.0F, 0, 180000, 30000},
        {"moored at 3.1 kn turning", 5, 3.1F, 5, 10000, 30000},
        {"14.0 kn steady", 0, 14.0F, 0, 10000, 15000},
        {"14.0 kn turning", 0, 14.0F, -1, 3300, 15000},
        {"14.1 kn steady", 0, 14.1F, 0, 6000, 15000},
        {"23.0 kn steady", 0, 23.0F, 0, 6000, 5000},
        {"23.0 kn turning", 0, 23.0F, 2, 2000, 5000},
        {"23.1 kn steady", 0, 23.1F, 0, 2000, 5000},
        {"2.0 kn", 15, 2.0F, 0, 10000, 30000},
        {"1.9 kn", 15, 1.9F, 0, 10000, 180000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        model.m_navStatus = c.navStatus;
        model.m_speedOverGround = c.speed;
        model.m_rateOfTurn = c.rot;
        // Message 1 due exactly at its interval, not a millisecond before.
        model.m_lastStepTime = 1000000;
        model.m_lastSentMsg1 = model.m_lastStepTime - c.message1Ms;
        EXPECT_TRUE(model.IsPositionReportDue());
        model.m_lastSentMsg1 += 1;
        EXPECT_FALSE(model.IsPositionReportDue());
        // Message 18 due only once its interval is exceeded.
        model.m_lastSentMsg18 = model.m_lastStepTime - c.message18Ms;
        EXPECT_FALSE(model.IsClassBReportDue());
        model.m_lastSentMsg18 -= 1;
        EXPECT_TRUE(model.IsClassBReportDue());
    }
}

TEST_F(ScheduleFixture, StaticMessagesAfterSixMinutesInOrder)
{
    model.m_enableMsg1 = model.m_enableMsg5 = model.m_enableMsg18 = model.m_enableMsg19 = model.m_enableMsg24 = true;
    model.m_speedOverGround = 0.0F;
    stepMs = 1000;
    StartAt(0);
    const auto run = Run(363);
    EXPECT_EQ(StepsWith(run, 5), (std::vector<int>{361}));
    EXPECT_EQ(StepsWith(run, 19), (std::vector<int>{361}));
    EXPECT_EQ(StepsWith(run, 24), (std::vector<int>{361}));
    EXPECT_EQ(StepsWith(run, 18), (std::vector<int>{182, 363}));  // more than 180000 ms
    // In one step the types come in the order 1, 5, 18, 19, 24.
    for (const auto& types : run)
        EXPECT_TRUE(std::is_sorted(types.begin(), types.end()));
    EXPECT_EQ(run[360], (std::vector<int>{1, 5, 19, 24}));
}

TEST_F(ScheduleFixture, IgnoreTimingsSendsEveryEnabledTypeEveryStep)
{
    model.m_ignoreTimings = true;
    model.m_enableMsg1 = model.m_enableMsg5 = model.m_enableMsg18 = model.m_enableMsg19 = model.m_enableMsg24 = true;
    StartAt(0);
    const auto run = Run(3);
    ASSERT_EQ(blocks.size(), 3u);
    for (const auto& types : run) EXPECT_EQ(types, (std::vector<int>{1, 5, 18, 19, 24}));
    size_t lines = 0;
    for (char ch : blocks[0]) lines += ch == '\n';
    EXPECT_EQ(lines, 7u);  // messages 5 and 24 are two sentences each
}

TEST_F(ScheduleFixture, DisabledTypeStillRestartsItsInterval)
{
    model.m_speedOverGround = 0.0F;
    model.m_enableMsg1 = false;
    model.m_enableMsg5 = false;
    StartAt(0);
    Run(12);
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(model.m_lastSentMsg1, 10u * 1001);  // stamped at the step that was due
}

TEST_F(ScheduleFixture, TickWrapNeitherStopsNorJumpsTheVessel)
{
    model.m_speedOverGround = 10.0F;
    model.m_courseOverGround = 90.0F;
    model.m_enableMsg5 = false;
    stepMs = 1000;
    StartAt(4294967295ULL - 2500);
    double lastLon = 0.0;
    std::vector<double> advances;
    for (int i = 0; i < 6; ++i) {
        Run(1);
        advances.push_back(model.m_longitude - lastLon);
        lastLon = model.m_longitude;
    }
    // 10 knots for 1 s is 5.144 m, about 4.62e-5 degrees of longitude at the equator.
    for (double a : advances) EXPECT_NEAR(a, 4.62e-5, 0.2e-5);
    EXPECT_LT(tick, 10000u);  // the counter did wrap
}

TEST_F(ScheduleFixture, TurningOnTheSpotKeepsPositionAndTurnsSixDegreesAMinute)
{
    model.m_speedOverGround = 0.0F;
    model.m_rateOfTurn = 6.0F;
    model.m_courseOverGround = 350.0F;
    model.m_latitude = 40.0;
    model.m_longitude = 20.0;
    model.m_enableMsg1 = model.m_enableMsg5 = false;
    stepMs = 1000;
    StartAt(0);
    Run(60);
    EXPECT_NEAR(model.m_latitude, 40.0, 1e-9);
    EXPECT_NEAR(model.m_longitude, 20.0, 1e-9);
    EXPECT_NEAR(model.m_courseOverGround, 356.0, 0.01);
    Run(60);
    EXPECT_NEAR(model.m_courseOverGround, 2.0, 0.01);  // kept within 0..360
    EXPECT_EQ(model.GetHeading(1), model.GetCourseOverGround());
}

TEST_F(ScheduleFixture, CrossingTheDateLineContinuesAtNegativeLongitudes)
{
    model.m_speedOverGround = 30.0F;
    model.m_courseOverGround = 90.0F;
    model.m_longitude = 179.999;
    model.m_enableMsg5 = false;
    stepMs = 60000;
    StartAt(0);
    Run(3);
    EXPECT_LT(model.m_longitude, -179.0);
    EXPECT_GE(model.m_longitude, -180.0);
}

TEST(VesselModel, ConstructionValues)
{
    CVesselModelImpl model("CON");
    double lat = 1, lon = 1;
    model.GetPosition(lat, lon);
    int a, b, c, d;
    model.GetDimensions(a, b, c, d);
    EXPECT_EQ(model.GetMMSI(), 272000000);
    EXPECT_EQ(model.GetIMONumber(), 999999);
    EXPECT_EQ(model.GetShipType(), 52);
    EXPECT_EQ(model.GetEPFDType(), 1);
    EXPECT_EQ(model.GetNavStatus(), 15);
    EXPECT_EQ((std::vector<int>{a, b, c, d}), (std::vector<int>{50, 50, 6, 6}));
    EXPECT_EQ(model.GetCourseOverGround(), 45.0F);
    EXPECT_EQ(model.GetSpeedOverGround(), 25.0F);
    EXPECT_EQ(model.GetRateOfTurn(), 0.0F);
    EXPECT_EQ(lat, 0.0);
    EXPECT_EQ(lon, 0.0);
    EXPECT_STREQ(model.GetShipName(), "SHIP NAME");
    EXPECT_STREQ(model.GetCallSign(), "SHPCLSGN");
    EXPECT_STREQ(model.GetDestination(), "PORT OF DEST");
    EXPECT_STREQ(model.GetPortOfOrigin(), "PORT OF ORIGIN");
    EXPECT_TRUE(model.m_enableMsg1 && model.m_enableMsg5);
    EXPECT_FALSE(model.m_enableMsg18 || model.m_enableMsg19 || model.m_enableMsg24);
    EXPECT_TRUE(model.Encoder().m_bChecksumEnabled);
    EXPECT_EQ(model.Encoder().m_pVessel, static_cast<IVessel*>(&model));
    EXPECT_EQ(model.IsActive(), 1);
    EXPECT_FALSE(model.HasWriter());
    EXPECT_FALSE(model.IsSimulationRunning());
}

} // namespace

// The own ship reports its fix every step, ahead of whatever AIS is due, and keeps the
// AIS schedule of any other vessel.
TEST_F(ScheduleFixture, OwnShipSendsGpsEveryStepBeforeItsAis)
{
    model.m_ownShip = true;
    model.Encoder().m_bOwnShip = true;
    model.m_speedOverGround = 0.0F;
    model.m_navStatus = 15;
    model.SetUtcTimeSource([] { return platform::LocalTime{2026, 1, 1, 12, 0, 0, 0}; });
    StartAt(5000);
    const auto run = Run(12);
    ASSERT_EQ(blocks.size(), 12u);
    EXPECT_EQ(StepsWith(run, 1), (std::vector<int>{11}));
    for (const std::string& block : blocks) {
        EXPECT_EQ(block.rfind("$GPRMC,120000.00,A,", 0), 0u) << block;
        const std::size_t ais = block.find('!');
        EXPECT_EQ(block.find("$HEHDT") < ais, true);
        if (ais != std::string::npos) {
            EXPECT_EQ(block.compare(ais, 7, "!AIVDO,"), 0) << block;
        }
    }
}

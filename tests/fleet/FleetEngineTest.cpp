// The fleet engine against the single vessel: the same vessels, stamps and clocks must
// give the same sentences, step by step, byte for byte.
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/RandomFleet.h"
#include "emulator/model/CVesselModelImpl.h"
#include "emulator/model/SimulationClock.h"
#include "tests/model/RecordingWriter.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <unordered_set>

namespace {

const platform::LocalTime kLocal{2026, 6, 1, 10, 20, 30};

std::unique_ptr<CVesselModelImpl> ModelOf(const FleetVessel& v, const Fleet& fleet, std::vector<std::string>* blocks)
{
    auto model = std::make_unique<CVesselModelImpl>("unused");
    model->m_latitude = v.latitude;
    model->m_longitude = v.longitude;
    model->m_speedOverGround = v.speed;
    model->m_courseOverGround = v.course;
    model->m_rateOfTurn = v.rateOfTurn;
    model->m_mmsi = v.mmsi;
    model->m_imoNumber = v.imo;
    model->m_shipName = fleet.texts.Text(v.name);
    model->m_callSign = fleet.texts.Text(v.callSign);
    model->m_destination = fleet.texts.Text(v.destination);
    model->m_shipType = v.shipType;
    model->m_navStatus = v.navStatus;
    model->m_epfdType = v.epfd;
    model->m_positionAccuracy = v.accuracy;
    model->m_dimA = v.dims[0];
    model->m_dimB = v.dims[1];
    model->m_dimC = v.dims[2];
    model->m_dimD = v.dims[3];
    model->m_enableMsg1 = (v.messages & kSendMsg1) != 0;
    model->m_enableMsg5 = (v.messages & kSendMsg5) != 0;
    model->m_enableMsg18 = (v.messages & kSendMsg18) != 0;
    model->m_enableMsg19 = (v.messages & kSendMsg19) != 0;
    model->m_enableMsg24 = (v.messages & kSendMsg24) != 0;
    model->m_lastSentMsg1 = v.lastSent[0];
    model->m_lastSentMsg5 = v.lastSent[1];
    model->m_lastSentMsg18 = v.lastSent[2];
    model->m_lastSentMsg19 = v.lastSent[3];
    model->m_lastSentMsg24 = v.lastSent[4];
    model->Encoder().SetLocalTimeSource([] { return kLocal; });
    model->m_pChannelWriter = new RecordingWriter(blocks);
    return model;
}

TEST(FleetEngine, ThousandVesselsFollowTheSingleVesselsRulesFor400Seconds)
{
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, 1000, {59.0, 10.0, 60.0, 11.5}, 2024, used);
    // The single vessel neither keeps to water nor stores an ETA: nor do these.
    for (FleetVessel& v : fleet.vessels) {
        v.steering = 0;
        v.eta[0] = 0;
    }
    // Some turn, some go fast: every row of the interval tables is met.
    for (std::size_t i = 0; i < fleet.vessels.size(); i += 7) fleet.vessels[i].rateOfTurn = 3.0F;
    for (std::size_t i = 3; i < fleet.vessels.size(); i += 11) fleet.vessels[i].speed = 25.0F;
    fleet.vessels[0].messages = 0x1F;  // every type for one vessel

    FleetEngine engine(fleet, {true, false}, false);
    engine.SetLocalTimeSource([] { return kLocal; });
    std::uint64_t tick = 4294900000ULL;  // the tick count wraps during the run
    engine.Start(tick, 1, 99);

    std::vector<std::string> blocks;
    std::vector<std::unique_ptr<CVesselModelImpl>> models;
    for (const FleetVessel& v : fleet.vessels) models.push_back(ModelOf(v, fleet, &blocks));
    for (auto& model : models) {
        model->m_lastStepTime = tick;
        model->SetTickSource([&tick] { return tick; });
    }

    std::size_t sentences = 0;
    for (int second = 1; second <= 400; ++second) {
        tick = (tick + 1000 + static_cast<std::uint64_t>(second % 3)) & 0xFFFFFFFFULL;
        std::string fleetStep;
        engine.Step(tick, fleetStep);
        blocks.clear();
        for (auto& model : models) model->SimulationStep();
        std::string expected;
        for (const std::string& block : blocks) expected += block;
        if (fleetStep != expected) {
            const auto diverge = std::mismatch(fleetStep.begin(), fleetStep.end(), expected.begin(), expected.end());
            const auto at = static_cast<std::size_t>(diverge.first - fleetStep.begin());
            FAIL() << "second " << second << ": the fleet's step differs from the single vessels' at byte " << at
                   << ": \"" << fleetStep.substr(at, 60) << "\" instead of \"" << expected.substr(at, 60) << "\"";
        }
        sentences += static_cast<std::size_t>(std::count(fleetStep.begin(), fleetStep.end(), '\n'));
    }
    EXPECT_GT(sentences, 30000u);
}

TEST(FleetEngine, StartPhasesSpreadTheFirstReports)
{
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, 2000, {0, 0, 1, 1}, 5, used);
    for (FleetVessel& v : fleet.vessels) {
        v.messages = kSendMsg1;
        v.navStatus = 0;
        v.speed = 10.0F;  // class A every 10 s
    }
    FleetEngine engine(fleet, {true, false}, false);
    std::uint64_t tick = 1000000;
    engine.Start(tick, 1, 7);
    std::vector<std::size_t> perSecond;
    for (int second = 1; second <= 11; ++second) {
        std::string out;
        tick += 1000;
        engine.Step(tick, out);
        perSecond.push_back(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')));
    }
    // The schedule runs on the previous step's tick, so nothing is due in the first
    // step. Vessel 0 keeps the single vessel's timing (its first report in step 11); the
    // others report once in steps 2 to 11, spread over them.
    EXPECT_EQ(perSecond[0], 0u);
    std::size_t total = 0;
    for (std::size_t s = 1; s < perSecond.size(); ++s) {
        total += perSecond[s];
        EXPECT_GT(perSecond[s], 100u) << "step " << s + 1;
        EXPECT_LT(perSecond[s], 320u) << "step " << s + 1;
    }
    EXPECT_EQ(total, 2000u);
}

TEST(FleetEngine, AFasterClockMovesAndStampsVesselsBySimulatedTime)
{
    KVL_REQUIRE_GPSDECODE();
    Fleet fleet;
    FleetVessel northbound;
    northbound.speed = 10.0F;
    northbound.mmsi = 244000001;
    northbound.messages = kSendMsg18;
    northbound.name = northbound.callSign = northbound.destination = fleet.texts.Intern("");
    fleet.vessels.push_back(northbound);

    // Six simulated seconds per real second, from 12:00:00.250 UTC.
    std::uint64_t real = 5000;
    const auto wallStart = std::chrono::system_clock::time_point(std::chrono::seconds(1772366400)) +
                           std::chrono::milliseconds(250);
    SimulationClock clock(6.0, [&real] { return real; }, [wallStart] { return wallStart; });
    clock.Start();
    FleetEngine engine(fleet, {true, false}, true);
    engine.SetLocalTimeSource([&clock] { return clock.LocalTime(); });
    engine.Start(clock.Tick(), 0, 1);
    std::string out;
    for (int step = 1; step <= 45; ++step) {
        real = 5000 + static_cast<std::uint64_t>(step) * 1000 / 6;  // a step per simulated second
        out.clear();
        engine.Step(clock.Tick(), out);
    }
    // 45 simulated seconds at 10 knots: 231.5 m north of the equator.
    EXPECT_NEAR(fleet.vessels[0].latitude, 231.5 / 110574.0, 0.00001);
    const auto records = testsupport::GpsDecode(out);
    ASSERT_EQ(records.size(), 1u) << out;
    EXPECT_EQ(records[0].at("second"), "45") << "the stamp follows simulated time";
}

TEST(FleetEngine, StepsOnACadenceKeepTheIntervalWhenTheyStartAFewMillisecondsLate)
{
    Fleet fleet;
    FleetVessel fast;
    fast.speed = 25.0F;  // class A every 2 s
    fast.messages = kSendMsg1;
    fast.name = fast.callSign = fast.destination = fleet.texts.Intern("");
    fleet.vessels.push_back(fast);
    const std::uint64_t start = 50000;
    const auto reportsIn20Steps = [&](bool onTheGrid) {
        Fleet copy = fleet;
        FleetEngine engine(copy, {true, false}, false);
        engine.Start(start, 1, 1);
        std::size_t reports = 0;
        for (std::uint64_t step = 1; step <= 20; ++step) {
            const std::uint64_t due = start + step * 1000;
            const std::uint64_t late = due + 20 - step;  // each step a little less late than the one before
            std::string out;
            if (onTheGrid) {
                engine.Step(late, due, out);
            } else {
                engine.Step(late, out);
            }
            reports += static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
        }
        return reports;
    };
    // Due from the third step on (the schedule reads the previous step's tick): steps 3, 5, ... 19.
    EXPECT_EQ(reportsIn20Steps(true), 9u);
    EXPECT_LT(reportsIn20Steps(false), 9u) << "the jitter alone would cost reports";
}

} // namespace

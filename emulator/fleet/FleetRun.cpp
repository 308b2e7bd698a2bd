#include "emulator/fleet/FleetRun.h"

#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/IChannelWriter.h"
#include "emulator/model/StepCadence.h"

#include <chrono>
#include <iostream>
#include <new>
#include <utility>

namespace {

using namespace std::chrono_literals;
constexpr auto kStopWaitLimit = 3000ms;

} // namespace

FleetRun::FleetRun(FleetEngine& engine, std::string output, SerialLineSettings serial, double timeFactor)
    : FleetRun(engine, std::vector<std::string>{std::move(output)}, OutputSettings{serial, {}}, timeFactor)
{
}

FleetRun::FleetRun(FleetEngine& engine, std::vector<std::string> outputs, OutputSettings settings, double timeFactor)
    : m_engine(engine), m_outputs(std::move(outputs)), m_settings(std::move(settings)), m_clock(timeFactor)
{
}

FleetRun::~FleetRun()
{
    Stop();
}

bool FleetRun::Start(StartPhases phases, std::uint32_t seed)
{
    Stop();
    m_stopEvent.Reset();
    m_outOfMemory = false;
    m_stopping = false;
    m_engine.SetAbandonFlag(&m_stopping);
    m_clock.Start();
    m_stepDueMs = 0;
    if (m_clock.TimeFactor() == 1.0) {
        m_engine.SetLocalTimeSource([this] { return m_clock.LocalTime(); });
        m_engine.SetUtcTimeSource([this] { return m_clock.UtcTime(); });
    } else {
        m_engine.SetLocalTimeSource([this] { return m_clock.LocalTimeAfterStart(m_stepDueMs); });
        m_engine.SetUtcTimeSource([this] { return m_clock.UtcTimeAfterStart(m_stepDueMs); });
    }
    m_engine.Start(m_clock.TickAfterStart(0), phases, seed);
    if (!OpenOutputs(m_outputs, m_settings, m_writer)) return false;
    m_threadEnded.Reset();
    m_thread = std::thread(&FleetRun::ThreadProc, this);
    return true;
}

void FleetRun::Stop()
{
    m_stopping = true;
    m_stopEvent.Set();
    if (m_thread.joinable()) {
        if (!m_threadEnded.Wait(kStopWaitLimit)) std::cerr << "Warning : simulation thread is late to stop." << std::endl;
        m_thread.join();
    }
    if (m_writer != nullptr) {
        m_writer->Close();
        m_writer->Release();
        m_writer = nullptr;
    }
}

bool FleetRun::Running() const
{
    return m_writer != nullptr && m_writer->IsAlive() && !m_threadEnded.IsSet();
}

void FleetRun::ThreadProc()
{
    try {
        StepUntilStopped();
    } catch (const std::bad_alloc&) {
        // A step larger than the machine can hold ends the run; nothing half-made is sent.
        ReportChannelLine("Error : out of memory while stepping the fleet; the run ends.");
        m_outOfMemory = true;
    }
    m_threadEnded.Set();
}

void FleetRun::StepUntilStopped()
{
    StepCadence cadence(m_clock.StepPeriodMs());
    LatenessReport lateness(m_clock.StepPeriodMs(), ReportChannelLine);
    std::string step;
    for (;;) {
        const std::chrono::milliseconds wait(cadence.WaitMs(m_clock.RealElapsedMs()));
        if (m_stopEvent.Wait(wait)) break;
        const StepCadence::StepStart start = cadence.Begin(m_clock.RealElapsedMs());
        lateness.Step(start);
        step.clear();
        // The schedule runs on the ticks the steps were due at, one simulated second apart.
        const auto dueMs = static_cast<std::uint64_t>(start.number * SimulationClock::kMsPerSimulatedSecond);
        m_stepDueMs = dueMs;
        const std::uint64_t tick = m_clock.TimeFactor() == 1.0 ? m_clock.Tick() : m_clock.TickAfterStart(dueMs);
        m_engine.Step(tick, m_clock.TickAfterStart(dueMs), step);
        if (m_engine.LastStepAbandoned()) break;  // cut short by a stop: none of it goes out
        if (!step.empty()) m_writer->Write(step.data(), static_cast<std::uint32_t>(step.size()));
        if (!m_writer->IsAlive()) break;
    }
}

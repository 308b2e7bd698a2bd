#include "emulator/fleet/FleetRun.h"

#include "emulator/channels/IChannelWriter.h"

#include <chrono>
#include <iostream>

namespace {

using namespace std::chrono_literals;
constexpr auto kStepWait = 1000ms;
constexpr auto kStopWaitLimit = 3000ms;

} // namespace

FleetRun::FleetRun(FleetEngine& engine, std::string output, SerialLineSettings serial)
    : m_engine(engine), m_output(std::move(output)), m_serial(serial)
{
}

FleetRun::~FleetRun()
{
    Stop();
}

bool FleetRun::Start(std::size_t firstSpread, std::uint32_t seed)
{
    Stop();
    m_stopEvent.Reset();
    m_engine.Start(platform::GetTickCount(), firstSpread, seed);
    if (!SelectAndOpenChannel(m_output, m_serial, m_writer)) return false;
    m_threadEnded.Reset();
    m_thread = std::thread(&FleetRun::ThreadProc, this);
    return true;
}

void FleetRun::Stop()
{
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
    std::string step;
    while (!m_stopEvent.Wait(kStepWait)) {
        step.clear();
        m_engine.Step(platform::GetTickCount(), step);
        if (!step.empty()) m_writer->Write(step.data(), static_cast<std::uint32_t>(step.size()));
        if (!m_writer->IsAlive()) break;
    }
    m_threadEnded.Set();
}

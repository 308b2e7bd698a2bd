#include "emulator/model/SimulationClock.h"

#include <cmath>
#include <utility>

namespace {

constexpr std::uint64_t kTickMask = 0xFFFFFFFFULL;

} // namespace

SimulationClock::SimulationClock(double timeFactor, platform::TickSource realTicks, WallClock wallClock)
    : m_factor(timeFactor), m_realTicks(std::move(realTicks)), m_wallClock(std::move(wallClock))
{
}

void SimulationClock::Start()
{
    m_startTick = m_realTicks() & kTickMask;
    m_lastTick = m_startTick;
    m_realElapsedMs = 0;
    m_wallStart = m_wallClock();
}

std::uint64_t SimulationClock::RealElapsedMs()
{
    const std::uint64_t now = m_realTicks() & kTickMask;
    // Read at least every few seconds, so one wrap of the 32-bit count at most lies between.
    m_realElapsedMs += (now - m_lastTick) & kTickMask;
    m_lastTick = now;
    return m_realElapsedMs;
}

std::uint64_t SimulationClock::SimulatedElapsedMs()
{
    return static_cast<std::uint64_t>(std::floor(static_cast<double>(RealElapsedMs()) * m_factor));
}

std::uint64_t SimulationClock::Tick()
{
    if (m_factor == 1.0) return m_realTicks();
    return (m_startTick + SimulatedElapsedMs()) & kTickMask;
}

std::chrono::system_clock::time_point SimulationClock::SimulatedWallTime()
{
    return m_wallStart + std::chrono::milliseconds(SimulatedElapsedMs());
}

platform::LocalTime SimulationClock::LocalTime()
{
    if (m_factor == 1.0) return platform::GetLocalTime();
    return platform::LocalTimeAt(SimulatedWallTime());
}

platform::LocalTime SimulationClock::UtcTime()
{
    if (m_factor == 1.0) return platform::GetUtcTime();
    return platform::UtcTimeAt(SimulatedWallTime());
}

platform::LocalTime SimulationClock::LocalTimeAfterStart(std::uint64_t simulatedMs) const
{
    return platform::LocalTimeAt(m_wallStart + std::chrono::milliseconds(simulatedMs));
}

platform::LocalTime SimulationClock::UtcTimeAfterStart(std::uint64_t simulatedMs) const
{
    return platform::UtcTimeAt(m_wallStart + std::chrono::milliseconds(simulatedMs));
}

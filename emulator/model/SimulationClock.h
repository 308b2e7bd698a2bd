#pragma once

#include "platform/LocalClock.h"
#include "platform/TickClock.h"

#include <chrono>
#include <cstdint>
#include <functional>

// The simulated time of a run: real monotonic time since the start scaled by a time
// factor. A step is one simulated second, so X steps run per real second at factor X;
// the local and UTC times the sentences carry follow simulated time from the wall-clock
// time of the start. At factor 1 every reading is the real clock's own, as without it.
// Used by one thread.
class SimulationClock {
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;
    static constexpr double kMsPerSimulatedSecond = 1000.0;

    // `timeFactor` must be positive and finite.
    explicit SimulationClock(double timeFactor = 1.0, platform::TickSource realTicks = platform::GetTickCount,
                             WallClock wallClock = [] { return std::chrono::system_clock::now(); });

    // Simulated time starts at the real clocks' present.
    void Start();
    // Real milliseconds since Start.
    std::uint64_t RealElapsedMs();
    // The simulated millisecond tick: 32 bits that wrap like the real tick count, from
    // which it starts.
    std::uint64_t Tick();
    // The simulated tick `simulatedMs` after the start, on the same count as Tick().
    std::uint64_t TickAfterStart(std::uint64_t simulatedMs) const { return (m_startTick + simulatedMs) & 0xFFFFFFFFULL; }
    platform::LocalTime LocalTime();
    platform::LocalTime UtcTime();
    // The times `simulatedMs` after the start: a step's own time, however late the thread
    // that runs it.
    platform::LocalTime LocalTimeAfterStart(std::uint64_t simulatedMs) const;
    platform::LocalTime UtcTimeAfterStart(std::uint64_t simulatedMs) const;

    double TimeFactor() const { return m_factor; }
    // Real milliseconds of one step (one simulated second).
    double StepPeriodMs() const { return kMsPerSimulatedSecond / m_factor; }

private:
    std::uint64_t SimulatedElapsedMs();
    std::chrono::system_clock::time_point SimulatedWallTime();

    double m_factor;
    platform::TickSource m_realTicks;
    WallClock m_wallClock;
    std::uint64_t m_startTick = 0;
    std::uint64_t m_lastTick = 0;
    std::uint64_t m_realElapsedMs = 0;
    std::chrono::system_clock::time_point m_wallStart;
};

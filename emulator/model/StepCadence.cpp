#include "emulator/model/StepCadence.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

std::uint64_t StepCadence::WaitMs(std::uint64_t elapsedMs) const
{
    const double due = static_cast<double>(m_next) * m_periodMs;
    const double left = due - static_cast<double>(elapsedMs);
    return left <= 0.0 ? 0 : static_cast<std::uint64_t>(std::ceil(left));
}

StepCadence::StepStart StepCadence::Begin(std::uint64_t elapsedMs)
{
    const double now = static_cast<double>(elapsedMs);
    StepStart start;
    start.lateMs = std::fmax(0.0, now - static_cast<double>(m_next) * m_periodMs);
    // The latest step whose time has come; the ones between it and m_next are skipped.
    const auto latestDue = static_cast<std::uint64_t>(std::floor(now / m_periodMs));
    if (latestDue > m_next) start.skipped = latestDue - m_next;
    start.number = m_next + start.skipped;
    m_next = start.number + 1;
    return start;
}

namespace {

// Below this a step's lateness is the scheduler's jitter whatever the period: at a high time
// factor a period is a few milliseconds, and only skipped steps tell of a run behind.
constexpr double kJitterMs = 20.0;

} // namespace

LatenessReport::LatenessReport(double periodMs, Sink sink) : m_periodMs(periodMs), m_sink(std::move(sink)) {}

void LatenessReport::Step(const StepCadence::StepStart& start, Clock::time_point now)
{
    if (start.skipped > 0 || start.lateMs > std::fmax(m_periodMs / 4, kJitterMs)) {
        m_window.Opened(now);
        m_worstLateMs = std::fmax(m_worstLateMs, start.lateMs);
        m_skipped += start.skipped;
    }
    if (!m_window.IsDue(now)) return;
    const long long seconds = m_window.Close(now);
    char late[32];
    // A short period's lateness is milliseconds, which tenths of a second would show as 0.0.
    if (m_worstLateMs >= 100.0) std::snprintf(late, sizeof late, "%.1f s", m_worstLateMs / 1000.0);
    else std::snprintf(late, sizeof late, "%.0f ms", m_worstLateMs);
    m_sink("Warning : the run is behind real time: steps started up to " + std::string(late) + " late, " +
           std::to_string(m_skipped) + (m_skipped == 1 ? " step" : " steps") + " skipped in the last " +
           std::to_string(seconds) + " s.");
    m_worstLateMs = 0.0;
    m_skipped = 0;
}

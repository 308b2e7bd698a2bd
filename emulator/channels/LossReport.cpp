#include "emulator/channels/LossReport.h"

#include "emulator/channels/ChannelReport.h"

#include <utility>

void ReportWindow::Opened(Clock::time_point now)
{
    if (m_open) return;
    m_open = true;
    m_start = now;
}

long long ReportWindow::Close(Clock::time_point now)
{
    m_open = false;
    const auto seconds = std::chrono::round<std::chrono::seconds>(now - m_start).count();
    return seconds < 1 ? 1 : seconds;
}

LossReport::LossReport(std::string output, Sink sink, std::string cause)
    : m_output(std::move(output)), m_cause(std::move(cause)), m_sink(std::move(sink))
{
}

void LossReport::Dropped(std::uint64_t sentences, Clock::time_point now)
{
    std::lock_guard lock(m_lock);
    if (sentences != 0) {
        m_window.Opened(now);
        m_untold += sentences;
        m_total += sentences;
    }
    if (m_window.IsDue(now)) Tell(now);
}

void LossReport::Poll(Clock::time_point now)
{
    std::lock_guard lock(m_lock);
    if (m_window.IsDue(now)) Tell(now);
}

void LossReport::Flush(Clock::time_point now)
{
    std::lock_guard lock(m_lock);
    if (m_window.IsOpen()) Tell(now);
}

std::uint64_t LossReport::Total() const
{
    std::lock_guard lock(m_lock);
    return m_total;
}

void LossReport::Tell(Clock::time_point now)
{
    const long long seconds = m_window.Close(now);
    const std::string line = "Warning : [" + m_output + "] " + m_cause + ", " + std::to_string(m_untold) +
                             (m_untold == 1 ? " sentence" : " sentences") + " dropped in the last " +
                             std::to_string(seconds) + " s.";
    m_untold = 0;
    if (m_sink) {
        m_sink(line);
    } else {
        ReportChannelLine(line);
    }
}

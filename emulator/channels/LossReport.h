#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

// A window for lines that sum up what happened: it opens at the first event after the
// last line and is due once it is a period old, so lines come at most once a period.
// Not locked: its owner guards it.
class ReportWindow {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds kPeriod{10};

    // Something to tell happened at `now`.
    void Opened(Clock::time_point now);
    bool IsOpen() const { return m_open; }
    bool IsDue(Clock::time_point now) const { return m_open && now - m_start >= kPeriod; }
    // Whole seconds the window has been open, at least 1; closes it.
    long long Close(Clock::time_point now);

private:
    bool m_open = false;
    Clock::time_point m_start;
};

// Tells the user about sentences an output had to drop: one warning line at most every
// ten seconds per output, naming the output and the sentences dropped since the last
// line; nothing while nothing is dropped. Each writer holds its own; any thread may
// call it.
class LossReport {
public:
    using Clock = ReportWindow::Clock;
    using Sink = std::function<void(std::string_view line)>;

    // `output` is the name shown in brackets ("FILE", "TCP", "UDP"); lines go to
    // standard error unless a sink is given. `cause` says why sentences were dropped.
    explicit LossReport(std::string output, Sink sink = {}, std::string cause = "output too slow");

    // Counts dropped sentences and tells them when a line is due.
    void Dropped(std::uint64_t sentences, Clock::time_point now = Clock::now());
    // Tells what was counted once a line is due; called however often.
    void Poll(Clock::time_point now = Clock::now());
    // Tells what is still untold, due or not (when the output closes).
    void Flush(Clock::time_point now = Clock::now());
    // Sentences dropped since the start.
    std::uint64_t Total() const;

private:
    void Tell(Clock::time_point now);

    const std::string m_output;
    const std::string m_cause;
    const Sink m_sink;
    mutable std::mutex m_lock;
    ReportWindow m_window;
    std::uint64_t m_untold = 0;
    std::uint64_t m_total = 0;
};

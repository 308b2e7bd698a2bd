#pragma once

#include "emulator/channels/LossReport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

// When the steps of a run are due: the n-th one n periods after the start, each one
// period after the previous one was due, however long the work took. A step that can
// only start after later steps were due takes their place: they are skipped, and the
// step moves the vessels by the time that really passed.
class StepCadence {
public:
    explicit StepCadence(double periodMs) : m_periodMs(periodMs) {}

    // Milliseconds from `elapsedMs` (real time since the start) until the next step is
    // due; 0 when it is due or overdue.
    std::uint64_t WaitMs(std::uint64_t elapsedMs) const;

    struct StepStart {
        double lateMs = 0.0;       // after the time the step was due
        std::uint64_t skipped = 0; // steps whose time also passed, not run
        std::uint64_t number = 0;  // the step run, due at `number` periods from the start
    };
    // A step starts at `elapsedMs`.
    StepStart Begin(std::uint64_t elapsedMs);

private:
    double m_periodMs;
    std::uint64_t m_next = 1;  // the next step is due at m_next periods
};

// Tells a run that falls behind its cadence: one warning line at most every ten
// seconds, with how late steps started and how many were skipped since the last line.
// A step counts as late from a quarter of a period (and 20 ms) on; less is the
// scheduler's jitter.
class LatenessReport {
public:
    using Clock = std::chrono::steady_clock;
    using Sink = std::function<void(std::string_view line)>;

    LatenessReport(double periodMs, Sink sink);
    void Step(const StepCadence::StepStart& start, Clock::time_point now = Clock::now());

private:
    double m_periodMs;
    Sink m_sink;
    ReportWindow m_window;
    double m_worstLateMs = 0.0;
    std::uint64_t m_skipped = 0;
};

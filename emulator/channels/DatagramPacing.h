#pragma once

#include <chrono>
#include <cstddef>

// When the datagrams of a step may leave: spread over most of the time until the next
// step is expected, instead of in one burst that overflows a receiver's default socket
// buffer. A step of a few datagrams leaves at once.
class DatagramPacing {
public:
    using Clock = std::chrono::steady_clock;
    // Datagrams that may always leave together: a default receive buffer holds several
    // times as many.
    static constexpr std::size_t kBurst = 32;
    // The sender's turn: it sends what it may, then waits this long.
    static constexpr std::chrono::milliseconds kTick{1};
    // Steps come about once a second; a longer pause is not waited for.
    static constexpr std::chrono::milliseconds kLongestStep{1000};

    // A step's datagrams were queued at `now`.
    void StepArrived(Clock::time_point now);
    // How many of the `waiting` datagrams may leave at `now`.
    std::size_t Allowance(std::size_t waiting, Clock::time_point now) const;

private:
    bool m_seenStep = false;
    Clock::time_point m_lastStep;
    Clock::time_point m_deadline;  // all that waits should be sent by then
};

#pragma once

#include <chrono>

#include <signal.h>

namespace platform {

// SIGINT, SIGTERM and SIGHUP as requests to end a run. While an object lives they are
// held back from the thread that made it and from every thread started after that,
// and come out only through Wait: no handler runs in signal context, and no worker's
// wait or write is cut short by them. Make the object before starting any thread.
class StopSignals {
public:
    StopSignals();
    // Takes any of the signals still pending (the run has ended anyway), then puts
    // the thread's signal mask back, unless a stop was asked for: then the program is
    // on its way out and the hold stays, so that a later request (`timeout` signals
    // twice, a wrapper passes its own on, a second Ctrl+C) cannot cut its last writes.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Waits up to `timeout` for one of the signals; true when one came. They stay held
    // back until the object goes: `timeout` sends its signal twice (to the program and
    // to its process group), and the second must not cut the stop the first began.
    bool Wait(std::chrono::milliseconds timeout);

    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

private:
    sigset_t m_set{};
    sigset_t m_previousMask{};
    bool m_blocked = false;
    bool m_stopAsked = false;
};

} // namespace platform

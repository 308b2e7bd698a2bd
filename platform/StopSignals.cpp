#include "platform/StopSignals.h"

#include <cerrno>
#include <ctime>

#include <pthread.h>

namespace platform {

namespace {

timespec ToTimespec(std::chrono::milliseconds span)
{
    return {static_cast<time_t>(span.count() / 1000), static_cast<long>(span.count() % 1000) * 1000000L};
}

} // namespace

StopSignals::StopSignals()
{
    sigemptyset(&m_set);
    for (const int signal : kSignals) {
        // An ignored signal stays ignored (nohup, a background job of a script): held
        // back, it would be queued and taken as a request after all.
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
        sigaddset(&m_set, signal);
    }
    m_blocked = pthread_sigmask(SIG_BLOCK, &m_set, &m_previousMask) == 0;
}

StopSignals::~StopSignals()
{
    if (!m_blocked) return;
    const timespec now{};
    while (sigtimedwait(&m_set, nullptr, &now) > 0) {
    }
    if (m_stopAsked) return;
    pthread_sigmask(SIG_SETMASK, &m_previousMask, nullptr);
}

bool StopSignals::Wait(std::chrono::milliseconds timeout)
{
    const timespec limit = ToTimespec(timeout);
    if (!m_blocked) {
        // The signals could not be held back and act as usual; only the pause is left.
        nanosleep(&limit, nullptr);
        return false;
    }
    int signal = -1;
    do {
        signal = sigtimedwait(&m_set, nullptr, &limit);
    } while (signal < 0 && errno == EINTR);
    m_stopAsked = m_stopAsked || signal > 0;
    return signal > 0;
}

} // namespace platform

#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

// A manual-reset event: once set it stays set, and every waiter sees it, until Reset.
class Event {
public:
    explicit Event(bool initiallySet = false) : m_set(initiallySet) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void Set();
    void Reset();

    // True when the event is set; false when the timeout passed first.
    bool Wait(std::chrono::milliseconds timeout) const;
    void WaitForever() const;

    // A zero-timeout wait.
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_set;
};

} // namespace platform

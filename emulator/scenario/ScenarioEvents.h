#pragma once

#include "emulator/scenario/ScenarioFile.h"

#include <span>
#include <vector>

// Hands a scenario's events to the engine as simulated time passes: each event once,
// in time order, at the first step whose time has reached it.
class EventCursor {
public:
    explicit EventCursor(const std::vector<ScenarioEvent>& events) : m_events(events) {}

    // The events due by `simSeconds` that were not handed out before.
    std::span<const ScenarioEvent> DueEvents(double simSeconds);
    bool Done() const { return m_next == m_events.size(); }

private:
    const std::vector<ScenarioEvent>& m_events;  // sorted by time, as the reader leaves them
    std::size_t m_next = 0;
};

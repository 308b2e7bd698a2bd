#include "emulator/scenario/ScenarioEvents.h"

std::span<const ScenarioEvent> EventCursor::DueEvents(double simSeconds)
{
    const std::size_t first = m_next;
    while (m_next < m_events.size() && m_events[m_next].atS <= simSeconds) ++m_next;
    return {m_events.data() + first, m_next - first};
}

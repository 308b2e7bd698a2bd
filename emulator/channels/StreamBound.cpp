#include "emulator/channels/StreamBound.h"

#include <algorithm>

void StreamBound::NoteStep(std::size_t bytes)
{
    m_recent[m_next] = bytes;
    m_next = (m_next + 1) % m_recent.size();
}

std::size_t StreamBound::Limit() const
{
    const std::size_t largest = *std::max_element(m_recent.begin(), m_recent.end());
    return std::max(m_floor, kStepsKept * largest);
}

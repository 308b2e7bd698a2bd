#include "emulator/channels/DatagramPacing.h"

#include <algorithm>

namespace {

// Of the time between steps, the share the sending is spread over; the rest is slack
// for a sender that was late to run.
constexpr int kSpreadPercent = 80;

} // namespace

void DatagramPacing::StepArrived(Clock::time_point now)
{
    Clock::duration gap = kLongestStep;
    if (m_seenStep) gap = std::clamp<Clock::duration>(now - m_lastStep, Clock::duration::zero(), kLongestStep);
    m_seenStep = true;
    m_lastStep = now;
    m_deadline = now + gap * kSpreadPercent / 100;
}

std::size_t DatagramPacing::Allowance(std::size_t waiting, Clock::time_point now) const
{
    if (waiting <= kBurst || now >= m_deadline) return waiting;
    const auto ticksLeft = static_cast<std::size_t>((m_deadline - now + kTick - Clock::duration(1)) / kTick);
    return (waiting + ticksLeft - 1) / ticksLeft;
}

#include "platform/WakeSignal.h"

#include <cstdint>

#include <sys/eventfd.h>
#include <unistd.h>

namespace platform {

WakeSignal::WakeSignal() : m_handle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

WakeSignal::~WakeSignal()
{
    if (m_handle >= 0) ::close(m_handle);
}

void WakeSignal::Signal() const
{
    if (m_handle < 0) return;
    const std::uint64_t one = 1;
    // Only a counter at its limit can refuse, and then the descriptor is readable anyway.
    [[maybe_unused]] const ssize_t written = ::write(m_handle, &one, sizeof one);
}

void WakeSignal::Clear() const
{
    if (m_handle < 0) return;
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_handle, &count, sizeof count);
}

} // namespace platform

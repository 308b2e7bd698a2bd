#include "platform/TickClock.h"

#include <time.h>

namespace platform {

std::uint64_t GetTickCount()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const std::uint64_t ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000U
                           + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000U;
    return ms & 0xFFFFFFFFULL;
}

} // namespace platform

#include "platform/LocalClock.h"

#include <ctime>

namespace platform {

LocalTime GetLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    LocalTime t;
    t.year = static_cast<unsigned>(tm.tm_year + 1900);
    t.month = static_cast<unsigned>(tm.tm_mon + 1);
    t.day = static_cast<unsigned>(tm.tm_mday);
    t.hour = static_cast<unsigned>(tm.tm_hour);
    t.minute = static_cast<unsigned>(tm.tm_min);
    // A leap second (60) is reported as 59 so that the 6-bit time stamp stays a valid second.
    t.second = static_cast<unsigned>(tm.tm_sec > 59 ? 59 : tm.tm_sec);
    return t;
}

} // namespace platform

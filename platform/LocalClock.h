#pragma once

#include <functional>

namespace platform {

// Local wall-clock time as small integers (month 1-12, day 1-31, hour 0-23, ...).
struct LocalTime {
    unsigned year = 0;
    unsigned month = 1;
    unsigned day = 1;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
};

LocalTime GetLocalTime();

// Where a component reads the local time from; tests put a fixed time here.
using LocalTimeSource = std::function<LocalTime()>;

} // namespace platform

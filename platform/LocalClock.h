#pragma once

#include <chrono>
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
    unsigned millisecond = 0;  // filled by GetUtcTime only
};

LocalTime GetLocalTime();

// The same fields in UTC, with milliseconds: the time a GPS receiver reports.
LocalTime GetUtcTime();

// The same two readings for a given moment instead of now.
LocalTime LocalTimeAt(std::chrono::system_clock::time_point moment);
LocalTime UtcTimeAt(std::chrono::system_clock::time_point moment);

// Where a component reads the local time from; tests put a fixed time here.
using LocalTimeSource = std::function<LocalTime()>;

} // namespace platform

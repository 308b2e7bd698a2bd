#include "platform/LocalClock.h"

#include <ctime>

namespace platform {

namespace {

LocalTime FromTm(const std::tm& tm)
{
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

} // namespace

LocalTime GetLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return FromTm(tm);
}

LocalTime GetUtcTime()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    std::tm tm{};
    gmtime_r(&now.tv_sec, &tm);
    LocalTime t = FromTm(tm);
    t.millisecond = static_cast<unsigned>(now.tv_nsec / 1000000);
    return t;
}

namespace {

struct SplitMoment {
    std::time_t seconds;
    unsigned millisecond;
};

SplitMoment Split(std::chrono::system_clock::time_point moment)
{
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(moment.time_since_epoch()).count();
    const auto seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    return {static_cast<std::time_t>(seconds), static_cast<unsigned>(ms - seconds * 1000)};
}

} // namespace

LocalTime LocalTimeAt(std::chrono::system_clock::time_point moment)
{
    const SplitMoment split = Split(moment);
    std::tm tm{};
    localtime_r(&split.seconds, &tm);
    return FromTm(tm);
}

LocalTime UtcTimeAt(std::chrono::system_clock::time_point moment)
{
    const SplitMoment split = Split(moment);
    std::tm tm{};
    gmtime_r(&split.seconds, &tm);
    LocalTime t = FromTm(tm);
    t.millisecond = split.millisecond;
    return t;
}

} // namespace platform

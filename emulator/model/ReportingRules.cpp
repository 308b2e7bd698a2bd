#include "emulator/model/ReportingRules.h"

#include <limits>
#include <span>

namespace {

// Class A (message 1) reporting intervals: the first row whose speed bound the speed
// does not exceed (speed <= bound) applies.
struct ClassAInterval {
    double maxSpeedKnots;
    std::uint64_t turningMs;  // rate of turn not zero
    std::uint64_t steadyMs;   // rate of turn zero
};
constexpr double kAnySpeed = std::numeric_limits<double>::infinity();
constexpr ClassAInterval kAnchoredOrMooredIntervals[] = {
    {3.0,       180000, 180000},
    {kAnySpeed, 10000,  10000},
};
constexpr ClassAInterval kUnderwayIntervals[] = {
    {14.0,      3300, 10000},
    {23.0,      2000, 6000},
    {kAnySpeed, 2000, 2000},
};
constexpr int kNavStatusAtAnchor = 1;
constexpr int kNavStatusMoored = 5;

// Class B (message 18) reporting intervals: the first row whose bound the speed is
// below (speed < bound) applies.
struct ClassBInterval {
    double belowSpeedKnots;
    std::uint64_t intervalMs;
};
constexpr ClassBInterval kClassBIntervals[] = {
    {2.0,       180000},
    {14.0,      30000},
    {23.0,      15000},
    {kAnySpeed, 5000},
};

} // namespace

std::uint64_t ClassAIntervalMs(int navStatus, double speedKnots, bool turning)
{
    const std::span<const ClassAInterval> rows = (navStatus == kNavStatusAtAnchor || navStatus == kNavStatusMoored)
        ? std::span<const ClassAInterval>(kAnchoredOrMooredIntervals)
        : std::span<const ClassAInterval>(kUnderwayIntervals);
    for (const ClassAInterval& row : rows)
        if (speedKnots <= row.maxSpeedKnots) return turning ? row.turningMs : row.steadyMs;
    return turning ? rows.back().turningMs : rows.back().steadyMs;  // a speed that is not a number
}

std::uint64_t ClassBIntervalMs(double speedKnots)
{
    for (const ClassBInterval& row : kClassBIntervals)
        if (speedKnots < row.belowSpeedKnots) return row.intervalMs;
    return std::span(kClassBIntervals).back().intervalMs;
}


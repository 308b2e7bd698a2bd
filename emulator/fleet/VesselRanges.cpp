#include "emulator/fleet/VesselRanges.h"

#include <algorithm>
#include <charconv>
#include <iterator>

namespace {

// The message fields: widths, units and the values that mean "not available" bound them.
constexpr ValueRange kRanges[] = {
    {"vessel-mmsi", 0, 999999999, "; an MMSI has nine digits"},
    {"vessel-imo", 0, 1073741823, "; 30 bits"},
    {"vessel-type", 0, 255, "; 8 bits"},
    {"vessel-dima", 0, 511, "metres"},
    {"vessel-dimb", 0, 511, "metres"},
    {"vessel-dimc", 0, 63, "metres"},
    {"vessel-dimd", 0, 63, "metres"},
    {"vessel-postdevice", 0, 15, "; 4 bits"},
    {"vessel-status", 0, 15, "; 4 bits"},
    {"vessel-lat", -90, 90, "degrees"},
    {"vessel-lon", -180, 180, "degrees"},
    {"vessel-sog", 0, 102.2, "knots"},
    {"vessel-cog", 0, 360, "degrees"},
    {"vessel-rot", -708, 708, "degrees a minute"},
};

std::string Number(double value)
{
    char text[32];
    const auto [end, error] = std::to_chars(std::begin(text), std::end(text), value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

} // namespace

const ValueRange* RangeOfColumn(std::string_view column)
{
    const auto found = std::find_if(std::begin(kRanges), std::end(kRanges),
                                    [column](const ValueRange& range) { return column == range.column; });
    return found == std::end(kRanges) ? nullptr : found;
}

bool InRange(const ValueRange& range, double value)
{
    return value >= range.min && value <= range.max;
}

std::string OutOfRangeText(const ValueRange& range)
{
    const std::string_view unit(range.unit);
    return "outside what AIS messages carry (" + Number(range.min) + " to " + Number(range.max) +
           (unit.starts_with(";") ? "" : " ") + std::string(unit) + ")";
}

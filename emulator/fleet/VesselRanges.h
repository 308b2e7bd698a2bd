#pragma once

#include <string>
#include <string_view>

// What the AIS messages can carry of a vessel's numeric value: a value outside is still
// sent, the way the field's width makes of it, but a plotter shows something else.
struct ValueRange {
    const char* column;  // the option name without dashes, as in a fleet file's header
    double min;
    double max;
    const char* unit;    // after the bounds in messages: "degrees", "knots", ...
};

// The range of a column, or nullptr for a column without one (texts, switches).
const ValueRange* RangeOfColumn(std::string_view column);

// NaN is outside every range.
bool InRange(const ValueRange& range, double value);

// "outside what AIS messages carry (-90 to 90 degrees)"
std::string OutOfRangeText(const ValueRange& range);

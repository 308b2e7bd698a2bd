#pragma once

// The decoded fields of one station as label and text rows, for the chart's details pane.

#include <optional>
#include <string>
#include <vector>

#include "panel/tap/ChartFeed.h"

namespace tap {

struct DetailRow {
    std::string label;
    std::string value;   // UTF-8
};

// Every row of the scene's target `index` in `frame`: MMSI, name, kind and type, position,
// SOG, COG, heading, status, destination, last message type and its age, CPA and TCPA to the
// own ship, and whether it is lost. Empty when the index is out of range.
std::vector<DetailRow> DescribeTarget(const TapFrame& frame, std::size_t index);

// 51° 58.800' N, 004° 03.000' E
std::string FormatPosition(double latDeg, double lonDeg);

} // namespace tap

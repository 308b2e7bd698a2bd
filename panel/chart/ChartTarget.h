#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace chart {

// What a station is, as far as its symbol goes.
enum class StationKind : std::uint8_t {
    ClassA,
    ClassB,
    BaseStation,
    AtonReal,
    AtonVirtual,
    SarAircraft,
    Sart,   // AIS search-and-rescue transmitter
    Mob,    // man over board device
    Epirb,  // emergency position-indicating radio beacon
    OwnShip,
};
inline constexpr int kStationKindCount = 10;

// A value that the station did not report (AIS "not available").
inline constexpr float kNotAvailable = std::numeric_limits<float>::quiet_NaN();

// One station as the chart draws it: a copy made from the traffic picture, never the decoder's
// own record, so drawing needs no lock.
struct ChartTarget {
    std::uint32_t mmsi = 0;
    double latDeg = 0;
    double lonDeg = 0;
    float sogKnots = kNotAvailable;
    float cogDeg = kNotAvailable;
    float headingDeg = kNotAvailable;
    StationKind kind = StationKind::ClassA;
    bool lost = false;   // silent for longer than its class's timeout
    std::string name;
};

using ChartSnapshot = std::vector<ChartTarget>;

inline bool IsDistress(StationKind kind)
{
    return kind == StationKind::Sart || kind == StationKind::Mob || kind == StationKind::Epirb;
}

} // namespace chart

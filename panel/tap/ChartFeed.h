#pragma once

// What the chart gets from the traffic picture: a snapshot of every station in the chart's
// own terms, indexed off the user-interface thread, with the decoded records beside it for
// the details of a selected target.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/encoding/NmeaReader.h"
#include "emulator/traffic/TrafficPicture.h"
#include "panel/chart/ChartScene.h"

namespace tap {

// The chart's symbol for a kind of the picture; a station of unknown kind is drawn as a
// class A vessel, the most common sender.
chart::StationKind ChartKindOf(StationKind kind);

// One station as the chart draws it; values the station did not report become "not available".
chart::ChartTarget ToChartTarget(const Target& target, std::int64_t nowMs);

struct TapCounters {
    std::uint64_t datagrams = 0;
    NmeaReaderStats reader;
    std::uint64_t leftOut = 0;   // stations beyond the picture's limit
};

struct TapFrame {
    chart::ChartScene scene;        // every station: targets[i] is the scene's target i; a
                                    // user-interface thread may move it into the chart
    std::size_t stations = 0;       // the scene's targets
    std::vector<Target> targets;    // the decoded records
    OwnShip own;                    // from its AIVDO and GPS sentences
    // The scene's own ship: the AIVDO station (after the targets) or the form's vessel.
    std::optional<std::size_t> ownIndex;
    std::optional<Motion> reference;   // where CPA and TCPA are taken from
    std::size_t lost = 0;
    std::int64_t nowMs = 0;
    TapCounters counters;

    // The decoded record of the scene's target `index`; null for the AIVDO own ship.
    const Target* RecordOf(std::size_t index) const { return index < targets.size() ? &targets[index] : nullptr; }
};

// Builds a frame from a copy of the picture's targets. `formMmsi`: the form's vessel, drawn
// as the own ship when no AIVDO own ship is heard.
TapFrame MakeFrame(std::vector<Target> targets, const OwnShip& own, std::optional<std::uint32_t> formMmsi,
                   std::int64_t nowMs);

} // namespace tap

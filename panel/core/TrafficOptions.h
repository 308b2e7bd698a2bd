#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panel/core/CParamsExcepion.h"

namespace panel {

// One more output beside the form's own.
enum class ExtraOutputKind { File, Tcp, Udp };

struct ExtraOutput {
    ExtraOutputKind kind = ExtraOutputKind::File;
    std::wstring value;   // file name, TCP port, or UDP HOST:PORT
};

// What the traffic controls hold, as typed. Empty texts leave their option out, so that
// untouched controls leave the command line as the form alone makes it.
struct TrafficValues {
    std::wstring fleetCount;     // random vessels
    std::wstring fleetArea;      // SOUTH,WEST,NORTH,EAST; empty: the emulator's box around the vessel
    std::wstring fleetSeed;      // empty: the emulator takes the clock
    std::wstring fleetFile;      // CSV file of vessels
    std::wstring scenarioFile;
    std::wstring stationKind;    // empty or "vessel": the form's station is a vessel
    std::vector<ExtraOutput> outputs;
    std::optional<std::uint16_t> tapPort;   // the chart's loopback UDP tap
};

// One item of the station kind list: the emulator's name for it and the text shown.
struct StationKindItem {
    std::wstring_view name;
    std::wstring_view text;
};
std::span<const StationKindItem> StationKindItems();   // "vessel" first

// The arguments for the traffic controls, each token followed by one blank, file names
// quoted like free texts: station kind, fleet file, random fleet, scenario, the extra
// outputs, and the tap last. Throws CParamsExcepion at the first value that fails its check.
std::wstring BuildTrafficArguments(const TrafficValues& values);

// The tap's output argument, "--output UDP*127.0.0.1:PORT ".
std::wstring TapOutputArgument(std::uint16_t port);

// The file names as the emulator, which runs in its own folder, must get them: relative ones
// taken from `userDirectory`, as for the form's output file.
TrafficValues ResolveTrafficFiles(TrafficValues values, const std::filesystem::path& userDirectory);

// SOUTH,WEST,NORTH,EAST: four numbers in degrees, south below north, west and east within
// 180 degrees and not equal (west above east crosses the 180th meridian).
bool IsAreaText(std::wstring_view text);

} // namespace panel

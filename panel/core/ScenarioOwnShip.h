#pragma once

// What the chart needs of a scenario file before the run: which station is the own ship.
// The file's own ship takes the place of the form's vessel in the run.

#include <cstdint>
#include <filesystem>
#include <optional>

namespace panel {

struct ScenarioOwnShip {
    std::optional<std::uint32_t> mmsi;  // as the file gives it; none: the form's
    bool vessel = true;                 // false: the file makes it another kind of station
};

// Reads only the "own-ship" object; a file that cannot be read or is no scenario gives the
// defaults, since vesgen itself refuses it with the reason.
ScenarioOwnShip ReadScenarioOwnShip(const std::filesystem::path& file);

} // namespace panel

#include "panel/core/ScenarioOwnShip.h"

#include <nlohmann/json.hpp>

#include <fstream>

namespace panel {

ScenarioOwnShip ReadScenarioOwnShip(const std::filesystem::path& file)
{
    ScenarioOwnShip result;
    std::ifstream in(file, std::ios::binary);
    if (!in) return result;
    // Without exceptions: a broken file is vesgen's to report.
    const nlohmann::json root = nlohmann::json::parse(in, nullptr, false);
    if (!root.is_object()) return result;
    const auto own = root.find("own-ship");
    if (own == root.end() || !own->is_object()) return result;
    if (const auto mmsi = own->find("vessel-mmsi");
        mmsi != own->end() && mmsi->is_number_unsigned() && mmsi->get<std::uint64_t>() <= 999'999'999u)
        result.mmsi = static_cast<std::uint32_t>(mmsi->get<std::uint64_t>());
    if (const auto kind = own->find("station-kind"); kind != own->end() && kind->is_string())
        result.vessel = kind->get<std::string>() == "vessel";
    return result;
}

} // namespace panel

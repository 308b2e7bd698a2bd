#include <gtest/gtest.h>

#include "panel/core/ScenarioOwnShip.h"

#include <fstream>
#include <optional>

namespace {

struct OwnShipRow {
    const char* name;
    const char* text;  // the file's text; null: no file at all
    std::optional<std::uint32_t> mmsi;
    bool vessel;
};

void PrintTo(const OwnShipRow& row, std::ostream* out) { *out << row.name; }

class ScenarioOwnShipFile : public testing::TestWithParam<OwnShipRow> {};

TEST_P(ScenarioOwnShipFile, GivesTheMmsiOfAVesselOwnShipOnly)
{
    const OwnShipRow& row = GetParam();
    const auto path = std::filesystem::path(testing::TempDir()) / (std::string("own-") + row.name + ".json");
    std::filesystem::remove(path);
    if (row.text) std::ofstream(path) << row.text;

    const panel::ScenarioOwnShip own = panel::ReadScenarioOwnShip(path);
    EXPECT_EQ(own.mmsi, row.mmsi);
    EXPECT_EQ(own.vessel, row.vessel);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ScenarioOwnShipFile,
    testing::Values(
        OwnShipRow{"Given", R"({"own-ship": {"vessel-mmsi": 244000001, "vessel-lat": 51.9}, "targets": []})",
                   244000001u, true},
        OwnShipRow{"LargestMmsi", R"({"own-ship": {"vessel-mmsi": 999999999}})", 999999999u, true},
        OwnShipRow{"NoMmsi", R"({"own-ship": {"vessel-lat": 51.9}})", std::nullopt, true},
        OwnShipRow{"MmsiTooLarge", R"({"own-ship": {"vessel-mmsi": 4294967297}})", std::nullopt, true},
        OwnShipRow{"MmsiNegative", R"({"own-ship": {"vessel-mmsi": -5}})", std::nullopt, true},
        OwnShipRow{"MmsiAsText", R"({"own-ship": {"vessel-mmsi": "244000001"}})", std::nullopt, true},
        OwnShipRow{"MmsiFraction", R"({"own-ship": {"vessel-mmsi": 244000001.5}})", std::nullopt, true},
        OwnShipRow{"ASart", R"({"own-ship": {"vessel-mmsi": 970012345, "station-kind": "sart"}})", 970012345u,
                   false},
        OwnShipRow{"SaidVessel", R"({"own-ship": {"vessel-mmsi": 244000001, "station-kind": "vessel"}})",
                   244000001u, true},
        OwnShipRow{"OwnShipNoObject", R"({"own-ship": [244000001]})", std::nullopt, true},
        OwnShipRow{"NoOwnShip", R"({"targets": []})", std::nullopt, true},
        OwnShipRow{"NotJson", "own-ship: 244000001", std::nullopt, true},
        OwnShipRow{"CutShort", R"({"own-ship": {"vessel-mmsi": 2440)", std::nullopt, true},
        OwnShipRow{"Empty", "", std::nullopt, true},
        OwnShipRow{"NoFile", nullptr, std::nullopt, true}),
    [](const testing::TestParamInfo<OwnShipRow>& info) { return std::string(info.param.name); });

} // namespace

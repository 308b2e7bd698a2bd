#include "emulator/scenario/ScenarioFile.h"
#include "fuzz/FuzzCheck.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

// Any text is read or refused with a message naming the file; what is read holds
// stations with their values in range and events that name one of them.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Scenario scenario;
    std::string error;
    if (!ParseScenario(text, "f.json", "/nonexistent", ScenarioOptions{}, scenario, error)) {
        KVL_FUZZ_CHECK(error.rfind("f.json: ", 0) == 0);
        KVL_FUZZ_CHECK(scenario.stations.empty());
        return 0;
    }
    KVL_FUZZ_CHECK(!scenario.stations.empty());
    for (const ScenarioStation& s : scenario.stations) {
        KVL_FUZZ_CHECK(std::fabs(s.fields.vesselLat) <= 90.0 && std::fabs(s.fields.vesselLon) <= 180.0);
        KVL_FUZZ_CHECK(s.fields.vesselSog >= 0.0 && s.fields.vesselSog <= 102.2);
        KVL_FUZZ_CHECK(!s.route || *s.route < scenario.routes.size());
    }
    for (const ScenarioEvent& e : scenario.events) {
        KVL_FUZZ_CHECK(e.station < scenario.stations.size());
        KVL_FUZZ_CHECK(scenario.stations[e.station].fields.vesselMmsi == e.mmsi);
    }
    return 0;
}

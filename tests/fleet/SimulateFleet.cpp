// Test driver: sails a seeded random fleet (as --fleet-random draws it) through simulated
// seconds as fast as the machine goes and writes every sentence to standard output, so
// that an hour of traffic can be checked against an independent coastline in a minute.
//   simulate_fleet SOUTH,WEST,NORTH,EAST COUNT SECONDS SEED > sentences.nmea
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/RandomFleet.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unordered_set>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::cerr << "usage: simulate_fleet SOUTH,WEST,NORTH,EAST COUNT SECONDS SEED\n";
        return 2;
    }
    const auto area = ParseFleetArea(argv[1]);
    if (!area) {
        std::cerr << "not an area: " << argv[1] << "\n";
        return 2;
    }
    const auto count = static_cast<std::uint32_t>(std::stoul(argv[2]));
    const long seconds = std::stol(argv[3]);
    const auto seed = static_cast<std::uint32_t>(std::stoul(argv[4]));

    const geo::WaterPlacement water(geo::LandMask::Builtin(), BoxOf(*area));
    if (water.Kind() == geo::WaterKind::None) {
        std::cerr << "the area has no water\n";
        return 1;
    }
    Fleet fleet;
    std::unordered_set<std::uint32_t> used;
    AddRandomFleet(fleet, count, *area, seed, used, water, platform::GetLocalTime());
    fleet.texts.Freeze();

    FleetEngine engine(fleet, {true, false}, false);
    std::uint64_t tick = 1000;
    engine.Start(tick, 0, seed);
    std::string out;
    for (long second = 0; second < seconds; ++second) {
        out.clear();
        engine.Step(tick += 1000, out);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }
    return 0;
}

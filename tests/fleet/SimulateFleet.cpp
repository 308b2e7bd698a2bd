// Test driver: sails a seeded random fleet (as --fleet-random draws it) through simulated
// seconds as fast as the machine goes and writes every sentence to standard output, so
// that an hour of traffic can be checked against an independent coastline in a minute.
// At the end it tells on standard error how many vessels under way at the start have
// stopped or slowed down to keep to water.
//   simulate_fleet SOUTH,WEST,NORTH,EAST COUNT SECONDS SEED > sentences.nmea
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unordered_set>
#include <vector>

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

    std::vector<float> startKnots;
    for (const FleetVessel& v : fleet.vessels) startKnots.push_back(v.speed);
    FleetEngine engine(fleet, {true, false}, false);
    std::uint64_t tick = 1000;
    engine.Start(tick, 0, seed);
    std::string out;
    for (long second = 0; second < seconds; ++second) {
        out.clear();
        engine.Step(tick += 1000, out);
        std::fwrite(out.data(), 1, out.size(), stdout);
    }

    int underWay = 0;
    int stopped = 0;
    int slowed = 0;
    int blocked = 0;
    int offCourse = 0;
    for (std::size_t i = 0; i < fleet.vessels.size(); ++i) {
        const FleetVessel& v = fleet.vessels[i];
        if (startKnots[i] <= 0.0F) continue;
        ++underWay;
        stopped += v.speed == 0.0F ? 1 : 0;
        slowed += v.speed > 0.0F && v.speed < startKnots[i] ? 1 : 0;
        blocked += (v.steering & kSteerBlocked) != 0 ? 1 : 0;
        offCourse += (v.steering & kSteerPhaseMask) != kSteerFree ? 1 : 0;
    }
    const auto share = [underWay](int n) { return underWay > 0 ? 100.0 * n / underWay : 0.0; };
    std::fprintf(stderr,
                 "after %ld s, of %d vessels under way at the start: %d stopped (%.1f %%, %d with no clear heading), "
                 "%d slowed (%.1f %%), %d off their course (%.1f %%)\n",
                 seconds, underWay, stopped, share(stopped), blocked, slowed, share(slowed), offCourse, share(offCourse));
    return 0;
}

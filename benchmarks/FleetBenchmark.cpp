// The fleet engine faster than real time: vessel-steps and sentences per second, and
// resident memory per vessel, for random fleets of 10,000, 100,000 and 1,000,000 spread
// over the seas of Europe, with the land check (random vessels keep to water) and without.
// Real time needs one step of the whole fleet per second, so vessel-steps per second at
// or above the fleet's size means the fleet keeps up on one core.
// Run: build/bin/fleet_benchmark
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <unordered_set>

namespace {

double ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long total = 0;
    long resident = 0;
    statm >> total >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

void FleetSteps(benchmark::State& state)
{
    const auto count = static_cast<std::uint32_t>(state.range(0));
    const bool landCheck = state.range(1) != 0;
    const double before = ResidentBytes();
    Fleet fleet;
    {
        std::unordered_set<std::uint32_t> used;
        AddRandomFleet(fleet, count, {35.0, -10.0, 60.0, 30.0}, 1, used);
    }
    fleet.texts.Freeze();
    if (!landCheck)
        for (FleetVessel& v : fleet.vessels) v.steering = 0;
    FleetEngine engine(fleet, {true, false}, false);
    std::uint64_t tick = 1000;
    engine.Start(tick, 0, 2);
    std::string out;
    out.reserve(16U << 20U);
    // Past the first interval, so that the steady state is measured.
    for (int warm = 0; warm < 12; ++warm) {
        out.clear();
        engine.Step(tick += 1000, out);
    }
    const double perVessel = (ResidentBytes() - before) / count;
    double sentences = 0;
    for (auto _ : state) {
        out.clear();
        engine.Step(tick += 1000, out);
        sentences += static_cast<double>(std::count(out.begin(), out.end(), '\n'));
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * count);  // vessel-steps per second
    state.counters["sentences"] = benchmark::Counter(sentences, benchmark::Counter::kIsRate);
    state.counters["bytes_per_vessel"] = perVessel;
}

BENCHMARK(FleetSteps)
    ->ArgNames({"vessels", "land_check"})
    ->ArgsProduct({{10000, 100000, 1000000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(3.0);

} // namespace

BENCHMARK_MAIN();

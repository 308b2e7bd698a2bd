// How many messages of each type one core composes per second.
// Run: build/bin/compose_benchmark
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/model/CVesselModelImpl.h"

#include <benchmark/benchmark.h>

namespace {

using Compose = std::string& (CAISMessageEncoder::*)(std::string&) const;

void ComposeMessages(benchmark::State& state, Compose compose)
{
    CVesselModelImpl vessel("unused");
    vessel.m_latitude = 46.48;
    vessel.m_longitude = -30.75;
    vessel.m_rateOfTurn = -12.0F;
    const CAISMessageEncoder& encoder = vessel.Encoder();
    std::string out;
    for (auto _ : state) {
        (encoder.*compose)(out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations());  // reported as messages per second
}

BENCHMARK_CAPTURE(ComposeMessages, Msg1, &CAISMessageEncoder::ComposeMsg1);
BENCHMARK_CAPTURE(ComposeMessages, Msg5, &CAISMessageEncoder::ComposeMsg5);
BENCHMARK_CAPTURE(ComposeMessages, Msg18, &CAISMessageEncoder::ComposeMsg18);
BENCHMARK_CAPTURE(ComposeMessages, Msg19, &CAISMessageEncoder::ComposeMsg19);
BENCHMARK_CAPTURE(ComposeMessages, Msg24AB, &CAISMessageEncoder::ComposeMsg24);

void GeodesicStep(benchmark::State& state)
{
    double lat = 46.48, lon = 30.75;
    for (auto _ : state) {
        double course = 45.0, lat2 = 0, lon2 = 0;
        VincentyDirect(lat, lon, course, 0.00643, lat2, lon2);  // 12.5 knots for one second
        benchmark::DoNotOptimize(lat2);
        benchmark::DoNotOptimize(lon2);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(GeodesicStep);

} // namespace

BENCHMARK_MAIN();

// What a scenario costs: a route step per vessel (the engine's per-step call), placing
// an encounter, and reading the sample scenario (start-up).

#include "emulator/scenario/Encounter.h"
#include "emulator/scenario/Route.h"
#include "emulator/scenario/ScenarioFile.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

Route LoopRoute()
{
    RoutePlan plan;
    plan.end = RouteEnd::Loop;
    const double points[][2] = {{51.95, 3.55}, {51.97, 3.60}, {51.95, 3.65}, {51.93, 3.60}};
    for (const auto& p : points) {
        RouteWaypoint w;
        w.latDeg = p[0];
        w.lonDeg = p[1];
        w.sogKnots = 12.0;
        plan.waypoints.push_back(w);
    }
    std::string error;
    return *Route::Build(plan, 0.0, error);
}

// Vessels spread along one shared route, each advanced by one second per step.
void RouteStep(benchmark::State& state)
{
    const Route route = LoopRoute();
    std::vector<RouteState> vessels(static_cast<std::size_t>(state.range(0)));
    for (std::size_t i = 0; i < vessels.size(); ++i) Advance(route, vessels[i], static_cast<double>(i) * 7.0);
    double sink = 0;
    for (auto _ : state) {
        for (RouteState& v : vessels) sink += Advance(route, v, 1.0).latDeg;
    }
    benchmark::DoNotOptimize(sink);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(RouteStep)->Arg(1000)->Arg(100000);

void PlaceOneEncounter(benchmark::State& state)
{
    const auto kind = static_cast<EncounterKind>(state.range(0));
    const double targetKnots = kind == EncounterKind::Overtaking ? 20 : (kind == EncounterKind::Overtaken ? 6 : 10);
    for (auto _ : state) {
        std::string reason;
        benchmark::DoNotOptimize(PlaceEncounter({51.9, 3.5, 90, 12}, {kind, 0.5, 12, targetKnots, {}}, reason));
    }
}
BENCHMARK(PlaceOneEncounter)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void ReadSampleScenario(benchmark::State& state)
{
    for (auto _ : state) {
        Scenario scenario;
        std::string error;
        benchmark::DoNotOptimize(
            ReadScenario(std::string(KVL_SOURCE_DIR) + "/samples/scenarios/encounters.json", {}, scenario, error));
    }
}
BENCHMARK(ReadSampleScenario)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

// What the chart's tap costs: decoding sentences, updating a picture of up to 100,000
// targets, taking its snapshot, and a lost/CPA pass over every target.
// Run: build/bin/traffic_benchmark
#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/NmeaReader.h"
#include "emulator/traffic/TrafficPicture.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr std::uint32_t kFirstMmsi = 201000000;
constexpr std::size_t kDatagramBytes = 1400;  // what fits one Ethernet frame

// A message 1 sentence of target `index`, somewhere in the North Sea.
std::string Msg1Sentence(std::uint32_t index, std::mt19937& rng)
{
    std::uniform_real_distribution<double> lat(51.0, 54.0), lon(2.0, 6.0), knots(0.0, 25.0), course(0.0, 359.9);
    const PositionFields position = EncodePosition(lat(rng), lon(rng));
    const std::string bits = IntToBits(1, 6) + IntToBits(0, 2) + IntToBits(static_cast<std::int32_t>(kFirstMmsi + index), 30) +
                             IntToBits(0, 4) + IntToBits(-128, 8) + EncodeSpeed(static_cast<float>(knots(rng))) +
                             IntToBits(1, 1) + position.longitude + position.latitude + EncodeCourse(course(rng)) +
                             IntToBits(511, 9) + IntToBits(60, 6) + IntToBits(0, 2 + 3 + 1 + 19);
    return FrameSentence("AIVDM,1,1,,A,", bits, 28, ",0", true);
}

std::string Stream(std::size_t targets)
{
    std::mt19937 rng(7);
    std::string text;
    for (std::uint32_t i = 0; i < targets; ++i) text += Msg1Sentence(i, rng);
    return text;
}

std::vector<NmeaMessage> Decoded(std::size_t targets)
{
    NmeaReader reader;
    std::vector<NmeaMessage> out;
    reader.Feed(Stream(targets), out);
    return out;
}

void DecodeDatagrams(benchmark::State& state)
{
    const std::string text = Stream(10000);
    NmeaReader reader;
    std::vector<NmeaMessage> out;
    for (auto _ : state) {
        for (std::size_t at = 0; at < text.size(); at += kDatagramBytes) {
            out.clear();
            reader.Feed(std::string_view(text).substr(at, kDatagramBytes), out);
            benchmark::DoNotOptimize(out.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);  // messages per second
}
BENCHMARK(DecodeDatagrams);

void ApplyToPicture(benchmark::State& state)
{
    const auto targets = static_cast<std::size_t>(state.range(0));
    const std::vector<NmeaMessage> messages = Decoded(targets);
    TrafficPicture picture;
    std::int64_t nowMs = 0;
    for (const NmeaMessage& m : messages) picture.Apply(m, nowMs);
    std::size_t next = 0;
    for (auto _ : state) {
        picture.Apply(messages[next], ++nowMs);
        next = next + 1 == messages.size() ? 0 : next + 1;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ApplyToPicture)->Arg(1000)->Arg(100000);

void Snapshot(benchmark::State& state)
{
    TrafficPicture picture;
    for (const NmeaMessage& m : Decoded(static_cast<std::size_t>(state.range(0)))) picture.Apply(m, 0);
    std::vector<Target> snapshot;
    for (auto _ : state) {
        picture.Snapshot(snapshot);
        benchmark::DoNotOptimize(snapshot.data());
    }
    state.counters["bytes_per_target"] = sizeof(Target);
}
BENCHMARK(Snapshot)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void LostAndCpaPass(benchmark::State& state)
{
    TrafficPicture picture;
    for (const NmeaMessage& m : Decoded(static_cast<std::size_t>(state.range(0)))) picture.Apply(m, 0);
    OwnShipSentence own;
    own.latitudeDeg = 52.5;
    own.longitudeDeg = 4.0;
    own.speedKnots = 12.0;
    own.courseDeg = 45.0;
    picture.Apply(own, 0);
    for (auto _ : state) {
        std::size_t lost = 0;
        double closest = 1e9;
        for (const Target& t : picture.Targets()) {
            lost += IsLost(t, 50000) ? 1 : 0;
            if (const auto cpa = CpaToOwnShip(picture.Own(), t)) closest = std::min(closest, cpa->cpaNm);
        }
        benchmark::DoNotOptimize(lost);
        benchmark::DoNotOptimize(closest);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));  // targets per second
}
BENCHMARK(LostAndCpaPass)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

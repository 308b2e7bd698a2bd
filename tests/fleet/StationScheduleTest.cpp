// One station of every kind from a CSV fleet, stepped once a simulated second for eleven
// minutes: each message must come at its kind's interval, the beacons in bursts on
// alternating channels with their status and text.
#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* const kStationsCsv =
    "station-kind,vessel-mmsi,vessel-sog,nmea-domsg1,nmea-domsg5,nmea-domsg27,beacon-mode,vessel-name,aton-type\n"
    "vessel,244000101,12,1,1,0,,CARGO ONE,\n"
    "vessel,244000102,8,1,0,1,,LONG RANGE,\n"
    "base,2440001,,,,,,,\n"
    "aton,992440001,,,,,,MAAS CENTRE SAFE WATER MARK,29\n"
    "sar-aircraft,111244001,120,,,,,,\n"
    "sart,970010001,0.5,,,,active,,\n"
    "mob,972010002,0.5,,,,,,\n"
    "epirb,974010003,0.5,,,,active,,\n"
    "sart,970010004,0.5,,,,test,,\n";

// What a receiver sees of one transmission: its step, type, source and channel.
struct Heard {
    int step;
    int type;
    std::uint32_t mmsi;
    char channel;
    int navStatus;  // message 1
    std::string sentences;
};

std::uint64_t PayloadBits(const std::string& payload, unsigned first, unsigned count)
{
    std::uint64_t value = 0;
    for (unsigned bit = first; bit < first + count; ++bit) {
        int six = payload[bit / 6] - 48;
        if (six > 40) six -= 8;
        value = (value << 1) | static_cast<unsigned>((six >> (5 - bit % 6)) & 1);
    }
    return value;
}

std::vector<Heard> Listen(const std::string& text, int step)
{
    std::vector<Heard> heard;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string field; std::getline(fields, field, ',');) f.push_back(field);
        if (f.size() < 7) continue;
        if (f[2] != "1") {  // a later sentence of a multi-sentence message
            heard.back().sentences += line + "\n";
            continue;
        }
        const auto type = static_cast<int>(PayloadBits(f[5], 0, 6));
        heard.push_back({step, type, static_cast<std::uint32_t>(PayloadBits(f[5], 8, 30)), f[4][0],
                         type == 1 ? static_cast<int>(PayloadBits(f[5], 38, 4)) : -1, line + "\n"});
    }
    return heard;
}

std::vector<Heard> StepStations(bool ignoreTimings, int steps)
{
    Fleet fleet;
    std::string error;
    EXPECT_TRUE(ParseFleetCsv(kStationsCsv, "stations.csv", VesselTemplate(), fleet, error)) << error;
    FleetEngine engine(fleet, {true, false}, ignoreTimings);
    engine.SetUtcTimeSource([] { return platform::LocalTime{2026, 7, 1, 12, 0, 30}; });
    engine.SetLocalTimeSource([] { return platform::LocalTime{2026, 7, 1, 14, 0, 30}; });
    std::uint64_t tick = 4294000000ULL;  // the tick count wraps during the run
    engine.Start(tick, 0, 20);
    std::vector<Heard> heard;
    for (int step = 1; step <= steps; ++step) {
        tick = (tick + 1000) & 0xFFFFFFFFULL;
        std::string out;
        engine.Step(tick, out);
        for (Heard& h : Listen(out, step)) heard.push_back(std::move(h));
    }
    return heard;
}

struct Expected {
    std::uint32_t mmsi;
    int type;
    int everySteps;
    int burst;  // transmissions in one step
};

TEST(StationSchedule, EveryKindAtItsIntervalForElevenMinutes)
{
    const Expected table[] = {
        {244000101, 1, 10, 1},  {244000101, 5, 360, 1}, {244000102, 1, 10, 1},   {244000102, 27, 180, 1},
        {2440001, 4, 10, 1},
        {992440001, 21, 180, 1}, {111244001, 9, 10, 1}, {970010001, 1, 60, 8},   {970010001, 14, 240, 1},
        {972010002, 1, 60, 8},  {972010002, 14, 240, 1}, {974010003, 1, 60, 8},   {974010003, 14, 240, 1},
        {970010004, 1, 60, 8},  {970010004, 14, 240, 1},
    };
    constexpr int kSteps = 660;
    const std::vector<Heard> heard = StepStations(false, kSteps);
    std::map<std::pair<std::uint32_t, int>, std::vector<const Heard*>> series;
    for (const Heard& h : heard) series[{h.mmsi, h.type}].push_back(&h);
    EXPECT_EQ(series.size(), std::size(table)) << "a station sends a type it should not";

    for (const Expected& e : table) {
        SCOPED_TRACE("MMSI " + std::to_string(e.mmsi) + " type " + std::to_string(e.type));
        const auto& items = series[{e.mmsi, e.type}];
        std::map<int, std::vector<const Heard*>> bySteps;
        for (const Heard* h : items) bySteps[h->step].push_back(h);
        ASSERT_FALSE(bySteps.empty());
        EXPECT_LE(bySteps.begin()->first, e.everySteps + 1) << "the first one comes within its interval";
        for (auto it = bySteps.begin(), next = std::next(it); next != bySteps.end(); ++it, ++next)
            EXPECT_EQ(next->first - it->first, e.everySteps) << "after step " << it->first;
        EXPECT_GE(static_cast<int>(bySteps.size()), kSteps / e.everySteps - 1);
        for (const auto& [step, burst] : bySteps) {
            ASSERT_EQ(static_cast<int>(burst.size()), e.burst) << "step " << step;
            for (std::size_t i = 1; i < burst.size(); ++i)
                EXPECT_NE(burst[i]->channel, burst[i - 1]->channel) << "a burst alternates channels";
        }
        if (e.type == 14) {  // a beacon's text goes with one of its bursts
            for (const auto& [step, burst] : bySteps) {
                bool withBurst = false;
                for (const Heard* p : series[{e.mmsi, 1}]) withBurst = withBurst || p->step == step;
                EXPECT_TRUE(withBurst) << "step " << step;
            }
        }
        if (e.burst > 1) {
            for (const Heard* h : items) EXPECT_EQ(h->navStatus, e.mmsi == 970010004 ? 15 : 14);
        }
    }

    KVL_REQUIRE_GPSDECODE();
    std::string safety;
    for (const Heard& h : heard)
        if (h.type == 14) safety += h.sentences;
    std::set<std::string> texts;
    for (const auto& record : testsupport::GpsDecode(safety)) texts.insert(record.at("mmsi") + " " + record.at("text"));
    EXPECT_EQ(texts, (std::set<std::string>{"970010001 SART ACTIVE", "972010002 MOB ACTIVE", "974010003 EPIRB ACTIVE",
                                            "970010004 SART TEST"}));
}

TEST(StationSchedule, IgnoreTimingsSendsEveryEnabledTypeOfEveryStationEveryStep)
{
    const std::vector<Heard> heard = StepStations(true, 5);
    std::map<std::pair<std::uint32_t, int>, std::set<int>> steps;
    std::map<std::pair<std::uint32_t, int>, int> count;
    for (const Heard& h : heard) {
        steps[{h.mmsi, h.type}].insert(h.step);
        ++count[{h.mmsi, h.type}];
    }
    EXPECT_EQ(steps.size(), 15u);
    for (const auto& [key, inSteps] : steps) {
        EXPECT_EQ(inSteps.size(), 5u) << key.first << " type " << key.second;
        const bool burst = key.second == 1 && key.first / 1000000 >= 970;
        EXPECT_EQ(count[key], burst ? 40 : 5) << key.first << " type " << key.second;
    }
}

} // namespace

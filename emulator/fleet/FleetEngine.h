#pragma once

#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/Fleet.h"
#include "geo/LandMask.h"

#include <atomic>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

// How the fleet's sentences are framed; the own ship also follows these switches.
struct FleetFraming {
    bool checksum = true;
    bool upperCaseChecksum = false;
};

// When the stations of a fleet first report.
struct StartPhases {
    std::size_t promptEnd = 0;   // stations before this send every message in the first step (a scenario's)
    std::size_t spreadFrom = 0;  // stations from this on start at spread phases; between: the single vessel's timing
};

// Sails every station of a fleet one step at a time and composes the messages due: the
// vessels by the same geodesic step and the same reporting rules as the single vessel,
// vessels on routes along their routes, the other kinds of station by their kind's row
// of the station table. The fleet's events are applied as simulated time reaches them.
class FleetEngine {
public:
    FleetEngine(Fleet& fleet, FleetFraming framing, bool ignoreTimings);
    FleetEngine(const FleetEngine&) = delete;
    FleetEngine& operator=(const FleetEngine&) = delete;

    // Stamps the start. Vessels from `firstSpread` on get their last-sent times spread
    // over their first interval, so that a fleet does not report in one burst; the
    // ones before keep the single vessel's timing.
    void Start(std::uint64_t tick, std::size_t firstSpread, std::uint32_t seed)
    {
        Start(tick, StartPhases{0, firstSpread}, seed);
    }
    // The same with stations that report at once. Events at time 0 are applied here.
    void Start(std::uint64_t tick, StartPhases phases, std::uint32_t seed);
    // Moves every vessel by the time since the previous step and appends the sentences
    // due to `out` (GPS of an own ship first, then messages 1, 5, 18, 19, 24, then 4, 9,
    // 21, 14, 27 per station). An event whose time the step reaches (simulated time
    // counted on the schedule's ticks) changes its station after the station has moved
    // and before it reports, so the step's reports carry the change.
    void Step(std::uint64_t tick, std::string& out);
    // The same, with the reporting schedule read on `scheduleTick`: a run on a fixed
    // cadence hands the tick its step was due at, so that a step a few milliseconds late
    // does not push a report to the next step, while the vessels move to where they
    // really are at `tick`.
    void Step(std::uint64_t tick, std::uint64_t scheduleTick, std::string& out);

    // A run that stops sets `*abandon`: a step in progress then ends early with no text,
    // so that a stop never waits for a whole step of millions of vessels.
    void SetAbandonFlag(const std::atomic<bool>* abandon) { m_abandon = abandon; }
    bool LastStepAbandoned() const { return m_abandoned; }

    // Tests fix the clocks the sentences carry. UTC is read at most once per step for
    // the stations (message 4's date and time, the time stamps).
    void SetLocalTimeSource(platform::LocalTimeSource source) { m_localTime = std::move(source); }
    void SetUtcTimeSource(platform::LocalTimeSource source) { m_utcTime = std::move(source); }

private:
    void ApplyEvent(const FleetEvent& event, FleetVessel& v);
    void CollectDueEvents(double simulatedS);

    Fleet& m_fleet;
    FleetFraming m_framing;
    bool m_ignoreTimings;
    std::uint64_t m_lastStepTime = 0;
    std::uint64_t m_lastScheduleTime = 0;  // the schedule's clock of the previous step
    const std::atomic<bool>* m_abandon = nullptr;
    bool m_abandoned = false;
    SequentialMessageId m_sequence;  // of multi-sentence station messages
    platform::LocalTimeSource m_localTime = platform::GetLocalTime;
    platform::LocalTimeSource m_utcTime = platform::GetUtcTime;
    const geo::LandMask& m_landMask = geo::LandMask::Builtin();  // for vessels that keep to water
    std::uint64_t m_simulatedMs = 0;     // since the start, on the schedule's ticks
    std::size_t m_nextEvent = 0;         // into m_fleet.events
    std::vector<std::uint32_t> m_dueEvents;  // this step's, by station
};

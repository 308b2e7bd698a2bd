#include "emulator/fleet/FleetEngine.h"

#include "emulator/encoding/GpsSentences.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/StationColumns.h"
#include "emulator/model/CVesselModelImpl.h"
#include "emulator/model/IVessel.h"
#include "emulator/model/ReportingRules.h"
#include "emulator/stations/StationKinds.h"
#include "platform/TickClock.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

constexpr double kKmPerNauticalMile = 1.852;
constexpr double kMsPerHour = 3600000.0;
constexpr double kMinutesPerHour = 60.0;
constexpr double kSecondsPerHour = 3600.0;
constexpr double kMsPerSecond = 1000.0;
constexpr std::uint64_t kTickMask = 0xFFFFFFFFULL;

// One fleet vessel seen through IVessel, so that the fleet's sentences come from the
// same composers as the single vessel's.
class FleetVesselView final : public IVessel {
public:
    explicit FleetVesselView(const TextPool& texts) : m_texts(texts) {}
    void Show(const FleetVessel& vessel) { m_v = &vessel; }

    int GetNavStatus() const override { return m_v->navStatus; }
    float GetRateOfTurn() const override { return m_v->rateOfTurn; }
    float GetSpeedOverGround() const override { return m_v->speed; }
    bool GetPositionAccuracy() const override { return m_v->accuracy; }
    void GetPosition(double& lat, double& lon) const override
    {
        lat = m_v->latitude;
        lon = m_v->longitude;
    }
    float GetCourseOverGround() const override { return m_v->course; }
    float GetHeading(int) const override { return m_v->course; }
    int IsActive() const override { return 1; }
    std::int32_t GetMMSI() const override { return static_cast<std::int32_t>(m_v->mmsi); }
    std::int32_t GetIMONumber() const override { return static_cast<std::int32_t>(m_v->imo); }
    const char* GetCallSign() const override { return m_texts.Text(m_v->callSign); }
    const char* GetShipName() const override { return m_texts.Text(m_v->name); }
    int GetShipType() const override { return m_v->shipType; }
    void GetDimensions(int& a, int& b, int& c, int& d) const override
    {
        a = m_v->dims[0];
        b = m_v->dims[1];
        c = m_v->dims[2];
        d = m_v->dims[3];
    }
    int GetEPFDType() const override { return m_v->epfd; }
    const char* GetDestination() const override { return m_texts.Text(m_v->destination); }
    const char* GetPortOfOrigin() const override { return ""; }

private:
    const TextPool& m_texts;
    const FleetVessel* m_v = nullptr;
};

using Compose = std::string& (CAISMessageEncoder::*)(std::string&) const;
struct MessageKind {
    std::uint8_t bit;
    Compose compose;
};
// In the order a step sends them.
constexpr MessageKind kMessageKinds[] = {
    {kSendMsg1, &CAISMessageEncoder::ComposeMsg1},   {kSendMsg5, &CAISMessageEncoder::ComposeMsg5},
    {kSendMsg18, &CAISMessageEncoder::ComposeMsg18}, {kSendMsg19, &CAISMessageEncoder::ComposeMsg19},
    {kSendMsg24, &CAISMessageEncoder::ComposeMsg24},
};

// Messages of the other station kinds, in the order a step sends them after the
// vessel's; `slot` is the message's place in FleetVessel::stationLastSent.
struct StationMessageKind {
    std::uint16_t bit;
    int message;
    std::size_t slot;
};
constexpr StationMessageKind kStationMessageKinds[] = {
    {kSendMsg4, 4, 0}, {kSendMsg9, 9, 1}, {kSendMsg21, 21, 3}, {kSendMsg14, 14, 2}, {kSendMsg27, 27, 4},
};
constexpr std::uint16_t kStationMessageBits = kSendMsg4 | kSendMsg9 | kSendMsg14 | kSendMsg21 | kSendMsg27;
constexpr std::size_t kSafetySlot = 2;
// A seed of its own for the stations' phases, so that adding stations to a fleet does not
// move the vessels' phases.
constexpr std::uint32_t kStationSeedSalt = 0x5A7E1105U;
// A station that reports at once counts as last heard an interval and this much ago, a
// margin that holds "exceeded" too, across a wrap of the tick count.
constexpr std::uint64_t kPromptMarginMs = 1000;

StationKind KindOf(const FleetVessel& v)
{
    return static_cast<StationKind>(v.kind);
}

std::uint64_t IntervalMs(const FleetVessel& v, std::size_t kind)
{
    // A distress beacon's position reports go in bursts at its kind's interval.
    if (kind == 0 && v.kind != 0 && IsDistressBeacon(KindOf(v))) return StationKindOf(KindOf(v)).positionIntervalMs;
    switch (kind) {
    case 0: return ClassAIntervalMs(v.navStatus, v.speed, std::fabs(v.rateOfTurn) > 0);
    case 2: return ClassBIntervalMs(v.speed);
    default: return kStaticDataIntervalMs;
    }
}

bool Due(const FleetVessel& v, std::size_t kind, std::uint64_t t)
{
    const std::uint64_t elapsed = platform::TickElapsed(v.lastSent[kind], t);
    // Class B is due once its interval is exceeded, the others when it is reached.
    return kind == 2 ? elapsed > IntervalMs(v, kind) : elapsed >= IntervalMs(v, kind);
}

bool StationMessageDue(const FleetVessel& v, const StationMessageKind& m, std::uint64_t t)
{
    return platform::TickElapsed(v.stationLastSent[m.slot], t) >= StationMessageIntervalMs(KindOf(v), m.message);
}

std::uint32_t Stamp(std::uint64_t tick, std::uint64_t offset)
{
    // The tick count wraps at 32 bits; so do the stamps.
    return static_cast<std::uint32_t>((tick - offset) & kTickMask);
}

// Phases of a station of another kind, or of a vessel's messages 14 and 27. Spread ones
// fall at random inside their first interval. Of the others, a station of another kind
// is due at once, as a beacon transmits when it is switched on; a vessel keeps its usual
// timing unless it is `prompt`. A beacon's message 14 goes with one of its bursts.
void StartStation(FleetVessel& v, std::uint64_t tick, bool spread, bool prompt, std::mt19937& random)
{
    const auto offset = [&](std::uint64_t interval) -> std::uint64_t {
        if (spread) return random() % interval;
        if (prompt) return interval + kPromptMarginMs;
        return v.kind != 0 ? interval : 0;
    };
    if (v.kind != 0) {
        for (std::size_t kind = 0; kind < std::size(v.lastSent); ++kind)
            v.lastSent[kind] = Stamp(tick, offset(IntervalMs(v, kind)));
    }
    for (const StationMessageKind& m : kStationMessageKinds)
        v.stationLastSent[m.slot] = Stamp(tick, offset(StationMessageIntervalMs(KindOf(v), m.message)));
    if (IsDistressBeacon(KindOf(v))) {
        const std::uint64_t burst = IntervalMs(v, 0);
        const std::uint64_t bursts = StationMessageIntervalMs(KindOf(v), 14) / burst;
        const std::uint64_t sinceBurst = platform::TickElapsed(v.lastSent[0], tick & kTickMask);
        const std::uint64_t earlierBursts = spread ? random() % bursts : bursts - 1;
        v.stationLastSent[kSafetySlot] = Stamp(tick, sinceBurst + burst * earlierBursts);
    }
}

} // namespace

FleetEngine::FleetEngine(Fleet& fleet, FleetFraming framing, bool ignoreTimings)
    : m_fleet(fleet), m_framing(framing), m_ignoreTimings(ignoreTimings)
{
}

void FleetEngine::Start(std::uint64_t tick, StartPhases phases, std::uint32_t seed)
{
    m_lastStepTime = tick & kTickMask;
    m_lastScheduleTime = m_lastStepTime;
    m_simulatedMs = 0;
    m_nextEvent = 0;
    std::mt19937 random(seed);
    std::mt19937 stationRandom(seed ^ kStationSeedSalt);
    for (std::size_t i = 0; i < m_fleet.vessels.size(); ++i) {
        FleetVessel& v = m_fleet.vessels[i];
        const bool spread = i >= phases.spreadFrom;
        const bool prompt = i < phases.promptEnd;
        if (v.kind != 0 || (v.messages & kStationMessageBits) != 0)
            StartStation(v, m_lastStepTime, spread, prompt, stationRandom);
        if (v.kind != 0) continue;
        for (std::size_t kind = 0; kind < std::size(v.lastSent); ++kind) {
            std::uint64_t offset = 0;
            if (spread) offset = random() % IntervalMs(v, kind);
            if (prompt) offset = IntervalMs(v, kind) + kPromptMarginMs;
            // The tick count wraps at 32 bits; so do the stamps.
            v.lastSent[kind] = static_cast<std::uint32_t>((m_lastStepTime - offset) & kTickMask);
        }
    }
    // What holds from the start is in place before the first report.
    CollectDueEvents(0.0);
    for (const std::uint32_t e : m_dueEvents) ApplyEvent(m_fleet.events[e], m_fleet.vessels[m_fleet.events[e].vessel]);
}

void FleetEngine::CollectDueEvents(double simulatedS)
{
    m_dueEvents.clear();
    const std::vector<FleetEvent>& events = m_fleet.events;
    for (; m_nextEvent < events.size() && events[m_nextEvent].atS <= simulatedS; ++m_nextEvent)
        m_dueEvents.push_back(static_cast<std::uint32_t>(m_nextEvent));
    // By station, each station's in time order, for the pass over the stations.
    std::stable_sort(m_dueEvents.begin(), m_dueEvents.end(),
                     [&events](std::uint32_t a, std::uint32_t b) { return events[a].vessel < events[b].vessel; });
}

void FleetEngine::ApplyEvent(const FleetEvent& event, FleetVessel& v)
{
    static const ColumnMask kMotion = [] {
        ColumnMask mask = 0;
        for (const char* name : {"vessel-lat", "vessel-lon", "vessel-sog", "vessel-cog", "vessel-rot"})
            mask |= ColumnMask{1} << *StationColumnIndex(name);
        return mask;
    }();
    const std::uint8_t kindBefore = v.kind;
    for (std::size_t column = 0; column < sizeof(ColumnMask) * 8; ++column)
        if ((event.columns & (ColumnMask{1} << column)) != 0) CopyStationColumn(column, event.after, v);
    // A vessel given a position, course or speed leaves its route and sails straight from there.
    if ((event.columns & kMotion) != 0) v.routeSlot = 0;
    if (event.send >= 0) v.silent = event.send == 0;
    if (v.kind != kindBefore) {
        // Switched on as a station of another kind: it transmits at once.
        std::mt19937 unused;
        StartStation(v, m_lastScheduleTime, false, true, unused);
    }
}

void FleetEngine::Step(std::uint64_t tick, std::string& out)
{
    Step(tick, tick, out);
}

void FleetEngine::Step(std::uint64_t tick, std::uint64_t scheduleTick, std::string& out)
{
    const std::uint64_t now = tick & kTickMask;
    const double hours = static_cast<double>(platform::TickElapsed(m_lastStepTime, now)) / kMsPerHour;
    m_simulatedMs += platform::TickElapsed(m_lastScheduleTime, scheduleTick & kTickMask);
    CollectDueEvents(static_cast<double>(m_simulatedMs) / kMsPerSecond);
    std::size_t nextDue = 0;
    // One reading of each clock per step: every vessel's sentences carry the same time.
    const platform::LocalTime local = m_localTime();
    const auto stepTime = [&local] { return local; };

    FleetVesselView view(m_fleet.texts);
    CAISMessageEncoder targets(&view);
    CAISMessageEncoder ownShip(&view);
    for (CAISMessageEncoder* encoder : {&targets, &ownShip}) {
        encoder->m_bChecksumEnabled = m_framing.checksum;
        encoder->m_bUpperCaseChecksum = m_framing.upperCaseChecksum;
        encoder->SetLocalTimeSource(stepTime);
    }
    ownShip.m_bOwnShip = true;
    // Vessels with a stored ETA send it in message 5 instead of the local time.
    const FleetVessel* current = nullptr;
    CAISMessageEncoder withEta(&view);
    withEta.m_bChecksumEnabled = m_framing.checksum;
    withEta.m_bUpperCaseChecksum = m_framing.upperCaseChecksum;
    withEta.SetLocalTimeSource([&local, &current] {
        platform::LocalTime eta = local;
        eta.month = current->eta[0];
        eta.day = current->eta[1];
        eta.hour = current->eta[2];
        eta.minute = current->eta[3];
        return eta;
    });

    std::optional<platform::LocalTime> utc;  // read once, by the first station that needs it
    const auto stationStep = [&](const FleetVessel& v) {
        if (!utc) utc = m_utcTime();
        return StationStep{m_fleet.texts, *utc, {m_framing.checksum, m_framing.upperCaseChecksum, v.ownShip, 'A'},
                           m_sequence};
    };
    std::string sentences;
    constexpr std::size_t kAbandonCheckEvery = 4096;  // vessels; a few milliseconds of work
    m_abandoned = false;
    for (std::size_t index = 0; index < m_fleet.vessels.size(); ++index) {
        FleetVessel& v = m_fleet.vessels[index];
        if ((index + 1) % kAbandonCheckEvery == 0 && m_abandon != nullptr &&
            m_abandon->load(std::memory_order_relaxed)) {
            out.clear();
            m_abandoned = true;
            return;
        }
        const StationKindRow& kindRow = StationKindOf(KindOf(v));
        if (v.routeSlot != 0) {
            RouteFollower& follower = m_fleet.followers[v.routeSlot - 1];
            const RoutePose pose = Advance(m_fleet.routes[follower.route], follower.state, hours * kSecondsPerHour);
            v.latitude = pose.latDeg;
            v.longitude = pose.lonDeg;
            v.course = static_cast<float>(pose.courseDeg);
            v.speed = static_cast<float>(pose.speedKnots);
            v.rateOfTurn = static_cast<float>(pose.rateOfTurnDegPerMin);
            // At the end of a `stop` route it stays where it is, at speed 0.
            if (pose.finished) v.routeSlot = 0;
        } else if (kindRow.moves) {
            if ((v.steering & kKeepToWater) != 0) SteerClearOfLand(v, hours, m_landMask);
            const double distanceKm = v.speed * kKmPerNauticalMile * hours;
            double course = v.course + v.rateOfTurn * (hours * kMinutesPerHour);
            double lat = 0.0;
            double lon = 0.0;
            VincentyDirect(v.latitude, v.longitude, course, distanceKm, lat, lon);
            v.latitude = lat;
            v.longitude = lon;
            v.course = static_cast<float>(course);
        }
        for (; nextDue < m_dueEvents.size() && m_fleet.events[m_dueEvents[nextDue]].vessel == index; ++nextDue)
            ApplyEvent(m_fleet.events[m_dueEvents[nextDue]], v);
        if (v.silent) continue;

        view.Show(v);
        if (v.ownShip) {
            const OwnShipFix fix{v.latitude, v.longitude, v.speed, v.course, m_utcTime()};
            AppendGpsSentences(fix, {m_framing.checksum, m_framing.upperCaseChecksum}, out);
        }
        current = &v;
        const CAISMessageEncoder& encoder = v.ownShip ? ownShip : v.eta[0] != 0 ? withEta : targets;
        const bool beacon = StationKindOf(KindOf(v)).burstReports > 1;  // an event may have changed the kind
        // The schedule's clock is the previous step's tick, as for the single vessel.
        for (std::size_t kind = 0; kind < std::size(kMessageKinds); ++kind) {
            if (!m_ignoreTimings && !Due(v, kind, m_lastScheduleTime)) continue;
            if ((v.messages & kMessageKinds[kind].bit) != 0) {
                if (beacon && kind == 0) {
                    StationStep step = stationStep(v);
                    AppendBeaconBurst(v, step, out);
                } else {
                    out += (encoder.*kMessageKinds[kind].compose)(sentences);
                }
            }
            v.lastSent[kind] = static_cast<std::uint32_t>(m_lastScheduleTime);
        }
        if ((v.messages & kStationMessageBits) == 0) continue;
        for (const StationMessageKind& m : kStationMessageKinds) {
            if ((v.messages & m.bit) == 0) continue;
            if (!m_ignoreTimings && !StationMessageDue(v, m, m_lastScheduleTime)) continue;
            StationStep step = stationStep(v);
            AppendStationMessage(m.message, v, step, out);
            v.stationLastSent[m.slot] = static_cast<std::uint32_t>(m_lastScheduleTime);
        }
    }
    m_lastStepTime = now;
    m_lastScheduleTime = scheduleTick & kTickMask;
}

#include "emulator/traffic/TrafficPicture.h"

namespace {

constexpr std::int64_t kMsPerSecond = 1000;

double Or(const std::optional<double>& value) { return value ? *value : kUnknown; }
template <typename T>
double Or(const std::optional<T>& value) { return value ? static_cast<double>(*value) : kUnknown; }

// A report without a usable position says the station does not know where it is: the
// chart must not keep drawing an old one.
template <typename Record>
void Place(Record& r, const AisPosition& p)
{
    const bool known = p.latitudeDeg && p.longitudeDeg;
    r.latitudeDeg = known ? *p.latitudeDeg : kUnknown;
    r.longitudeDeg = known ? *p.longitudeDeg : kUnknown;
}

// One overload per message: which fields of the target it renews.
struct TargetUpdate {
    Target& t;
    std::int64_t nowMs;

    void Reported(const AisPosition& p)
    {
        Place(t, p);
        t.lastPositionMs = nowMs;
    }
    void operator()(const AisPositionReportA& m)
    {
        t.navStatus = m.navStatus;
        t.speedKnots = Or(m.speedKnots);
        t.courseDeg = Or(m.courseDeg);
        t.headingDeg = Or(m.headingDeg);
        Reported(m.position);
    }
    void operator()(const AisBaseStationReport& m) { Reported(m.position); }
    void operator()(const AisStaticVoyageData& m)
    {
        t.name.Assign(m.name);
        t.callSign.Assign(m.callSign);
        t.destination.Assign(m.destination);
        t.shipType = m.shipType;
        t.dimensions = m.dimensions;
    }
    void operator()(const AisSarAircraftReport& m)
    {
        t.speedKnots = Or(m.speedKnots);
        t.courseDeg = Or(m.courseDeg);
        Reported(m.position);
    }
    void operator()(const AisSafetyBroadcast&) {}
    void operator()(const AisPositionReportB& m)
    {
        t.carrierSense = m.carrierSense;
        t.speedKnots = Or(m.speedKnots);
        t.courseDeg = Or(m.courseDeg);
        t.headingDeg = Or(m.headingDeg);
        Reported(m.position);
    }
    void operator()(const AisExtendedReportB& m)
    {
        t.speedKnots = Or(m.speedKnots);
        t.courseDeg = Or(m.courseDeg);
        t.headingDeg = Or(m.headingDeg);
        t.name.Assign(m.name);
        t.shipType = m.shipType;
        t.dimensions = m.dimensions;
        Reported(m.position);
    }
    void operator()(const AisAidToNavigationReport& m)
    {
        t.name.Assign(m.name);
        t.shipType = m.aidType;
        t.dimensions = m.dimensions;
        Reported(m.position);
    }
    void operator()(const AisStaticDataA& m) { t.name.Assign(m.name); }
    void operator()(const AisStaticDataB& m)
    {
        t.callSign.Assign(m.callSign);
        t.shipType = m.shipType;
        t.dimensions = m.dimensions;
    }
    void operator()(const AisLongRangeReport& m)
    {
        t.navStatus = m.navStatus;
        t.speedKnots = Or(m.speedKnots);
        t.courseDeg = Or(m.courseDeg);
        Reported(m.position);
    }
    void operator()(const OwnShipSentence&) {}
};

// The own ship from its GPS sentences and its own AIS reports (AIVDO).
struct OwnUpdate {
    OwnShip& o;

    void Motion(const std::optional<double>& speed, const std::optional<double>& course)
    {
        if (speed) o.speedKnots = *speed;
        if (course) o.courseDeg = *course;
    }
    void operator()(const OwnShipSentence& s)
    {
        if (s.latitudeDeg && s.longitudeDeg) {
            o.latitudeDeg = *s.latitudeDeg;
            o.longitudeDeg = *s.longitudeDeg;
        }
        Motion(s.speedKnots, s.courseDeg);
        if (s.headingDeg) o.headingDeg = *s.headingDeg;
    }
    void operator()(const AisPositionReportA& m)
    {
        Place(o, m.position);
        Motion(m.speedKnots, m.courseDeg);
        if (m.headingDeg) o.headingDeg = *m.headingDeg;
    }
    void operator()(const AisPositionReportB& m)
    {
        Place(o, m.position);
        Motion(m.speedKnots, m.courseDeg);
        if (m.headingDeg) o.headingDeg = *m.headingDeg;
    }
    void operator()(const AisStaticVoyageData& m) { o.name.Assign(m.name); }
    void operator()(const AisStaticDataA& m) { o.name.Assign(m.name); }
    template <typename Other>
    void operator()(const Other&) {}
};

std::uint8_t NavStatusOf(const NmeaMessage& message)
{
    if (const auto* a = std::get_if<AisPositionReportA>(&message)) return a->navStatus;
    if (const auto* l = std::get_if<AisLongRangeReport>(&message)) return l->navStatus;
    return kAisNavStatusNotDefined;
}

} // namespace

TrafficPicture::TrafficPicture(std::size_t maxTargets) : m_maxTargets(maxTargets) {}

const Target* TrafficPicture::Find(std::uint32_t mmsi) const
{
    const auto it = m_index.find(mmsi);
    return it == m_index.end() ? nullptr : &m_targets[it->second];
}

Target* TrafficPicture::Slot(std::uint32_t mmsi, std::int64_t nowMs)
{
    const auto it = m_index.find(mmsi);
    if (it != m_index.end()) return &m_targets[it->second];
    if (m_targets.size() >= m_maxTargets) {
        ++m_leftOut;
        return nullptr;
    }
    m_index.emplace(mmsi, static_cast<std::uint32_t>(m_targets.size()));
    Target& t = m_targets.emplace_back();
    t.mmsi = mmsi;
    t.lastPositionMs = nowMs;  // lost counts from the first message until a position report
    return &t;
}

void TrafficPicture::Apply(const NmeaMessage& message, std::int64_t nowMs)
{
    const AisHeader* head = AisHeaderOf(message);
    if (!head || head->ownShip) {
        std::visit(OwnUpdate{m_own}, message);
        if (head) m_own.mmsi = head->mmsi;
        m_own.lastHeardMs = nowMs;
        return;
    }
    Target* t = Slot(head->mmsi, nowMs);
    if (!t) return;
    const auto* aton = std::get_if<AisAidToNavigationReport>(&message);
    const StationKind kind = KindFromMessage(head->type, head->mmsi, NavStatusOf(message), aton && aton->virtualAid);
    if (kind != StationKind::Unknown) t->kind = kind;
    t->lastMessageType = head->type;
    t->lastHeardMs = nowMs;
    std::visit(TargetUpdate{*t, nowMs}, message);
}

std::size_t TrafficPicture::Prune(std::int64_t nowMs, std::int64_t keepLostMs)
{
    std::size_t removed = 0;
    for (std::size_t i = 0; i < m_targets.size();) {
        const Target& t = m_targets[i];
        const std::int64_t lostAtMs =
            t.lastPositionMs + kMsPerSecond * LostAfterS(t.kind, t.carrierSense, t.navStatus, t.speedKnots);
        if (nowMs - lostAtMs <= keepLostMs) {
            ++i;
            continue;
        }
        m_index.erase(t.mmsi);
        if (i + 1 != m_targets.size()) {
            m_targets[i] = m_targets.back();
            m_index[m_targets[i].mmsi] = static_cast<std::uint32_t>(i);
        }
        m_targets.pop_back();
        ++removed;
    }
    return removed;
}

bool IsLost(const Target& target, std::int64_t nowMs)
{
    const std::int64_t silentMs = nowMs - target.lastPositionMs;
    return silentMs > kMsPerSecond * LostAfterS(target.kind, target.carrierSense, target.navStatus, target.speedKnots);
}

std::optional<CpaResult> CpaToOwnShip(const OwnShip& own, const Target& target)
{
    if (!own.HasPosition() || !target.HasPosition()) return std::nullopt;
    return ComputeCpa(own.AsMotion(), target.AsMotion());
}

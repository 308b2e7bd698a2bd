#include "emulator/fleet/RandomStations.h"

#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kSeedSalt = 0x57A71045U;  // stations draw apart from the vessels
constexpr double kMinutesPerDegree = 60.0;
constexpr double kAtonMaxNauticalMiles = 2.0;
constexpr double kBeaconMaxNauticalMiles = 0.5;  // gone overboard or adrift near its ship
constexpr std::uint32_t kDefaultMid = 211;
constexpr int kMidLow = 201;
constexpr int kMidHigh = 775;
constexpr int kTriesPerMid = 64;
constexpr int kEpfdGps = 1;
constexpr int kEpfdSurveyed = 7;
constexpr int kNavStatusUndefined = 15;

// Aids to navigation by ITU-R M.1371 type, with the name they get (a number follows; the
// longer names run into message 21's name extension).
struct AtonRow {
    int type;
    const char* name;
    int dimMetres;  // to each side
};
constexpr AtonRow kAtonRows[] = {
    {1, "REFERENCE POINT", 0},         {3, "OFFSHORE PLATFORM", 30},     {5, "LIGHT", 2},
    {20, "NORTH CARDINAL BUOY", 1},    {22, "SOUTH CARDINAL BUOY", 1},   {24, "PORT HAND BUOY", 1},
    {25, "STARBOARD HAND BUOY", 1},    {28, "ISOLATED DANGER MARK", 1},  {29, "SAFE WATER MARK", 1},
    {30, "SPECIAL MARK", 1},           {31, "LIGHT VESSEL", 20},
};
constexpr int kFirstFloatingType = 20;  // types 20-31 float and can drift off position
constexpr unsigned kVirtualOneIn = 6;
constexpr unsigned kOffPositionOneIn = 10;

// MMSI prefixes: the digits before the MID and how many digits follow it.
struct MmsiForm {
    std::uint32_t lead;   // 99 for 99MIDxxxx, 111 for 111MIDxxx, 0 for 00MIDxxxx
    std::uint32_t scale;  // 10^(digits after the MID)
};
constexpr MmsiForm kBaseForm{0, 10000};
constexpr MmsiForm kAtonForm{99, 10000};
constexpr MmsiForm kSarForm{111, 1000};
constexpr std::uint32_t kMidScale = 1000;

// Beacons: 97Nxxyyyy, N = 0 (SART), 2 (MOB), 4 (EPIRB).
struct BeaconRow {
    StationKind kind;
    std::uint32_t prefix;
};
constexpr BeaconRow kBeaconRows[] = {{StationKind::Sart, 970}, {StationKind::Mob, 972}, {StationKind::Epirb, 974}};
constexpr std::uint32_t kBeaconSerials = 1000000;  // xxyyyy

class Draw {
public:
    explicit Draw(std::uint32_t seed) : m_generator(seed ^ kSeedSalt) {}
    double Uniform(double low, double high) { return low + (high - low) * (m_generator() / 4294967296.0); }
    std::uint32_t Index(std::uint32_t count) { return m_generator() % count; }

private:
    std::mt19937 m_generator;
};

struct Spot {
    double lat;
    double lon;
    std::uint32_t mid;
};

class Placer {
public:
    Placer(const Fleet& fleet, const FleetArea& area) : m_area(area)
    {
        for (const FleetVessel& v : fleet.vessels)
            if (v.kind == 0) m_vessels.push_back({v.latitude, v.longitude, MidOf(v.mmsi)});
    }

    Spot InArea(Draw& draw) const
    {
        const double east = m_area.east < m_area.west ? m_area.east + 360 : m_area.east;
        Spot s{draw.Uniform(m_area.south, m_area.north), draw.Uniform(m_area.west, east), kDefaultMid};
        if (s.lon >= 180) s.lon -= 360;
        if (!m_vessels.empty()) s.mid = m_vessels[draw.Index(static_cast<std::uint32_t>(m_vessels.size()))].mid;
        return s;
    }

    // Within `maxNm` of a vessel, or in the area when there is none.
    Spot NearVessel(Draw& draw, double maxNm) const
    {
        if (m_vessels.empty()) return InArea(draw);
        Spot s = m_vessels[draw.Index(static_cast<std::uint32_t>(m_vessels.size()))];
        const double bearing = draw.Uniform(0.0, 2 * std::numbers::pi);
        const double distanceNm = draw.Uniform(0.05, maxNm);
        s.lat = std::clamp(s.lat + distanceNm * std::cos(bearing) / kMinutesPerDegree, -89.9, 89.9);
        const double cosLat = std::max(std::cos(s.lat * std::numbers::pi / 180.0), 0.01);
        s.lon += distanceNm * std::sin(bearing) / (kMinutesPerDegree * cosLat);
        if (s.lon >= 180) s.lon -= 360;
        if (s.lon < -180) s.lon += 360;
        return s;
    }

private:
    static std::uint32_t MidOf(std::uint32_t mmsi)
    {
        const std::uint32_t mid = mmsi / 1000000;
        return mid >= static_cast<std::uint32_t>(kMidLow) && mid <= static_cast<std::uint32_t>(kMidHigh) ? mid : kDefaultMid;
    }

    FleetArea m_area;
    std::vector<Spot> m_vessels;
};

std::uint32_t UniqueMmsi(const MmsiForm& form, std::uint32_t mid, Draw& draw, std::unordered_set<std::uint32_t>& used)
{
    for (;;) {
        for (int i = 0; i < kTriesPerMid; ++i) {
            const std::uint32_t candidate = (form.lead * kMidScale + mid) * form.scale + draw.Index(form.scale);
            if (used.insert(candidate).second) return candidate;
        }
        mid = kMidLow + draw.Index(kMidHigh - kMidLow + 1);  // a crowded MID: another one has room
    }
}

std::uint32_t UniqueBeaconMmsi(std::uint32_t prefix, Draw& draw, std::unordered_set<std::uint32_t>& used)
{
    for (;;) {
        const std::uint32_t candidate = prefix * kBeaconSerials + draw.Index(kBeaconSerials);
        if (used.insert(candidate).second) return candidate;
    }
}

FleetVessel Station(Fleet& fleet, StationKind kind, const Spot& spot, const std::string& name)
{
    FleetVessel v;
    v.kind = static_cast<std::uint8_t>(kind);
    v.latitude = spot.lat;
    v.longitude = spot.lon;
    v.messages = DefaultMessageBits(kind);
    v.navStatus = kNavStatusUndefined;
    v.name = fleet.texts.Intern(name);
    v.callSign = fleet.texts.Intern("");
    v.destination = v.callSign;
    v.safetyText = fleet.texts.Intern(SafetyTextFor("", kind, false));
    return v;
}

float RoundedKnots(Draw& draw, double low, double high)
{
    return static_cast<float>(std::round(draw.Uniform(low, high) * 10) / 10);
}

} // namespace

void AddRandomStations(Fleet& fleet, const RandomStationCounts& counts, const FleetArea& area, std::uint32_t seed,
                       bool beaconTest, std::unordered_set<std::uint32_t>& usedMmsi)
{
    Draw draw(seed);
    const Placer placer(fleet, area);
    fleet.vessels.reserve(fleet.vessels.size() + counts.atons + counts.baseStations + counts.sarAircraft + counts.beacons);

    for (std::uint32_t i = 0; i < counts.atons; ++i) {
        const AtonRow& row = kAtonRows[draw.Index(static_cast<std::uint32_t>(std::size(kAtonRows)))];
        const Spot spot = placer.NearVessel(draw, kAtonMaxNauticalMiles);
        FleetVessel v = Station(fleet, StationKind::AidToNavigation, spot,
                                std::string(row.name) + " " + std::to_string(1 + draw.Index(99)));
        v.mmsi = UniqueMmsi(kAtonForm, spot.mid, draw, usedMmsi);
        v.atonType = static_cast<std::uint8_t>(row.type);
        const bool floating = row.type >= kFirstFloatingType;
        v.atonVirtual = draw.Index(kVirtualOneIn) == 0;
        v.atonOffPosition = floating && !v.atonVirtual && draw.Index(kOffPositionOneIn) == 0;
        v.epfd = floating ? kEpfdGps : kEpfdSurveyed;
        for (std::int32_t& d : v.dims) d = row.dimMetres;
        fleet.vessels.push_back(v);
    }
    for (std::uint32_t i = 0; i < counts.baseStations; ++i) {
        const Spot spot = placer.InArea(draw);
        FleetVessel v = Station(fleet, StationKind::BaseStation, spot, "BASE STATION " + std::to_string(i + 1));
        v.mmsi = UniqueMmsi(kBaseForm, spot.mid, draw, usedMmsi);
        v.epfd = kEpfdSurveyed;
        fleet.vessels.push_back(v);
    }
    for (std::uint32_t i = 0; i < counts.sarAircraft; ++i) {
        const Spot spot = placer.InArea(draw);
        FleetVessel v = Station(fleet, StationKind::SarAircraft, spot, "SAR AIRCRAFT " + std::to_string(i + 1));
        v.mmsi = UniqueMmsi(kSarForm, spot.mid, draw, usedMmsi);
        v.speed = RoundedKnots(draw, 90.0, 150.0);
        v.course = static_cast<float>(draw.Uniform(0.0, 360.0));
        v.altitude = static_cast<std::uint16_t>(AltitudeField(static_cast<int>(draw.Uniform(150.0, 2500.0))));
        v.epfd = kEpfdGps;
        fleet.vessels.push_back(v);
    }
    for (std::uint32_t i = 0; i < counts.beacons; ++i) {
        const BeaconRow& row = kBeaconRows[i % std::size(kBeaconRows)];
        const Spot spot = placer.NearVessel(draw, kBeaconMaxNauticalMiles);
        FleetVessel v = Station(fleet, row.kind, spot, StationKindOf(row.kind).title);
        v.mmsi = UniqueBeaconMmsi(row.prefix, draw, usedMmsi);
        v.beaconTest = beaconTest;
        v.safetyText = fleet.texts.Intern(SafetyTextFor("", row.kind, beaconTest));
        v.speed = RoundedKnots(draw, 0.0, 1.5);  // drifting
        v.course = static_cast<float>(draw.Uniform(0.0, 360.0));
        v.epfd = kEpfdGps;
        fleet.vessels.push_back(v);
    }
}

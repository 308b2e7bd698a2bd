#include "emulator/fleet/RandomFleet.h"

#include "emulator/fleet/KeepToWater.h"
#include "shipdata/ShipTables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <random>
#include <sstream>

namespace {

constexpr double kBoxNauticalMiles = 15.0;
constexpr double kMinutesPerDegree = 60.0;
constexpr double kLeisureShare = 0.2;     // class B pleasure and sailing craft
constexpr double kAtBerthShare = 0.12;    // class A ships at anchor or moored
constexpr double kAtBerthMaxKnots = 2.9;  // "under 3 knots"
constexpr std::uint32_t kMmsiPerCountry = 1000000;
constexpr std::uint32_t kDefaultCountry = 211;

// Ship types by a word of the table's type text, first match; speeds in knots.
struct TypeRule {
    const char* word;
    int type;
    float minKnots;
    float maxKnots;
};
constexpr TypeRule kTypeRules[] = {
    {"TUG", 52, 2.0F, 9.0F},         {"CONTAINER", 71, 16.0F, 24.0F}, {"TANKER", 80, 8.0F, 14.5F},
    {"OIL", 80, 8.0F, 14.5F},        {"PASSENGER", 60, 12.0F, 22.0F}, {"DREDGER", 33, 2.0F, 8.0F},
    {"NAVY", 35, 8.0F, 20.0F},       {"YACHT", 69, 8.0F, 16.0F},      {"CARGO", 70, 9.0F, 17.0F},
    {"", 70, 8.0F, 15.0F},
};

struct LeisureRule {
    int type;
    float minKnots, maxKnots;
    float minLength, maxLength;
};
constexpr LeisureRule kLeisureRules[] = {
    {36, 3.0F, 8.0F, 7.0F, 25.0F},   // sailing
    {37, 4.0F, 20.0F, 6.0F, 30.0F},  // pleasure craft
};
constexpr int kNavStatusUnderWay = 0;
constexpr int kNavStatusAtAnchor = 1;
constexpr int kNavStatusMoored = 5;
constexpr int kNavStatusSailing = 8;
constexpr double kMinEtaHours = 2.0;   // voyages end hours to days ahead
constexpr double kMaxEtaHours = 96.0;
constexpr double kMinBeamMetres = 2.0;
constexpr int kSecondsPerMinute = 60;
constexpr double kMinutesPerHour = 60.0;
constexpr int kTmYearBase = 1900;

std::string Narrow(const wchar_t* text)
{
    std::string narrow;
    for (; *text != 0; ++text) narrow += static_cast<char>(*text);
    return narrow;
}

std::string Upper(std::string text)
{
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

class Draw {
public:
    explicit Draw(std::uint32_t seed) : m_generator(seed) {}
    double Uniform(double low, double high) { return low + (high - low) * (m_generator() / 4294967296.0); }
    std::size_t Index(std::size_t count) { return m_generator() % count; }

private:
    std::mt19937 m_generator;
};

const TypeRule& RuleFor(const std::string& typeText)
{
    const std::string upper = Upper(typeText);
    for (const TypeRule& rule : kTypeRules)
        if (upper.find(rule.word) != std::string::npos) return rule;
    return std::end(kTypeRules)[-1];
}

std::uint32_t Country(const std::wstring& mmsi)
{
    if (mmsi.size() != 9) return kDefaultCountry;
    return static_cast<std::uint32_t>(std::wcstoul(mmsi.substr(0, 3).c_str(), nullptr, 10));
}

std::uint32_t UniqueMmsi(std::uint32_t country, Draw& draw, std::unordered_set<std::uint32_t>& used)
{
    for (;;) {
        const auto candidate = static_cast<std::uint32_t>(country * kMmsiPerCountry + draw.Index(kMmsiPerCountry));
        if (used.insert(candidate).second) return candidate;
        // A crowded country: the next one has room.
        if (draw.Index(8) == 0) country = (country - 200) % 575 + 201;
    }
}

// Month, day, hour and minute `minutes` after `now`, in the calendar of `now`.
void SetEta(FleetVessel& v, const platform::LocalTime& now, long minutes)
{
    std::tm t{};
    t.tm_year = static_cast<int>(now.year) - kTmYearBase;
    t.tm_mon = static_cast<int>(now.month) - 1;
    t.tm_mday = static_cast<int>(now.day);
    t.tm_hour = static_cast<int>(now.hour);
    t.tm_min = static_cast<int>(now.minute);
    const std::time_t eta = timegm(&t) + static_cast<std::time_t>(minutes) * kSecondsPerMinute;
    std::tm out{};
    gmtime_r(&eta, &out);
    v.eta[0] = static_cast<std::uint8_t>(out.tm_mon + 1);
    v.eta[1] = static_cast<std::uint8_t>(out.tm_mday);
    v.eta[2] = static_cast<std::uint8_t>(out.tm_hour);
    v.eta[3] = static_cast<std::uint8_t>(out.tm_min);
}

} // namespace

geo::GeoBox BoxOf(const FleetArea& area)
{
    return {area.south, area.west, area.north, area.east};
}

std::optional<FleetArea> ParseFleetArea(const std::string& text)
{
    std::istringstream in(text);
    double v[4];
    char comma = 0;
    if (!(in >> v[0])) return std::nullopt;
    for (int i = 1; i < 4; ++i)
        if (!(in >> comma >> v[i]) || comma != ',') return std::nullopt;
    in >> std::ws;
    if (!in.eof()) return std::nullopt;
    const FleetArea area{v[0], v[1], v[2], v[3]};
    const bool real = area.south >= -90 && area.north <= 90 && area.south < area.north && std::fabs(area.west) <= 180 &&
                      std::fabs(area.east) <= 180 && area.west != area.east;
    if (!real) return std::nullopt;
    return area;
}

FleetArea AreaAround(double latDeg, double lonDeg)
{
    const double dLat = kBoxNauticalMiles / kMinutesPerDegree;
    const double cosLat = std::max(std::cos(std::clamp(latDeg, -89.0, 89.0) * std::numbers::pi / 180.0), 0.05);
    const double dLon = std::min(dLat / cosLat, 179.0);
    FleetArea area{std::max(latDeg - dLat, -90.0), lonDeg - dLon, std::min(latDeg + dLat, 90.0), lonDeg + dLon};
    if (area.west < -180) area.west += 360;
    if (area.east > 180) area.east -= 360;
    return area;
}

void AddRandomFleet(Fleet& fleet, std::uint32_t count, const FleetArea& area, std::uint32_t seed,
                    std::unordered_set<std::uint32_t>& usedMmsi)
{
    const geo::WaterPlacement water(geo::LandMask::Builtin(), BoxOf(area));
    AddRandomFleet(fleet, count, area, seed, usedMmsi, water, platform::GetLocalTime());
}

void AddRandomFleet(Fleet& fleet, std::uint32_t count, const FleetArea&, std::uint32_t seed,
                    std::unordered_set<std::uint32_t>& usedMmsi, const geo::WaterPlacement& water,
                    const platform::LocalTime& now)
{
    Draw draw(seed);
    const geo::WaterPlacement::Uniform uniform = [&draw] { return draw.Uniform(0.0, 1.0); };
    fleet.vessels.reserve(fleet.vessels.size() + count);
    usedMmsi.reserve(usedMmsi.size() + count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const ShipRecord& ship = g_ships[draw.Index(kShipCount)];
        FleetVessel v;
        v.course = static_cast<float>(draw.Uniform(0.0, 360.0));
        v.name = fleet.texts.Intern(Narrow(ship.name));
        v.callSign = fleet.texts.Intern(Narrow(ship.callSign));
        v.destination = fleet.texts.Intern(Narrow(g_ports[draw.Index(kPortCount)]));
        v.mmsi = UniqueMmsi(Country(ship.mmsi), draw, usedMmsi);

        double length = std::wcstod(ship.length, nullptr);
        double beam = std::wcstod(ship.beam, nullptr);
        if (draw.Uniform(0.0, 1.0) < kLeisureShare) {
            const LeisureRule& rule = kLeisureRules[draw.Index(std::size(kLeisureRules))];
            v.shipType = rule.type;
            v.speed = static_cast<float>(std::round(draw.Uniform(rule.minKnots, rule.maxKnots) * 10) / 10);
            v.navStatus = rule.type == 36 ? kNavStatusSailing : kNavStatusUnderWay;
            length = draw.Uniform(rule.minLength, rule.maxLength);
            beam = length / 3.2;
            v.messages = kSendMsg18 | kSendMsg24;
        } else {
            const TypeRule& rule = RuleFor(Narrow(ship.type));
            v.shipType = rule.type;
            v.imo = static_cast<std::uint32_t>(std::wcstoul(ship.imo, nullptr, 10));
            if (draw.Uniform(0.0, 1.0) < kAtBerthShare) {
                v.navStatus = draw.Index(2) == 0 ? kNavStatusAtAnchor : kNavStatusMoored;
                v.speed = static_cast<float>(std::round(draw.Uniform(0.0, kAtBerthMaxKnots) * 10) / 10);
            } else {
                v.navStatus = kNavStatusUnderWay;
                v.speed = static_cast<float>(std::round(draw.Uniform(rule.minKnots, rule.maxKnots) * 10) / 10);
            }
            v.messages = kSendMsg1 | kSendMsg5;
        }
        v.dims[0] = v.dims[1] = static_cast<int>(length) / 2;
        // Small craft too have a beam: at least a metre each side.
        const int beamMetres = static_cast<int>(std::max(beam, kMinBeamMetres));
        v.dims[2] = beamMetres / 2;
        v.dims[3] = beamMetres - beamMetres / 2;
        const bool atBerth = v.navStatus == kNavStatusAtAnchor || v.navStatus == kNavStatusMoored;
        const geo::LatLon at = atBerth ? water.DrawNearCoast(uniform) : water.Draw(uniform);
        v.latitude = at.lat;
        v.longitude = at.lon;
        SetEta(v, now, std::lround(draw.Uniform(kMinEtaHours, kMaxEtaHours) * kMinutesPerHour));
        v.steering = kKeepToWater;
        fleet.vessels.push_back(v);
    }
}

#include "emulator/stations/StationKinds.h"

#include <algorithm>

namespace {

constexpr std::uint32_t kSecondMs = 1000;
constexpr std::uint32_t kMinuteMs = 60 * kSecondMs;

// ITU-R M.1371-5, Annex 4 (long-range applications): Message 27 every 3 min.
constexpr std::uint32_t kLongRangeIntervalMs = 3 * kMinuteMs;
// Safety-related broadcasts go "as required"; asked of a station that is no beacon, this
// one repeats its text with the static data's 6 min.
constexpr std::uint32_t kSafetyOnRequestIntervalMs = 6 * kMinuteMs;
constexpr const char* kSafetyOnRequestText = "SAFETY TEST";

// MMSI rules: ITU-R M.585 (coast stations 00MIDxxxx, aids to navigation 99MIDxxxx, SAR
// aircraft 111MIDxxx, AIS-SART 970xxyyyy, MOB 972xxyyyy, EPIRB-AIS 974xxyyyy). Ship
// MMSIs are not checked: test fleets often use made-up ones.
//
// Intervals:
//  - base station 10 s, AtoN 3 min, SAR aircraft 10 s: ITU-R M.1371-5, Annex 1, § 4
//    (reporting schedule), Table 2 (equipment other than Class A shipborne mobile equipment);
//  - distress beacons: IEC 61097-14 (AIS-SART), a burst of eight position reports once a
//    minute, on channels A and B in turn, and Message 14 every 4 min; AIS MOB devices and
//    EPIRB-AIS transmit the same way.
// Navigational status 14 (active) and 15 (test) and the Message 14 texts of the beacons:
// ITU-R M.1371-5, Annex 8, Message 1 (navigational status) and Message 14.
constexpr StationKindRow kStationKinds[] = {
    {StationKind::Vessel, "vessel", "vessel", nullptr, {0, 0}, 0, 0, 1, kSafetyOnRequestIntervalMs, true, -1, -1,
     kSafetyOnRequestText, kSafetyOnRequestText},
    {StationKind::BaseStation, "base", "base station", "00MIDxxxx", {4, 0}, 4, 10 * kSecondMs, 1,
     kSafetyOnRequestIntervalMs, false, -1, -1, kSafetyOnRequestText, kSafetyOnRequestText},
    {StationKind::AidToNavigation, "aton", "aid to navigation", "99MIDxxxx", {21, 0}, 21, 3 * kMinuteMs, 1,
     kSafetyOnRequestIntervalMs, false, -1, -1, kSafetyOnRequestText, kSafetyOnRequestText},
    {StationKind::SarAircraft, "sar-aircraft", "SAR aircraft", "111MIDxxx", {9, 0}, 9, 10 * kSecondMs, 1,
     kSafetyOnRequestIntervalMs, true, -1, -1, kSafetyOnRequestText, kSafetyOnRequestText},
    {StationKind::Sart, "sart", "AIS-SART", "970xxyyyy", {1, 14}, 1, kMinuteMs, 8, 4 * kMinuteMs, true, 14, 15,
     "SART ACTIVE", "SART TEST"},
    {StationKind::Mob, "mob", "MOB beacon", "972xxyyyy", {1, 14}, 1, kMinuteMs, 8, 4 * kMinuteMs, true, 14, 15,
     "MOB ACTIVE", "MOB TEST"},
    {StationKind::Epirb, "epirb", "EPIRB-AIS", "974xxyyyy", {1, 14}, 1, kMinuteMs, 8, 4 * kMinuteMs, true, 14, 15,
     "EPIRB ACTIVE", "EPIRB TEST"},
};
static_assert(std::size(kStationKinds) == kStationKindCount);

constexpr bool RowsInKindOrder()
{
    for (std::size_t i = 0; i < std::size(kStationKinds); ++i)
        if (static_cast<std::size_t>(kStationKinds[i].kind) != i) return false;
    return true;
}
static_assert(RowsInKindOrder(), "StationKindOf indexes the table by kind");

// Message 4, 9 and 21 asked of a station of another kind keep their own kind's interval.
struct MessageInterval {
    int message;
    StationKind ownKind;
};
constexpr MessageInterval kOwnKinds[] = {
    {4, StationKind::BaseStation},
    {9, StationKind::SarAircraft},
    {21, StationKind::AidToNavigation},
};

constexpr unsigned kMmsiDigits = 9;

} // namespace

const StationKindRow& StationKindOf(StationKind kind)
{
    const auto index = static_cast<std::size_t>(kind);
    return kStationKinds[index < std::size(kStationKinds) ? index : 0];
}

std::optional<StationKind> ParseStationKind(std::string_view word)
{
    for (const StationKindRow& row : kStationKinds)
        if (word == row.name) return row.kind;
    return std::nullopt;
}

std::string StationKindNames()
{
    std::string names;
    for (const StationKindRow& row : kStationKinds) names += (names.empty() ? "" : "|") + std::string(row.name);
    return names;
}

bool MmsiFitsKind(std::uint32_t mmsi, StationKind kind)
{
    const char* pattern = StationKindOf(kind).mmsiPattern;
    if (pattern == nullptr) return true;
    std::string digits = std::to_string(mmsi);
    if (digits.size() > kMmsiDigits) return false;
    digits.insert(0, kMmsiDigits - digits.size(), '0');
    for (unsigned i = 0; i < kMmsiDigits; ++i) {
        const char p = pattern[i];
        if (p >= '0' && p <= '9' && digits[i] != p) return false;
        if (p == 'M' && (digits[i] < '2' || digits[i] > '7')) return false;
    }
    return true;
}

bool IsDistressBeacon(StationKind kind)
{
    return StationKindOf(kind).burstReports > 1;
}

std::uint32_t LongRangeIntervalMs()
{
    return kLongRangeIntervalMs;
}

std::uint32_t StationMessageIntervalMs(StationKind kind, int message)
{
    const StationKindRow& row = StationKindOf(kind);
    if (message == 27) return kLongRangeIntervalMs;
    if (message == 14) return row.safetyIntervalMs;
    if (message == row.positionMessage) return row.positionIntervalMs;
    const auto own = std::find_if(std::begin(kOwnKinds), std::end(kOwnKinds),
                                  [message](const MessageInterval& m) { return m.message == message; });
    return own == std::end(kOwnKinds) ? 0 : StationKindOf(own->ownKind).positionIntervalMs;
}

const char* DefaultSafetyText(StationKind kind, bool testMode)
{
    const StationKindRow& row = StationKindOf(kind);
    return testMode ? row.testText : row.activeText;
}

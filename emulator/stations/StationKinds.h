#pragma once

// What each kind of AIS station is: its MMSI rule, the messages it sends unasked, how
// often, and what a distress beacon puts into its reports. One row per kind; the engine
// reads the rows, it holds no rules of its own.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class StationKind : std::uint8_t { Vessel, BaseStation, AidToNavigation, SarAircraft, Sart, Mob, Epirb };
inline constexpr std::size_t kStationKindCount = 7;

struct StationKindRow {
    StationKind kind;
    const char* name;         // the word of --station-kind and of the CSV column
    const char* title;        // in messages: "base station"
    const char* mmsiPattern;  // nine digits: '0'-'9' fixed, 'M' a MID's first digit (2-7), other letters any digit; null: not checked
    std::array<std::uint8_t, 2> defaultMessages;  // message numbers sent without switches, 0 = none
    std::uint8_t positionMessage;                 // the report the interval below is for, 0 = the vessel's rules
    std::uint32_t positionIntervalMs;
    std::uint8_t burstReports;         // position reports a transmission (distress beacons send bursts)
    std::uint32_t safetyIntervalMs;    // message 14
    bool moves;                        // base stations and aids to navigation stay where they are
    std::int8_t activeNavStatus;       // -1: the station's own status
    std::int8_t testNavStatus;
    const char* activeText;            // message 14 text
    const char* testText;
};

const StationKindRow& StationKindOf(StationKind kind);
std::optional<StationKind> ParseStationKind(std::string_view word);

// "vessel|base|aton|sar-aircraft|sart|mob|epirb", for messages that list the choices.
std::string StationKindNames();

// True when the kind has no MMSI rule or the MMSI follows it.
bool MmsiFitsKind(std::uint32_t mmsi, StationKind kind);

bool IsDistressBeacon(StationKind kind);

// Long-range broadcast (message 27), for every kind that is asked for it.
std::uint32_t LongRangeIntervalMs();

// The interval of message 4, 9, 21, 14 or 27 for a station of the kind; 0 for messages
// that follow the vessel's rules.
std::uint32_t StationMessageIntervalMs(StationKind kind, int message);

// The message 14 text a station sends when none is given: a beacon's ACTIVE or TEST text.
const char* DefaultSafetyText(StationKind kind, bool testMode);

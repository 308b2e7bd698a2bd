#pragma once

// Decoded AIS messages and own-ship sentences, one plain struct per kind, with values in
// natural units (degrees, knots, metres). A value the sender marked "not available", or
// one outside its field's range, is an empty optional; a few raw fields keep the AIS
// sentinel, named below. Field layouts: ITU-R M.1371-5, Annex 8, section 3.

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

// Raw sentinels kept as they are sent.
constexpr std::uint8_t kAisNavStatusNotDefined = 15;
constexpr std::int8_t kAisRateOfTurnNotAvailable = -128;
constexpr std::uint8_t kAisSecondNotAvailable = 60;  // 61 manual, 62 dead reckoning, 63 inoperative
constexpr std::uint8_t kAisShipTypeNotAvailable = 0;
constexpr std::uint8_t kAisEpfdUndefined = 0;

// Shared head of every AIS message.
struct AisHeader {
    std::uint8_t type = 0;    // message ID
    std::uint8_t repeat = 0;  // repeat indicator, 0..3
    std::uint32_t mmsi = 0;   // user ID, 30 bits
    bool ownShip = false;     // came in a VDO sentence: the receiver's own station
    char channel = 0;         // radio channel letter of the sentence, 0 when empty
};

// Date and time as AIS sends it; each part has its own "not available" value.
struct AisDateTime {
    std::uint16_t year = 0;    // 0 = not available
    std::uint8_t month = 0;    // 0 = not available
    std::uint8_t day = 0;      // 0 = not available
    std::uint8_t hour = 24;    // 24 = not available
    std::uint8_t minute = 60;  // 60 = not available
    std::uint8_t second = 60;  // 60 = not available
};

// Bow, stern, port and starboard distances from the reference point, metres; 0 = unknown.
struct AisDimensions {
    std::uint16_t toBowM = 0;  // 511 = 511 m or more
    std::uint16_t toSternM = 0;
    std::uint8_t toPortM = 0;  // 63 = 63 m or more
    std::uint8_t toStarboardM = 0;
};

struct AisPosition {
    bool accurate = false;                  // position accuracy flag: better than 10 m
    std::optional<double> latitudeDeg;      // north positive
    std::optional<double> longitudeDeg;     // east positive
};

// Messages 1, 2 and 3: class A position report.
struct AisPositionReportA : AisHeader {
    std::uint8_t navStatus = kAisNavStatusNotDefined;
    std::int8_t rateOfTurnRaw = kAisRateOfTurnNotAvailable;  // +-127: turning fast, no indicator
    std::optional<double> rateOfTurnDegPerMin;               // from the raw indicator, when it gives a rate
    std::optional<double> speedKnots;                        // 102.2 = 102.2 kn or more
    AisPosition position;
    std::optional<double> courseDeg;                         // over ground, true
    std::optional<std::uint16_t> headingDeg;                 // true
    std::uint8_t utcSecond = kAisSecondNotAvailable;
    std::uint8_t maneuver = 0;                               // special manoeuvre indicator
    bool raim = false;
    std::uint32_t radioStatus = 0;                           // communication state, 19 bits
};

// Message 4: base station report.
struct AisBaseStationReport : AisHeader {
    AisDateTime utc;
    AisPosition position;
    std::uint8_t epfd = kAisEpfdUndefined;
    bool longRangeControl = false;  // transmission control for long-range broadcast
    bool raim = false;
    std::uint32_t radioStatus = 0;  // 19 bits
};

// Message 5: class A static and voyage related data.
struct AisStaticVoyageData : AisHeader {
    std::uint8_t aisVersion = 0;
    std::uint32_t imo = 0;  // 0 = not available
    std::string callSign;
    std::string name;
    std::uint8_t shipType = kAisShipTypeNotAvailable;
    AisDimensions dimensions;
    std::uint8_t epfd = kAisEpfdUndefined;
    AisDateTime eta;                     // month, day, hour and minute only
    std::optional<double> draughtM;      // 25.5 = 25.5 m or more
    std::string destination;
    bool dteNotReady = false;            // data terminal not available
};

// Message 9: standard SAR aircraft position report.
struct AisSarAircraftReport : AisHeader {
    std::optional<std::uint16_t> altitudeM;  // 4094 = 4094 m or more
    std::optional<double> speedKnots;        // whole knots; 1022 = 1022 kn or more
    AisPosition position;
    std::optional<double> courseDeg;
    std::uint8_t utcSecond = kAisSecondNotAvailable;
    bool altitudeBarometric = false;         // altitude sensor: barometric, else GNSS
    bool dteNotReady = false;
    bool assigned = false;
    bool raim = false;
    std::uint32_t radioStatus = 0;           // selector flag and communication state, 20 bits
};

// Message 14: safety related broadcast.
struct AisSafetyBroadcast : AisHeader {
    std::string text;
};

// Message 18: class B position report.
struct AisPositionReportB : AisHeader {
    std::optional<double> speedKnots;
    AisPosition position;
    std::optional<double> courseDeg;
    std::optional<std::uint16_t> headingDeg;
    std::uint8_t utcSecond = kAisSecondNotAvailable;
    bool carrierSense = false;  // class B "CS" unit, else "SO" (self-organised)
    bool display = false;
    bool dsc = false;
    bool wholeBand = false;
    bool acceptsMessage22 = false;
    bool assigned = false;
    bool raim = false;
    std::uint32_t radioStatus = 0;  // selector flag and communication state, 20 bits
};

// Message 19: extended class B position report.
struct AisExtendedReportB : AisHeader {
    std::optional<double> speedKnots;
    AisPosition position;
    std::optional<double> courseDeg;
    std::optional<std::uint16_t> headingDeg;
    std::uint8_t utcSecond = kAisSecondNotAvailable;
    std::string name;
    std::uint8_t shipType = kAisShipTypeNotAvailable;
    AisDimensions dimensions;
    std::uint8_t epfd = kAisEpfdUndefined;
    bool raim = false;
    bool dteNotReady = false;
    bool assigned = false;
};

// Message 21: aid-to-navigation report. The name extension is joined to the name.
struct AisAidToNavigationReport : AisHeader {
    std::uint8_t aidType = 0;
    std::string name;
    AisPosition position;
    AisDimensions dimensions;
    std::uint8_t epfd = kAisEpfdUndefined;
    std::uint8_t utcSecond = kAisSecondNotAvailable;
    bool offPosition = false;
    std::uint8_t atonStatus = 0;
    bool raim = false;
    bool virtualAid = false;
    bool assigned = false;
};

// Message 24 part A: class B static data, the name.
struct AisStaticDataA : AisHeader {
    std::string name;
};

// Message 24 part B: class B static data, the rest.
struct AisStaticDataB : AisHeader {
    std::uint8_t shipType = kAisShipTypeNotAvailable;
    std::string vendorId;  // manufacturer's ID, three characters
    std::uint8_t unitModel = 0;
    std::uint32_t serialNumber = 0;
    std::string callSign;
    AisDimensions dimensions;                    // empty for an auxiliary craft
    std::optional<std::uint32_t> mothershipMmsi; // for an auxiliary craft (MMSI 98xxxxxxx)
    std::uint8_t epfd = kAisEpfdUndefined;
};

// Message 27: long-range position report (1/10 minute positions, whole knots and degrees).
struct AisLongRangeReport : AisHeader {
    bool raim = false;
    std::uint8_t navStatus = kAisNavStatusNotDefined;
    AisPosition position;
    std::optional<double> speedKnots;
    std::optional<double> courseDeg;
    bool positionLatency = false;  // GNSS position status: not the current one
};

// Own-ship fields from one GPS or heading sentence; what the sentence does not carry
// stays empty. The time of day is UTC, the date only where the sentence gives it.
enum class GpsSentenceKind : std::uint8_t { Rmc, Gga, Vtg, Zda, Hdt };

struct OwnShipSentence {
    GpsSentenceKind kind = GpsSentenceKind::Rmc;
    std::optional<double> latitudeDeg;
    std::optional<double> longitudeDeg;
    std::optional<double> speedKnots;
    std::optional<double> courseDeg;   // over ground, true
    std::optional<double> headingDeg;  // true
    std::optional<double> utcSecondsOfDay;
    AisDateTime utcDate;               // year, month and day; the rest stays "not available"
};

using NmeaMessage = std::variant<AisPositionReportA, AisBaseStationReport, AisStaticVoyageData,
                                 AisSarAircraftReport, AisSafetyBroadcast, AisPositionReportB,
                                 AisExtendedReportB, AisAidToNavigationReport, AisStaticDataA,
                                 AisStaticDataB, AisLongRangeReport, OwnShipSentence>;

// The AIS header of a message, or null for an own-ship sentence.
inline const AisHeader* AisHeaderOf(const NmeaMessage& message)
{
    return std::visit(
        [](const auto& m) -> const AisHeader* {
            if constexpr (std::is_base_of_v<AisHeader, std::decay_t<decltype(m)>>) return &m;
            else return nullptr;
        },
        message);
}

#pragma once

// Composers of the messages that stations other than a vessel send (ITU-R M.1371-5):
// 4 base station report, 9 SAR aircraft position report, 14 safety-related broadcast,
// 21 aid-to-navigation report, 27 long-range broadcast, and message 1 as a distress
// beacon (AIS-SART, MOB, EPIRB) sends it. Each takes the plain values of one report and
// appends whole sentences to `out`; none of them fails: values too large for a field are
// held at the field's limit or lose their high-order bits, as the vessel's composers do.

#include "platform/LocalClock.h"

#include <cstdint>
#include <string>
#include <string_view>

// How a transmission is framed.
struct SentenceFraming {
    bool checksum = true;
    bool upperCaseChecksum = false;
    bool ownShip = false;  // "!AIVDO": the station is the receiver's own
    char channel = 'A';    // radio channel, 'A' or 'B'
};

// Sequential message identifiers 0-9 of multi-sentence messages, one counter per output.
class SequentialMessageId {
public:
    unsigned Next()
    {
        const unsigned id = m_next;
        m_next = (m_next + 1) % 10;
        return id;
    }

private:
    unsigned m_next = 0;
};

// Message 4. The UTC date and time are those of the report.
struct BaseStationReport {
    std::uint32_t mmsi = 0;
    platform::LocalTime utc;
    bool accuracy = false;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    int epfd = 7;  // surveyed
    bool raim = false;
};

// Message 9.
inline constexpr int kAltitudeNotAvailable = 4095;  // message 9's altitude field
inline constexpr int kAltitudeCeilingMetres = 4094;   // sent for 4094 m or higher
struct SarAircraftReport {
    std::uint32_t mmsi = 0;
    int altitudeMetres = 0;  // below 0: not available
    float speedKnots = 0.0F; // whole knots, 1022 or more sent as 1022
    bool accuracy = false;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double courseDeg = 0.0;
    unsigned second = 60;    // UTC second of the fix; 60 not available
    bool dataTerminalReady = true;
    bool assigned = false;
    bool raim = false;
};

// Message 14. Texts longer than the message carries are cut.
inline constexpr unsigned kSafetyTextMaxChars = 161;  // 968 bits of six-bit text
struct SafetyBroadcast {
    std::uint32_t mmsi = 0;
    std::string_view text;
};

// Message 21. Names beyond 20 characters go on in the name extension, up to 34 in all.
inline constexpr unsigned kAtonNameMaxChars = 34;
struct AidToNavigationReport {
    std::uint32_t mmsi = 0;
    int atonType = 0;  // 0-31
    std::string_view name;
    bool accuracy = false;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    int dims[4] = {};  // metres to bow (A), stern (B), port (C), starboard (D)
    int epfd = 7;
    unsigned second = 60;
    bool offPosition = false;
    int atonStatus = 0;  // regional AtoN status byte
    bool raim = false;
    bool virtualAton = false;
    bool assigned = false;
};

// Message 27.
struct LongRangeReport {
    std::uint32_t mmsi = 0;
    bool accuracy = false;
    bool raim = false;
    int navStatus = 15;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    float speedKnots = 0.0F;  // whole knots, 62 or more sent as 62
    double courseDeg = 0.0;   // whole degrees
    bool gnssCurrent = true;  // the position is a current GNSS fix
};

// Message 1 of a distress beacon: navigational status 14 (active) or 15 (test), no rate
// of turn and no heading, the UTC second of its fix.
struct BeaconPositionReport {
    std::uint32_t mmsi = 0;
    int navStatus = 14;
    float speedKnots = 0.0F;
    bool accuracy = false;
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
    double courseDeg = 0.0;
    unsigned second = 60;
    bool raim = false;
};

void AppendBaseStationReport(const BaseStationReport& report, const SentenceFraming& framing, std::string& out);
void AppendSarAircraftReport(const SarAircraftReport& report, const SentenceFraming& framing, std::string& out);
void AppendSafetyBroadcast(const SafetyBroadcast& report, const SentenceFraming& framing, SequentialMessageId& ids,
                           std::string& out);
void AppendAidToNavigationReport(const AidToNavigationReport& report, const SentenceFraming& framing,
                                 SequentialMessageId& ids, std::string& out);
void AppendLongRangeReport(const LongRangeReport& report, const SentenceFraming& framing, std::string& out);
void AppendBeaconPositionReport(const BeaconPositionReport& report, const SentenceFraming& framing, std::string& out);

// The altitude field of message 9 for a height in metres.
int AltitudeField(int altitudeMetres);

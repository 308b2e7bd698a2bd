#pragma once

// The reports of a fleet station of any kind other than a plain vessel's messages: the
// values of one FleetVessel turned into the composers' plain fields.

#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/Fleet.h"
#include "emulator/stations/StationKinds.h"
#include "platform/LocalClock.h"

#include <cstdint>
#include <string>

// The FleetMessage bits of the messages a station of the kind sends without switches.
std::uint16_t DefaultMessageBits(StationKind kind);

// The FleetMessage bit of a message number; 0 for numbers the fleet does not send.
std::uint16_t MessageBit(int message);

// The message 14 text of a station: the given one, or its kind's.
std::string SafetyTextFor(const std::string& given, StationKind kind, bool beaconTest);

// What one step's station messages share.
struct StationStep {
    const TextPool& texts;
    const platform::LocalTime& utc;  // the step's UTC time
    SentenceFraming framing;         // channel set per transmission
    SequentialMessageId& ids;
};

// Appends message 4, 9, 14, 21 or 27 of the station on its next channel, which then
// changes (a station's transmissions alternate between channels A and B).
void AppendStationMessage(int message, FleetVessel& station, StationStep& step, std::string& out);

// Appends a distress beacon's burst of position reports, alternating channels.
void AppendBeaconBurst(FleetVessel& beacon, StationStep& step, std::string& out);

// The navigational status the station reports: a beacon's 14 or 15, else its own.
int ReportedNavStatus(const FleetVessel& station);

#pragma once

// The reports of a fleet station of any kind other than a plain vessel's messages: the
// values of one FleetVessel turned into the composers' plain fields.

#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/Fleet.h"
#include "platform/LocalClock.h"

#include <string>

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

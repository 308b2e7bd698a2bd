#pragma once

// A station's fields by the names of vesgen's options: one table that a fleet file's
// columns, a scenario's stations and its events all set a station through.

#include "emulator/fleet/Fleet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One station's values while its fields are set, with its texts not yet in a pool.
struct StationDraft {
    FleetVessel vessel;
    std::string name, callSign, destination, origin, safetyText;
    std::uint16_t messagesOn = 0;   // switched on or off by the fields set
    std::uint16_t messagesOff = 0;
};

// The column named `name`; nothing for a name the table does not have.
std::optional<std::size_t> StationColumnIndex(std::string_view name);
const char* StationColumnName(std::size_t column);
std::size_t StationColumnCount();

// Sets a column from its text as the command line reads it (numbers as numbers, switches
// as 1/0, true/false, yes/no, on/off); false, and the draft as it was, when the text is
// no value of the column. NaN and infinity are no values.
bool SetStationColumn(std::size_t column, const std::string& cell, StationDraft& draft);

// Copies what a column sets from one station to another; texts go by their pool index,
// so `from` must use the pool of `to`. A message switch copies every message bit, the
// kind and the beacon mode the safety text too: `from` holds their outcome.
void CopyStationColumn(std::size_t column, const FleetVessel& from, FleetVessel& to);

// The messages a draft sends: those of `before` when its kind is unchanged, else its
// kind's own, with the draft's switches applied.
std::uint16_t DraftMessages(const StationDraft& draft, const FleetVessel& before);

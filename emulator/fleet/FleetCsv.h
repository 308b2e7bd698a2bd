#pragma once

#include "emulator/fleet/Fleet.h"

#include <string>

// What a CSV row does not say: the command line's vessel.
struct VesselTemplate {
    FleetVessel vessel;
    std::string name;
    std::string callSign;
    std::string destination;
    std::string safetyText;  // empty: the station kind's text
};

// Reads a fleet file (RFC 4180: quoted fields with commas, doubled quotes and line
// breaks, CRLF or LF, an optional UTF-8 byte-order mark). The header names columns
// after vesgen's options without the dashes; each further row is one vessel. A column
// that is absent, or a cell left empty, takes the template's value. Values follow the
// command line's rules. On any fault nothing is added and `error` names the file, line
// and column.
bool ReadFleetCsv(const std::string& path, const VesselTemplate& defaults, Fleet& fleet, std::string& error);

// The same from text already read; `name` is the file name used in messages.
bool ParseFleetCsv(const std::string& text, const std::string& name, const VesselTemplate& defaults, Fleet& fleet,
                   std::string& error);

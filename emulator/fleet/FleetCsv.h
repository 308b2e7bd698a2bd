#pragma once

#include "emulator/fleet/Fleet.h"

#include <string>
#include <vector>

// What a CSV row does not say: the command line's vessel.
struct VesselTemplate {
    FleetVessel vessel;
    std::string name;
    std::string callSign;
    std::string destination;
    std::string safetyText;  // empty: the station kind's text
};

// Reads a fleet file (RFC 4180: quoted fields with commas, doubled quotes and line
// breaks, CRLF or LF, an optional UTF-8 byte-order mark): a regular file of at most
// 256 MiB. The header names columns after vesgen's options without the dashes; each
// further row is one vessel, at most kMaxFleetVessels. A column that is absent, or a
// cell left empty, takes the template's value. Values follow the command line's rules,
// but NaN and infinity are refused. On any fault nothing is added and `error` names the
// file, line and column, with the offending text cut short and made printable.
//
// `warnings` (when given) gets a line, without "Warning : ", for each value outside what
// the messages carry, for rows that share an MMSI (with each other or with a vessel
// already in the fleet), for several rows without a vessel-mmsi column, and for a file
// without rows; each kind is told for a few lines and then summed up.
bool ReadFleetCsv(const std::string& path, const VesselTemplate& defaults, Fleet& fleet, std::string& error,
                  std::vector<std::string>* warnings = nullptr);

// The same from text already read; `name` is the file name used in messages.
bool ParseFleetCsv(const std::string& text, const std::string& name, const VesselTemplate& defaults, Fleet& fleet,
                   std::string& error, std::vector<std::string>* warnings = nullptr);

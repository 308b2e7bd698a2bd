#pragma once

// One station's fields by the names vesgen's options and the fleet CSV's columns use.
// A scenario starts every station from the command line's values (a defaults record)
// and overwrites the fields its file gives.

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct StationFields {
    std::string vesselName = "SHIP NAME";
    std::string vesselCall = "KVLSIM";
    std::uint32_t vesselMmsi = 338272001;
    std::uint32_t vesselImo = 123456;
    int vesselType = 99;        // ship and cargo type
    int vesselDimA = 12;        // metres to bow
    int vesselDimB = 12;        // metres to stern
    int vesselDimC = 6;         // metres to port
    int vesselDimD = 6;         // metres to starboard
    int vesselPosDevice = 1;    // EPFD type
    int vesselStatus = 0;       // navigational status
    bool vesselAccuracy = true; // position accuracy high
    double vesselLat = 0.0;     // degrees, north positive
    double vesselLon = 0.0;     // degrees, east positive
    double vesselSog = 0.0;     // knots
    double vesselCog = 0.0;     // degrees
    double vesselRot = 0.0;     // degrees per minute, starboard positive
    std::string portDest = "PHILADELPHIA";
    std::string portOrigin = "NEW-YORK";
    bool nmeaDoMsg1 = false;
    bool nmeaDoMsg5 = false;
    bool nmeaDoMsg18 = false;
    bool nmeaDoMsg19 = false;
    bool nmeaDoMsg24 = false;
};

// Which of the known fields a file gave: bit i is row i of StationFieldNames().
using FieldMask = std::uint32_t;

// The known fields in table order; FieldBit("vessel-sog") is the mask bit of one.
const std::vector<std::string>& StationFieldNames();
FieldMask FieldBit(const std::string& name);

// A field this room does not know itself (station kinds, beacon modes, ...), registered
// by the room that does: its name and a check of its JSON value, which returns the
// reason when the value is not acceptable.
struct ExtraField {
    std::string name;
    std::function<std::optional<std::string>(const nlohmann::json&)> check;
};

// Fields set on a station: the known ones as values plus the mask of those given, and
// the registered extra fields as JSON values by name.
struct StationPatch {
    StationFields values;
    FieldMask given = 0;
    std::map<std::string, nlohmann::json> extra;
};

// Copies the given fields of `patch` onto `fields` (extras are the caller's business).
void ApplyPatch(const StationPatch& patch, StationFields& fields);

// Sets the known field `name` from a JSON value, checking its type and range. Returns
// the reason on a fault ("must be a number", "95 is out of range (-90 to 90)"), nothing
// when set; false in `known` when the name is not a known field.
std::optional<std::string> SetStationField(const std::string& name, const nlohmann::json& value,
                                           StationFields& fields, bool& known);

// The value of the known field `name` as the command line writes it (numbers in full
// precision, switches as 1 or 0); empty for a name that is not a known field.
std::string StationFieldText(const StationFields& fields, const std::string& name);

// The range of a numeric known field, for messages and for the schema test.
struct FieldRange {
    double min;
    double max;
};
std::optional<FieldRange> StationFieldRange(const std::string& name);

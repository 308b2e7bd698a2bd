#include "emulator/fleet/FleetCsv.h"

#include "emulator/encoding/PrintableText.h"
#include "emulator/fleet/CsvText.h"
#include "emulator/fleet/FleetCsvNotes.h"
#include "emulator/fleet/VesselRanges.h"
#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"

#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

// One vessel's texts while its row is read; interned once the row is whole.
struct RowVessel {
    FleetVessel vessel;
    std::string name, callSign, destination, origin, safetyText;
    std::uint16_t messagesOn = 0;   // switched on or off by the row's own cells
    std::uint16_t messagesOff = 0;
};

using Apply = bool (*)(const std::string& cell, RowVessel& row);

// Numbers as the command line takes them: the whole text one number of the type, and
// no minus sign for an unsigned one.
// A file, unlike the command line, takes no NaN or infinity: no message can carry them.
template <class T>
std::optional<T> Number(const std::string& cell)
{
    if constexpr (std::is_unsigned_v<T>) {
        if (cell.find('-') != std::string::npos) return std::nullopt;
    }
    try {
        const T value = boost::lexical_cast<T>(cell);
        if constexpr (std::is_floating_point_v<T>) {
            if (!std::isfinite(value)) return std::nullopt;
        }
        return value;
    } catch (const boost::bad_lexical_cast&) {
        return std::nullopt;
    }
}

// Switches take the words the command line takes.
std::optional<bool> Switch(const std::string& cell)
{
    std::string word = cell;
    for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* yes : {"1", "true", "yes", "on"})
        if (word == yes) return true;
    for (const char* no : {"0", "false", "no", "off"})
        if (word == no) return false;
    return std::nullopt;
}

template <class T, auto Field>
bool SetNumber(const std::string& cell, RowVessel& row)
{
    const std::optional<T> value = Number<T>(cell);
    if (value) row.vessel.*Field = *value;
    return value.has_value();
}

template <int Index>
bool SetDimension(const std::string& cell, RowVessel& row)
{
    const std::optional<int> value = Number<int>(cell);
    if (value) row.vessel.dims[Index] = *value;
    return value.has_value();
}

template <std::uint16_t Bit>
bool SetMessage(const std::string& cell, RowVessel& row)
{
    const std::optional<bool> on = Switch(cell);
    if (on) (*on ? row.messagesOn : row.messagesOff) |= Bit;
    return on.has_value();
}

bool SetKind(const std::string& cell, RowVessel& row)
{
    const std::optional<StationKind> kind = ParseStationKind(cell);
    if (kind) row.vessel.kind = static_cast<std::uint8_t>(*kind);
    return kind.has_value();
}

bool SetAtonType(const std::string& cell, RowVessel& row)
{
    constexpr int kAtonTypes = 32;
    const std::optional<int> type = Number<int>(cell);
    if (!type || *type < 0 || *type >= kAtonTypes) return false;
    row.vessel.atonType = static_cast<std::uint8_t>(*type);
    return true;
}

template <bool Virtual>
bool SetAtonFlag(const std::string& cell, RowVessel& row)
{
    const std::optional<bool> on = Switch(cell);
    if (!on) return false;
    if constexpr (Virtual) {
        row.vessel.atonVirtual = *on;
    } else {
        row.vessel.atonOffPosition = *on;
    }
    return true;
}

bool SetAltitude(const std::string& cell, RowVessel& row)
{
    const std::optional<int> metres = Number<int>(cell);
    if (metres) row.vessel.altitude = static_cast<std::uint16_t>(AltitudeField(*metres));
    return metres.has_value();
}

bool SetBeaconMode(const std::string& cell, RowVessel& row)
{
    if (cell != "active" && cell != "test") return false;
    row.vessel.beaconTest = cell == "test";
    return true;
}

bool SetAccuracy(const std::string& cell, RowVessel& row)
{
    const std::optional<bool> on = Switch(cell);
    if (on) row.vessel.accuracy = *on;
    return on.has_value();
}

template <std::string RowVessel::*Field>
bool SetText(const std::string& cell, RowVessel& row)
{
    row.*Field = cell;
    return true;
}

struct Column {
    const char* name;
    Apply apply;
};
using V = FleetVessel;
const Column kColumns[] = {
    {"vessel-name", SetText<&RowVessel::name>},
    {"vessel-call", SetText<&RowVessel::callSign>},
    {"vessel-mmsi", SetNumber<std::uint32_t, &V::mmsi>},
    {"vessel-imo", SetNumber<std::uint32_t, &V::imo>},
    {"vessel-type", SetNumber<int, &V::shipType>},
    {"vessel-dima", SetDimension<0>},
    {"vessel-dimb", SetDimension<1>},
    {"vessel-dimc", SetDimension<2>},
    {"vessel-dimd", SetDimension<3>},
    {"vessel-postdevice", SetNumber<int, &V::epfd>},
    {"vessel-status", SetNumber<int, &V::navStatus>},
    {"vessel-accuracy", SetAccuracy},
    {"vessel-lat", SetNumber<double, &V::latitude>},
    {"vessel-lon", SetNumber<double, &V::longitude>},
    {"vessel-sog", SetNumber<float, &V::speed>},
    {"vessel-cog", SetNumber<float, &V::course>},
    {"vessel-rot", SetNumber<float, &V::rateOfTurn>},
    {"port-dest", SetText<&RowVessel::destination>},
    {"port-origin", SetText<&RowVessel::origin>},
    {"nmea-domsg1", SetMessage<kSendMsg1>},
    {"nmea-domsg5", SetMessage<kSendMsg5>},
    {"nmea-domsg18", SetMessage<kSendMsg18>},
    {"nmea-domsg19", SetMessage<kSendMsg19>},
    {"nmea-domsg24", SetMessage<kSendMsg24>},
    // Stations of other kinds.
    {"station-kind", SetKind},
    {"nmea-domsg4", SetMessage<kSendMsg4>},
    {"nmea-domsg9", SetMessage<kSendMsg9>},
    {"nmea-domsg14", SetMessage<kSendMsg14>},
    {"nmea-domsg21", SetMessage<kSendMsg21>},
    {"nmea-domsg27", SetMessage<kSendMsg27>},
    {"aton-type", SetAtonType},
    {"aton-virtual", SetAtonFlag<true>},
    {"aton-off-position", SetAtonFlag<false>},
    {"sar-altitude", SetAltitude},
    {"beacon-mode", SetBeaconMode},
    {"safety-text", SetText<&RowVessel::safetyText>},
};

} // namespace

bool ParseFleetCsv(const std::string& text, const std::string& name, const VesselTemplate& defaults, Fleet& fleet,
                   std::string& error, std::vector<std::string>* warnings)
{
    const std::string shownName = PrintableText(name);
    std::string_view body(text);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    CsvRecordReader reader(body);
    const auto quoteFault = [&] {
        error = shownName + " line " + std::to_string(reader.BadLine()) + ": a quoted field is not closed properly";
        return false;
    };
    std::vector<CsvField> header;
    if (!reader.Next(header)) {
        if (reader.BadLine() != 0) return quoteFault();
        error = shownName + " line 1: the header row naming the columns is missing";
        return false;
    }
    if (header.size() == 1 && header.front().text.empty()) {
        error = shownName + " line 1: the header row naming the columns is missing";
        return false;
    }
    const auto where = [&](const CsvField& field, std::size_t c) {
        return shownName + " line " + std::to_string(field.line) + ", column " + std::to_string(c + 1);
    };
    std::vector<Apply> appliers;
    std::vector<const ValueRange*> ranges;
    bool hasMmsi = false;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& title = header[c].text;
        const auto column = std::find_if(std::begin(kColumns), std::end(kColumns),
                                         [&](const Column& k) { return title == k.name; });
        if (column == std::end(kColumns)) {
            error = where(header[c], c) + ": unknown column \"" + PrintableExcerpt(title) + "\"";
            return false;
        }
        for (std::size_t earlier = 0; earlier < c; ++earlier)
            if (header[earlier].text == title) {
                error = where(header[c], c) + ": column \"" + title + "\" appears twice";
                return false;
            }
        appliers.push_back(column->apply);
        ranges.push_back(RangeOfColumn(title));
        hasMmsi = hasMmsi || title == "vessel-mmsi";
    }

    FleetCsvNotes notes(shownName, warnings);
    // Rows land here first, with their own texts, so that a fault adds nothing.
    Fleet rows;
    std::vector<CsvField> record;
    RowVessel row;
    while (reader.Next(record)) {
        if (record.size() == 1 && record.front().text.empty()) continue;
        if (record.size() != header.size()) {
            error = shownName + " line " + std::to_string(record.front().line) + ": " + std::to_string(record.size()) +
                    " fields where the header names " + std::to_string(header.size());
            return false;
        }
        if (rows.vessels.size() >= kMaxFleetVessels) {
            error = shownName + " line " + std::to_string(record.front().line) + ": more than " +
                    std::to_string(kMaxFleetVessels) + " vessels, the most a run takes";
            return false;
        }
        row = RowVessel{defaults.vessel, defaults.name, defaults.callSign, defaults.destination, {}, defaults.safetyText};
        for (std::size_t c = 0; c < record.size(); ++c) {
            const std::string& cell = record[c].text;
            if (cell.empty()) continue;  // the command line's value
            if (!appliers[c](cell, row)) {
                error = where(record[c], c) + " (" + header[c].text + "): \"" + PrintableExcerpt(cell) +
                        "\" is not a valid value";
                return false;
            }
            if (ranges[c] != nullptr && !InRange(*ranges[c], boost::lexical_cast<double>(cell)))
                notes.OutOfRange(where(record[c], c) + " (" + header[c].text + "): " + PrintableExcerpt(cell) +
                                 " is " + OutOfRangeText(*ranges[c]));
        }
        // A row of another kind than the command line's starts from its kind's messages.
        const std::uint16_t base = row.vessel.kind == defaults.vessel.kind
            ? defaults.vessel.messages
            : DefaultMessageBits(static_cast<StationKind>(row.vessel.kind));
        row.vessel.messages = static_cast<std::uint16_t>((base | row.messagesOn) & ~row.messagesOff);
        row.vessel.name = rows.texts.Intern(row.name);
        row.vessel.callSign = rows.texts.Intern(row.callSign);
        row.vessel.destination = rows.texts.Intern(row.destination);
        row.vessel.safetyText = rows.texts.Intern(
            SafetyTextFor(row.safetyText, static_cast<StationKind>(row.vessel.kind), row.vessel.beaconTest));
        rows.vessels.push_back(row.vessel);
        notes.Row(record.front().line, row.vessel.mmsi);
    }
    if (reader.BadLine() != 0) return quoteFault();

    notes.Finish(hasMmsi, defaults.vessel.mmsi, fleet.vessels);
    // The rows' texts move to the fleet's pool, each distinct one once.
    std::vector<std::uint32_t> moved(rows.texts.Size());
    for (std::size_t i = 0; i < moved.size(); ++i) moved[i] = fleet.texts.Intern(rows.texts.Text(static_cast<std::uint32_t>(i)));
    fleet.vessels.reserve(fleet.vessels.size() + rows.vessels.size());
    for (FleetVessel& v : rows.vessels) {
        v.name = moved[v.name];
        v.callSign = moved[v.callSign];
        v.destination = moved[v.destination];
        v.safetyText = moved[v.safetyText];
        fleet.vessels.push_back(v);
    }
    return true;
}

bool ReadFleetCsv(const std::string& path, const VesselTemplate& defaults, Fleet& fleet, std::string& error,
                  std::vector<std::string>* warnings)
{
    std::string text;
    if (!ReadFleetFile(path, text, error)) return false;
    return ParseFleetCsv(text, path, defaults, fleet, error, warnings);
}

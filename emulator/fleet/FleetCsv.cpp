#include "emulator/fleet/FleetCsv.h"

#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"

#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <optional>
#include <sstream>
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
template <class T>
std::optional<T> Number(const std::string& cell)
{
    if constexpr (std::is_unsigned_v<T>) {
        if (cell.find('-') != std::string::npos) return std::nullopt;
    }
    try {
        return boost::lexical_cast<T>(cell);
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

struct Field {
    std::string text;
    std::size_t line;  // where the field starts
};

// Splits RFC 4180 text into records of fields. False with `badLine` set on a quote
// that never closes or text after a closing quote.
bool SplitRecords(std::string_view text, std::vector<std::vector<Field>>& records, std::size_t& badLine)
{
    std::size_t line = 1;
    std::size_t i = 0;
    std::vector<Field> record;
    while (i < text.size()) {
        Field field{{}, line};
        if (text[i] == '"') {
            const std::size_t opened = line;
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    badLine = opened;
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field.text += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++line;
                field.text += text[i++];
            }
            if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                badLine = line;
                return false;
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') field.text += text[i++];
        }
        record.push_back(std::move(field));
        if (i < text.size() && text[i] == ',') {
            ++i;
            if (i == text.size()) record.push_back({{}, line});
            continue;
        }
        if (i < text.size() && text[i] == '\r') ++i;
        if (i < text.size() && text[i] == '\n') ++i;
        ++line;
        records.push_back(std::move(record));
        record.clear();
    }
    if (!record.empty()) records.push_back(std::move(record));
    return true;
}

bool BlankRecord(const std::vector<Field>& record)
{
    return record.size() == 1 && record.front().text.empty();
}

} // namespace

bool ParseFleetCsv(const std::string& text, const std::string& name, const VesselTemplate& defaults, Fleet& fleet,
                   std::string& error)
{
    std::string_view body(text);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    std::vector<std::vector<Field>> records;
    std::size_t badLine = 0;
    if (!SplitRecords(body, records, badLine)) {
        error = name + " line " + std::to_string(badLine) + ": a quoted field is not closed properly";
        return false;
    }
    if (records.empty() || BlankRecord(records.front())) {
        error = name + " line 1: the header row naming the columns is missing";
        return false;
    }
    const std::vector<Field>& header = records.front();
    std::vector<Apply> appliers;
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string& title = header[c].text;
        const auto column = std::find_if(std::begin(kColumns), std::end(kColumns),
                                         [&](const Column& k) { return title == k.name; });
        if (column == std::end(kColumns)) {
            error = name + " line " + std::to_string(header[c].line) + ", column " + std::to_string(c + 1) +
                    ": unknown column \"" + title + "\"";
            return false;
        }
        for (std::size_t earlier = 0; earlier < c; ++earlier)
            if (header[earlier].text == title) {
                error = name + " line " + std::to_string(header[c].line) + ", column " + std::to_string(c + 1) +
                        ": column \"" + title + "\" appears twice";
                return false;
            }
        appliers.push_back(column->apply);
    }

    std::vector<RowVessel> rows;
    rows.reserve(records.size() - 1);
    for (std::size_t r = 1; r < records.size(); ++r) {
        const std::vector<Field>& record = records[r];
        if (BlankRecord(record)) continue;
        if (record.size() != header.size()) {
            error = name + " line " + std::to_string(record.front().line) + ": " + std::to_string(record.size()) +
                    " fields where the header names " + std::to_string(header.size());
            return false;
        }
        RowVessel row{defaults.vessel, defaults.name, defaults.callSign, defaults.destination, {}, defaults.safetyText};
        for (std::size_t c = 0; c < record.size(); ++c) {
            if (record[c].text.empty()) continue;  // the command line's value
            if (!appliers[c](record[c].text, row)) {
                error = name + " line " + std::to_string(record[c].line) + ", column " + std::to_string(c + 1) + " (" +
                        header[c].text + "): \"" + record[c].text + "\" is not a valid value";
                return false;
            }
        }
        // A row of another kind than the command line's starts from its kind's messages.
        const std::uint16_t base = row.vessel.kind == defaults.vessel.kind
            ? defaults.vessel.messages
            : DefaultMessageBits(static_cast<StationKind>(row.vessel.kind));
        row.vessel.messages = static_cast<std::uint16_t>((base | row.messagesOn) & ~row.messagesOff);
        rows.push_back(std::move(row));
    }
    for (RowVessel& row : rows) {
        row.vessel.name = fleet.texts.Intern(row.name);
        row.vessel.callSign = fleet.texts.Intern(row.callSign);
        row.vessel.destination = fleet.texts.Intern(row.destination);
        row.vessel.safetyText = fleet.texts.Intern(
            SafetyTextFor(row.safetyText, static_cast<StationKind>(row.vessel.kind), row.vessel.beaconTest));
        fleet.vessels.push_back(row.vessel);
    }
    return true;
}

bool ReadFleetCsv(const std::string& path, const VesselTemplate& defaults, Fleet& fleet, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = path + ": read error";
        return false;
    }
    return ParseFleetCsv(text.str(), path, defaults, fleet, error);
}

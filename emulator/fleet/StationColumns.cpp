#include "emulator/fleet/StationColumns.h"

#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"

#include <boost/lexical_cast.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <iterator>
#include <type_traits>

namespace {

using Apply = bool (*)(const std::string& cell, StationDraft& draft);
using Copy = void (*)(const FleetVessel& from, FleetVessel& to);
using V = FleetVessel;

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
bool SetNumber(const std::string& cell, StationDraft& draft)
{
    const std::optional<T> value = Number<T>(cell);
    if (value) draft.vessel.*Field = *value;
    return value.has_value();
}

template <auto Field>
void CopyField(const V& from, V& to)
{
    to.*Field = from.*Field;
}

template <int Index>
bool SetDimension(const std::string& cell, StationDraft& draft)
{
    const std::optional<int> value = Number<int>(cell);
    if (value) draft.vessel.dims[Index] = *value;
    return value.has_value();
}

template <int Index>
void CopyDimension(const V& from, V& to)
{
    to.dims[Index] = from.dims[Index];
}

template <std::uint16_t Bit>
bool SetMessage(const std::string& cell, StationDraft& draft)
{
    const std::optional<bool> on = Switch(cell);
    if (on) (*on ? draft.messagesOn : draft.messagesOff) |= Bit;
    return on.has_value();
}

bool SetKind(const std::string& cell, StationDraft& draft)
{
    const std::optional<StationKind> kind = ParseStationKind(cell);
    if (kind) draft.vessel.kind = static_cast<std::uint8_t>(*kind);
    return kind.has_value();
}

bool SetAtonType(const std::string& cell, StationDraft& draft)
{
    constexpr int kAtonTypes = 32;
    const std::optional<int> type = Number<int>(cell);
    if (!type || *type < 0 || *type >= kAtonTypes) return false;
    draft.vessel.atonType = static_cast<std::uint8_t>(*type);
    return true;
}

template <bool Virtual>
bool SetAtonFlag(const std::string& cell, StationDraft& draft)
{
    const std::optional<bool> on = Switch(cell);
    if (!on) return false;
    if constexpr (Virtual) {
        draft.vessel.atonVirtual = *on;
    } else {
        draft.vessel.atonOffPosition = *on;
    }
    return true;
}

bool SetAltitude(const std::string& cell, StationDraft& draft)
{
    const std::optional<int> metres = Number<int>(cell);
    if (metres) draft.vessel.altitude = static_cast<std::uint16_t>(AltitudeField(*metres));
    return metres.has_value();
}

bool SetBeaconMode(const std::string& cell, StationDraft& draft)
{
    if (cell != "active" && cell != "test") return false;
    draft.vessel.beaconTest = cell == "test";
    return true;
}

bool SetAccuracy(const std::string& cell, StationDraft& draft)
{
    const std::optional<bool> on = Switch(cell);
    if (on) draft.vessel.accuracy = *on;
    return on.has_value();
}

template <std::string StationDraft::*Field>
bool SetText(const std::string& cell, StationDraft& draft)
{
    draft.*Field = cell;
    return true;
}

void CopyNothing(const V&, V&) {}

// The outcome of switches, kinds and beacon modes lies in the message bits and the
// safety text as well.
void CopyMessages(const V& from, V& to)
{
    to.messages = from.messages;
}

void CopyKind(const V& from, V& to)
{
    to.kind = from.kind;
    to.messages = from.messages;
    to.safetyText = from.safetyText;
}

void CopyBeaconMode(const V& from, V& to)
{
    to.beaconTest = from.beaconTest;
    to.safetyText = from.safetyText;
}

struct Column {
    const char* name;
    Apply apply;
    Copy copy;
};

const Column kColumns[] = {
    {"vessel-name", SetText<&StationDraft::name>, CopyField<&V::name>},
    {"vessel-call", SetText<&StationDraft::callSign>, CopyField<&V::callSign>},
    {"vessel-mmsi", SetNumber<std::uint32_t, &V::mmsi>, CopyField<&V::mmsi>},
    {"vessel-imo", SetNumber<std::uint32_t, &V::imo>, CopyField<&V::imo>},
    {"vessel-type", SetNumber<int, &V::shipType>, CopyField<&V::shipType>},
    {"vessel-dima", SetDimension<0>, CopyDimension<0>},
    {"vessel-dimb", SetDimension<1>, CopyDimension<1>},
    {"vessel-dimc", SetDimension<2>, CopyDimension<2>},
    {"vessel-dimd", SetDimension<3>, CopyDimension<3>},
    {"vessel-postdevice", SetNumber<int, &V::epfd>, CopyField<&V::epfd>},
    {"vessel-status", SetNumber<int, &V::navStatus>, CopyField<&V::navStatus>},
    {"vessel-accuracy", SetAccuracy, CopyField<&V::accuracy>},
    {"vessel-lat", SetNumber<double, &V::latitude>, CopyField<&V::latitude>},
    {"vessel-lon", SetNumber<double, &V::longitude>, CopyField<&V::longitude>},
    {"vessel-sog", SetNumber<float, &V::speed>, CopyField<&V::speed>},
    {"vessel-cog", SetNumber<float, &V::course>, CopyField<&V::course>},
    {"vessel-rot", SetNumber<float, &V::rateOfTurn>, CopyField<&V::rateOfTurn>},
    {"port-dest", SetText<&StationDraft::destination>, CopyField<&V::destination>},
    {"port-origin", SetText<&StationDraft::origin>, CopyNothing},  // no message a fleet sends carries it
    {"nmea-domsg1", SetMessage<kSendMsg1>, CopyMessages},
    {"nmea-domsg5", SetMessage<kSendMsg5>, CopyMessages},
    {"nmea-domsg18", SetMessage<kSendMsg18>, CopyMessages},
    {"nmea-domsg19", SetMessage<kSendMsg19>, CopyMessages},
    {"nmea-domsg24", SetMessage<kSendMsg24>, CopyMessages},
    // Stations of other kinds.
    {"station-kind", SetKind, CopyKind},
    {"nmea-domsg4", SetMessage<kSendMsg4>, CopyMessages},
    {"nmea-domsg9", SetMessage<kSendMsg9>, CopyMessages},
    {"nmea-domsg14", SetMessage<kSendMsg14>, CopyMessages},
    {"nmea-domsg21", SetMessage<kSendMsg21>, CopyMessages},
    {"nmea-domsg27", SetMessage<kSendMsg27>, CopyMessages},
    {"aton-type", SetAtonType, [](const V& from, V& to) { to.atonType = from.atonType; }},
    {"aton-virtual", SetAtonFlag<true>, [](const V& from, V& to) { to.atonVirtual = from.atonVirtual; }},
    {"aton-off-position", SetAtonFlag<false>, [](const V& from, V& to) { to.atonOffPosition = from.atonOffPosition; }},
    {"sar-altitude", SetAltitude, CopyField<&V::altitude>},
    {"beacon-mode", SetBeaconMode, CopyBeaconMode},
    {"safety-text", SetText<&StationDraft::safetyText>, CopyField<&V::safetyText>},
};
static_assert(std::size(kColumns) <= sizeof(ColumnMask) * 8, "one mask bit per column");

} // namespace

std::optional<std::size_t> StationColumnIndex(std::string_view name)
{
    const auto column =
        std::find_if(std::begin(kColumns), std::end(kColumns), [&](const Column& c) { return name == c.name; });
    if (column == std::end(kColumns)) return std::nullopt;
    return static_cast<std::size_t>(column - std::begin(kColumns));
}

const char* StationColumnName(std::size_t column)
{
    return kColumns[column].name;
}

std::size_t StationColumnCount()
{
    return std::size(kColumns);
}

bool SetStationColumn(std::size_t column, const std::string& cell, StationDraft& draft)
{
    return kColumns[column].apply(cell, draft);
}

void CopyStationColumn(std::size_t column, const FleetVessel& from, FleetVessel& to)
{
    kColumns[column].copy(from, to);
}

std::uint16_t DraftMessages(const StationDraft& draft, const FleetVessel& before)
{
    const std::uint16_t base = draft.vessel.kind == before.kind
        ? before.messages
        : DefaultMessageBits(static_cast<StationKind>(draft.vessel.kind));
    return static_cast<std::uint16_t>((base | draft.messagesOn) & ~draft.messagesOff);
}

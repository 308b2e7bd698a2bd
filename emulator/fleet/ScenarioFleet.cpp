#include "emulator/fleet/ScenarioFleet.h"

#include "emulator/fleet/StationColumns.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"

#include <algorithm>
#include <iterator>

namespace {

// How a field is written in JSON; the value then goes to the station table as the text a
// fleet file would hold.
enum class JsonKind { Text, Integer, Switch };

struct ExtraRow {
    const char* name;
    JsonKind kind;
    const char* valid;  // what a value must be, for the message when the table refuses it
};

const ExtraRow kExtraFields[] = {
    {"station-kind", JsonKind::Text, nullptr},  // nullptr: one of the kinds' names
    {"nmea-domsg4", JsonKind::Switch, ""},
    {"nmea-domsg9", JsonKind::Switch, ""},
    {"nmea-domsg14", JsonKind::Switch, ""},
    {"nmea-domsg21", JsonKind::Switch, ""},
    {"nmea-domsg27", JsonKind::Switch, ""},
    {"aton-type", JsonKind::Integer, "a type of aid to navigation from 0 to 31"},
    {"aton-virtual", JsonKind::Switch, ""},
    {"aton-off-position", JsonKind::Switch, ""},
    {"sar-altitude", JsonKind::Integer, "an altitude in metres"},
    {"beacon-mode", JsonKind::Text, "active or test"},
    {"safety-text", JsonKind::Text, ""},
};

// The fields a route or an encounter places; the file cannot give them beside one.
constexpr const char* kPlacedFields[] = {"vessel-lat", "vessel-lon", "vessel-cog", "vessel-sog", "vessel-rot"};

// The text a fleet file would hold for a JSON value in `cell`; the reason when it has none.
std::optional<std::string> CellOf(JsonKind kind, const nlohmann::json& value, std::string& cell)
{
    switch (kind) {
    case JsonKind::Text:
        if (!value.is_string()) return "must be a text";
        cell = value.get<std::string>();
        break;
    case JsonKind::Integer:
        if (!value.is_number_integer()) return "must be an integer";
        cell = value.dump();
        break;
    case JsonKind::Switch:
        if (value.is_boolean()) {
            cell = value.get<bool>() ? "1" : "0";
        } else if (value.is_number_integer() && (value == 0 || value == 1)) {
            cell = value.dump();
        } else {
            return "must be true or false (or 1 or 0)";
        }
        break;
    }
    return std::nullopt;
}

std::optional<std::string> CheckExtra(const ExtraRow& row, const nlohmann::json& value)
{
    std::string cell;
    if (const auto reason = CellOf(row.kind, value, cell)) return reason;
    StationDraft scratch;
    if (SetStationColumn(*StationColumnIndex(row.name), cell, scratch)) return std::nullopt;
    return value.dump() + " is not " + (row.valid != nullptr ? std::string(row.valid) : "one of " + StationKindNames());
}

// Sets a draft's fields: the known ones in `given`, and the extra ones.
bool SetFields(const StationFields& fields, FieldMask given, const std::map<std::string, nlohmann::json>& extra,
               StationDraft& draft, ColumnMask& columns, std::string& error)
{
    const auto set = [&](const std::string& name, const std::string& cell) {
        const std::optional<std::size_t> column = StationColumnIndex(name);
        if (!column || !SetStationColumn(*column, cell, draft)) {
            error = name + ": \"" + cell + "\" is no value the station table takes";
            return false;
        }
        columns |= ColumnMask{1} << *column;
        return true;
    };
    for (const std::string& name : StationFieldNames())
        if ((given & FieldBit(name)) != 0 && !set(name, StationFieldText(fields, name))) return false;
    for (const auto& [name, value] : extra) {
        // A named copy: clang before 16 cannot capture a structured binding.
        const std::string& key = name;
        const auto row = std::find_if(std::begin(kExtraFields), std::end(kExtraFields),
                                      [&key](const ExtraRow& r) { return key == r.name; });
        if (row == std::end(kExtraFields)) {
            error = name + ": is no field of the station table";
            return false;
        }
        std::string cell;
        if (const auto reason = CellOf(row->kind, value, cell)) {
            error = name + ": " + *reason;
            return false;
        }
        if (!set(name, cell)) return false;
    }
    return true;
}

// The draft's texts go into the fleet's pool; its messages and safety text follow from
// its fields.
FleetVessel Finish(StationDraft& draft, const FleetVessel& before, TextPool& texts)
{
    draft.vessel.messages = DraftMessages(draft, before);
    draft.messagesOn = 0;
    draft.messagesOff = 0;
    FleetVessel v = draft.vessel;
    v.name = texts.Intern(draft.name);
    v.callSign = texts.Intern(draft.callSign);
    v.destination = texts.Intern(draft.destination);
    v.safetyText = texts.Intern(SafetyTextFor(draft.safetyText, static_cast<StationKind>(v.kind), v.beaconTest));
    draft.vessel = v;
    return v;
}

} // namespace

std::vector<ExtraField> StationKindFields()
{
    std::vector<ExtraField> fields;
    for (const ExtraRow& row : kExtraFields)
        fields.push_back({row.name, [&row](const nlohmann::json& value) { return CheckExtra(row, value); }});
    return fields;
}

bool AddScenarioStations(const Scenario& scenario, const VesselTemplate& commandLine, bool ownShip, Fleet& fleet,
                         std::string& error)
{
    const std::size_t first = fleet.vessels.size();
    const std::size_t followers = fleet.followers.size();
    const std::size_t events = fleet.events.size();
    const auto undo = [&] {
        // Texts already in the pool stay; nothing refers to them.
        fleet.vessels.resize(first);
        fleet.followers.resize(followers);
        fleet.events.resize(events);
        return false;
    };
    const auto routeBase = static_cast<std::uint32_t>(fleet.routes.size());
    FieldMask placed = 0;
    for (const char* name : kPlacedFields) placed |= FieldBit(name);

    // Each station's fields as they stand, kept to apply its events in time order.
    std::vector<StationDraft> drafts;
    for (const ScenarioStation& station : scenario.stations) {
        StationDraft draft{commandLine.vessel, commandLine.name, commandLine.callSign, commandLine.destination, {},
                           commandLine.safetyText};
        const FieldMask given = station.given | (station.motion == StationMotion::Straight ? 0 : placed);
        ColumnMask columns = 0;
        if (!SetFields(station.fields, given, station.extra, draft, columns, error)) {
            error = scenario.file + ": " + station.path + "." + error;
            return undo();
        }
        FleetVessel v = Finish(draft, commandLine.vessel, fleet.texts);
        v.ownShip = ownShip && drafts.empty();
        if (station.route) {
            fleet.followers.push_back({routeBase + static_cast<std::uint32_t>(*station.route), RouteState{}});
            v.routeSlot = static_cast<std::uint32_t>(fleet.followers.size());
        }
        fleet.vessels.push_back(v);
        drafts.push_back(std::move(draft));
    }
    fleet.routes.insert(fleet.routes.end(), scenario.routes.begin(), scenario.routes.end());

    for (const ScenarioEvent& event : scenario.events) {
        StationDraft& draft = drafts[event.station];
        const FleetVessel before = draft.vessel;
        FleetEvent change;
        change.atS = event.atS;
        change.vessel = static_cast<std::uint32_t>(first + event.station);
        if (!SetFields(event.set.values, event.set.given, event.set.extra, draft, change.columns, error)) {
            error = scenario.file + ": " + event.path + ".set." + error;
            fleet.routes.erase(fleet.routes.begin() + routeBase, fleet.routes.end());
            return undo();
        }
        change.after = Finish(draft, before, fleet.texts);
        if (event.send) change.send = *event.send ? 1 : 0;
        fleet.events.push_back(change);
    }
    std::stable_sort(fleet.events.begin(), fleet.events.end(),
                     [](const FleetEvent& a, const FleetEvent& b) { return a.atS < b.atS; });
    return true;
}

void PutOnRoute(Fleet& fleet, std::size_t vessel, Route route)
{
    const RoutePose start = route.PoseAt(RouteState{});
    FleetVessel& v = fleet.vessels[vessel];
    v.latitude = start.latDeg;
    v.longitude = start.lonDeg;
    v.course = static_cast<float>(start.courseDeg);
    v.speed = static_cast<float>(start.speedKnots);
    v.rateOfTurn = 0.0F;
    fleet.routes.push_back(std::move(route));
    fleet.followers.push_back({static_cast<std::uint32_t>(fleet.routes.size() - 1), RouteState{}});
    v.routeSlot = static_cast<std::uint32_t>(fleet.followers.size());
}

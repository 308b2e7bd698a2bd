#include "emulator/scenario/ScenarioFile.h"

#include "emulator/scenario/Gpx.h"
#include "emulator/scenario/IsoTime.h"
#include "emulator/scenario/ScenarioJson.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unordered_map>

namespace {

constexpr double kMaxEventSeconds = 1e9;  // some thirty years

constexpr struct {
    RouteEnd end;
    const char* name;
} kEnds[] = {{RouteEnd::Stop, "stop"}, {RouteEnd::Loop, "loop"}, {RouteEnd::Reverse, "reverse"}};

// Fields that the motion sets, and so may not be given beside a route or an encounter.
constexpr const char* kPlacedFields[] = {"vessel-lat", "vessel-lon", "vessel-cog", "vessel-rot"};

std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

class Reader {
public:
    Reader(const ScenarioOptions& options, std::string folder) : m_options(options), m_folder(std::move(folder)) {}

    void Read(const nlohmann::json& document, Scenario& scenario)
    {
        const JsonPath root;
        RequireObject(document, JsonPath().Key("(top level)"));
        RejectUnknown(document, root, {"description", "own-ship", "targets", "events"});
        if (const auto text = document.find("description"); text != document.end())
            scenario.description = RequireText(*text, root.Key("description"));
        const JsonPath ownPath = root.Key("own-ship");
        scenario.stations.push_back(ReadStation(RequireMember(document, root, "own-ship"), ownPath, false, scenario));
        if (const auto targets = document.find("targets"); targets != document.end()) {
            const JsonPath path = root.Key("targets");
            RequireArray(*targets, path);
            for (std::size_t i = 0; i < targets->size(); ++i)
                scenario.stations.push_back(ReadStation((*targets)[i], path.Index(i), true, scenario));
        }
        CheckMmsis(scenario);
        for (ScenarioStation& station : scenario.stations)
            if (station.encounter) Place(scenario.stations.front(), station);
        if (const auto events = document.find("events"); events != document.end()) {
            const JsonPath path = root.Key("events");
            RequireArray(*events, path);
            for (std::size_t i = 0; i < events->size(); ++i)
                scenario.events.push_back(ReadEvent((*events)[i], path.Index(i), scenario));
            std::stable_sort(scenario.events.begin(), scenario.events.end(),
                             [](const ScenarioEvent& a, const ScenarioEvent& b) { return a.atS < b.atS; });
        }
    }

private:
    // A known field onto `patch`, or a registered extra field; false when neither.
    bool ReadField(const std::string& key, const nlohmann::json& value, const JsonPath& path, StationPatch& patch)
    {
        bool known = false;
        if (const auto fault = SetStationField(key, value, patch.values, known)) throw JsonFault(path, *fault);
        if (known) {
            patch.given |= FieldBit(key);
            return true;
        }
        const auto extra = std::find_if(m_options.extraFields.begin(), m_options.extraFields.end(),
                                        [&key](const ExtraField& f) { return f.name == key; });
        if (extra == m_options.extraFields.end()) return false;
        if (extra->check) {
            if (const auto fault = extra->check(value)) throw JsonFault(path, *fault);
        }
        patch.extra[key] = value;
        return true;
    }

    ScenarioStation ReadStation(const nlohmann::json& object, const JsonPath& path, bool target, Scenario& scenario)
    {
        RequireObject(object, path);
        ScenarioStation station;
        station.path = path.Text();
        StationPatch patch;
        patch.values = m_options.defaults;
        for (const auto& [key, value] : object.items()) {
            if (IsNote(key) || key == "route" || (target && key == "encounter")) continue;
            if (!ReadField(key, value, path.Key(key), patch)) throw JsonFault(path.Key(key), "unknown field");
        }
        station.fields = patch.values;
        station.given = patch.given;
        station.extra = std::move(patch.extra);

        const auto route = object.find("route");
        const auto encounter = target ? object.find("encounter") : object.end();
        if (route != object.end() && encounter != object.end())
            throw JsonFault(path, "has both a route and an encounter; give one of them");
        const bool placed = route != object.end() || encounter != object.end();
        for (const char* field : kPlacedFields)
            if (placed && (station.given & FieldBit(field)) != 0)
                throw JsonFault(path.Key(field), std::string("cannot be given with ") +
                                                     (route != object.end() ? "a route (the route sets it)"
                                                                            : "an encounter (the encounter places the target)"));
        if (route != object.end()) ReadRoute(*route, path.Key("route"), station, scenario);
        if (encounter != object.end()) ReadEncounter(*encounter, path.Key("encounter"), station);
        return station;
    }

    void ReadRoute(const nlohmann::json& object, const JsonPath& path, ScenarioStation& station, Scenario& scenario)
    {
        RequireObject(object, path);
        RejectUnknown(object, path, {"waypoints", "gpx", "name", "end"});
        RoutePlan plan;
        plan.where = path.Text();
        if (const auto end = object.find("end"); end != object.end()) {
            const std::string name = RequireText(*end, path.Key("end"));
            const auto found = std::find_if(std::begin(kEnds), std::end(kEnds), [&](const auto& e) { return name == e.name; });
            if (found == std::end(kEnds))
                throw JsonFault(path.Key("end"), "\"" + name + "\" is not one of stop, loop, reverse");
            plan.end = found->end;
        }
        const auto waypoints = object.find("waypoints");
        const auto gpx = object.find("gpx");
        if ((waypoints == object.end()) == (gpx == object.end()))
            throw JsonFault(path, "needs either waypoints or gpx (one of them)");
        if (object.contains("name") && gpx == object.end())
            throw JsonFault(path.Key("name"), "names a route or track of a GPX file, and there is no gpx");
        if (gpx != object.end()) {
            const std::string file = RequireText(*gpx, path.Key("gpx"));
            const std::string name = object.contains("name") ? RequireText(object["name"], path.Key("name")) : "";
            std::filesystem::path where(file);
            if (where.is_relative()) where = std::filesystem::path(m_folder) / where;
            std::string error;
            if (!ReadGpxRoute(where.string(), name, plan, error)) throw JsonFault(path.Key("gpx"), error);
        } else {
            const JsonPath listPath = path.Key("waypoints");
            RequireArray(*waypoints, listPath);
            if (waypoints->size() < 2) throw JsonFault(listPath, "a route needs at least two waypoints");
            for (std::size_t i = 0; i < waypoints->size(); ++i)
                plan.waypoints.push_back(ReadWaypoint((*waypoints)[i], listPath.Index(i)));
        }
        std::string error;
        std::optional<Route> built = Route::Build(plan, station.fields.vesselSog, error);
        if (!built) throw JsonFault(gpx != object.end() ? path.Key("gpx").Text() + ": " + error : error);
        const RoutePose start = built->PoseAt(RouteState{});
        station.fields.vesselLat = start.latDeg;
        station.fields.vesselLon = start.lonDeg;
        station.fields.vesselCog = start.courseDeg;
        station.fields.vesselSog = start.speedKnots;
        station.fields.vesselRot = 0.0;
        station.motion = StationMotion::Route;
        station.route = scenario.routes.size();
        scenario.routes.push_back(std::move(*built));
    }

    static RouteWaypoint ReadWaypoint(const nlohmann::json& object, const JsonPath& path)
    {
        RequireObject(object, path);
        RejectUnknown(object, path, {"lat", "lon", "sog", "time"});
        RouteWaypoint point;
        point.where = path.Text();
        point.latDeg = RequireNumber(RequireMember(object, path, "lat"), path.Key("lat"), -90.0, 90.0);
        point.lonDeg = RequireNumber(RequireMember(object, path, "lon"), path.Key("lon"), -180.0, 180.0);
        if (const auto sog = object.find("sog"); sog != object.end())
            point.sogKnots = RequireNumber(*sog, path.Key("sog"), 0.0, kRouteMaxSogKnots, true);
        if (const auto time = object.find("time"); time != object.end()) {
            const std::string text = RequireText(*time, path.Key("time"));
            point.timeS = ParseIsoTime(text);
            if (!point.timeS)
                throw JsonFault(path.Key("time"), "\"" + text + "\" is not an ISO 8601 time (2024-05-01T12:00:00Z)");
        }
        return point;
    }

    static void ReadEncounter(const nlohmann::json& object, const JsonPath& path, ScenarioStation& station)
    {
        RequireObject(object, path);
        RejectUnknown(object, path, {"kind", "cpa-nm", "tcpa-min", "sog", "side"});
        EncounterRequest request;
        const std::string kind = RequireText(RequireMember(object, path, "kind"), path.Key("kind"));
        const std::optional<EncounterKind> named = EncounterKindNamed(kind);
        if (!named) throw JsonFault(path.Key("kind"), "\"" + kind + "\" is not one of " + EncounterKindNames());
        request.kind = *named;
        request.cpaNm = RequireNumber(RequireMember(object, path, "cpa-nm"), path.Key("cpa-nm"), 0.0, kEncounterMaxCpaNm);
        request.tcpaMin =
            RequireNumber(RequireMember(object, path, "tcpa-min"), path.Key("tcpa-min"), 0.0, kEncounterMaxTcpaMin, true);
        request.targetSogKnots = station.fields.vesselSog;
        if (const auto sog = object.find("sog"); sog != object.end())
            request.targetSogKnots = RequireNumber(*sog, path.Key("sog"), 0.0, kRouteMaxSogKnots);
        if (const auto side = object.find("side"); side != object.end()) {
            const std::string name = RequireText(*side, path.Key("side"));
            request.side = PassingSideNamed(name);
            if (!request.side) throw JsonFault(path.Key("side"), "\"" + name + "\" is not one of port, starboard");
        }
        station.encounter = request;
        station.motion = StationMotion::Encounter;
    }

    static void Place(const ScenarioStation& own, ScenarioStation& target)
    {
        const JsonPath path = JsonPath().Key(target.path).Key("encounter");
        if (own.motion == StationMotion::Route)
            throw JsonFault(path, "needs the own ship on a straight course, and own-ship follows a route");
        if (own.fields.vesselRot != 0.0)
            throw JsonFault(path, "needs the own ship on a straight course, and own-ship's vessel-rot is " +
                                      Figure(own.fields.vesselRot));
        const OwnShipStart start{own.fields.vesselLat, own.fields.vesselLon, own.fields.vesselCog, own.fields.vesselSog};
        std::string reason;
        const std::optional<EncounterPlacement> placed = PlaceEncounter(start, *target.encounter, reason);
        if (!placed) throw JsonFault(path, reason);
        target.placement = placed;
        target.fields.vesselLat = placed->latDeg;
        target.fields.vesselLon = placed->lonDeg;
        target.fields.vesselCog = placed->courseDeg;
        target.fields.vesselSog = target.encounter->targetSogKnots;
        target.fields.vesselRot = 0.0;
    }

    static void CheckMmsis(const Scenario& scenario)
    {
        std::unordered_map<std::uint32_t, std::string> owners;
        for (const ScenarioStation& station : scenario.stations) {
            const std::uint32_t mmsi = station.fields.vesselMmsi;
            const auto [at, fresh] = owners.emplace(mmsi, station.path);
            if (fresh) continue;
            const bool given = (station.given & FieldBit("vessel-mmsi")) != 0;
            throw JsonFault(JsonPath().Key(station.path).Key("vessel-mmsi"),
                            (given ? std::to_string(mmsi) : "not given, and the command line's " + std::to_string(mmsi)) +
                                " is already " + at->second + "'s; every station needs its own MMSI");
        }
    }

    ScenarioEvent ReadEvent(const nlohmann::json& object, const JsonPath& path, const Scenario& scenario)
    {
        RequireObject(object, path);
        RejectUnknown(object, path, {"at-s", "mmsi", "set", "send"});
        ScenarioEvent event;
        event.path = path.Text();
        event.atS = RequireNumber(RequireMember(object, path, "at-s"), path.Key("at-s"), 0.0, kMaxEventSeconds);
        const nlohmann::json& mmsi = RequireMember(object, path, "mmsi");
        if (!mmsi.is_number_integer()) throw JsonFault(path.Key("mmsi"), "must be an integer");
        const auto station = std::find_if(scenario.stations.begin(), scenario.stations.end(), [&](const ScenarioStation& s) {
            return mmsi.is_number_unsigned() && mmsi.get<std::uint64_t>() == s.fields.vesselMmsi;
        });
        if (station == scenario.stations.end())
            throw JsonFault(path.Key("mmsi"), mmsi.dump() + " is not the MMSI of a station of this scenario");
        event.mmsi = station->fields.vesselMmsi;
        event.station = static_cast<std::size_t>(station - scenario.stations.begin());
        const auto set = object.find("set");
        const auto send = object.find("send");
        if (set == object.end() && send == object.end()) throw JsonFault(path, "needs set, send or both");
        if (send != object.end()) event.send = RequireSwitch(*send, path.Key("send"));
        if (set != object.end()) {
            const JsonPath setPath = path.Key("set");
            RequireObject(*set, setPath);
            event.set.values = station->fields;
            for (const auto& [key, value] : set->items()) {
                if (IsNote(key)) continue;
                if (key == "vessel-mmsi")
                    throw JsonFault(setPath.Key(key), "cannot be set: the MMSI names the station the event is for");
                if (!ReadField(key, value, setPath.Key(key), event.set)) throw JsonFault(setPath.Key(key), "unknown field");
            }
        }
        return event;
    }

    const ScenarioOptions& m_options;
    std::string m_folder;
};

bool ReadText(const std::string& path, std::string& text, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::ostringstream content;
    content << file.rdbuf();
    if (file.bad()) {
        error = path + ": read error";
        return false;
    }
    text = content.str();
    return true;
}

} // namespace

bool ParseScenario(const std::string& text, const std::string& fileName, const std::string& folder,
                   const ScenarioOptions& options, Scenario& scenario, std::string& error)
{
    Scenario read;
    read.file = fileName;
    try {
        Reader(options, folder).Read(ParseJsonText(text), read);
    } catch (const JsonFault& fault) {
        error = fileName + ": " + fault.what();
        return false;
    } catch (const nlohmann::json::exception& e) {
        error = fileName + ": " + e.what();
        return false;
    }
    scenario = std::move(read);
    return true;
}

bool ReadScenario(const std::string& path, const ScenarioOptions& options, Scenario& scenario, std::string& error)
{
    std::string text;
    if (!ReadText(path, text, error)) return false;
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return ParseScenario(text, path, folder.empty() ? "." : folder, options, scenario, error);
}

std::optional<Route> ReadGpxFileRoute(const std::string& path, RouteEnd end, double fallbackSogKnots,
                                      std::string& error)
{
    RoutePlan plan;
    plan.end = end;
    plan.where = path;
    if (!ReadGpxRoute(path, "", plan, error)) return std::nullopt;
    return Route::Build(plan, fallbackSogKnots, error);
}

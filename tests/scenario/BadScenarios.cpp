#include "BadScenarios.h"

namespace {

const std::string kOwn =
    R"("own-ship": {"vessel-mmsi": 244000001, "vessel-lat": 51.9, "vessel-lon": 3.5, "vessel-sog": 12, "vessel-cog": 90})";

std::string WithTargets(const std::string& targets, const std::string& events = "")
{
    return "{" + kOwn + ", \"targets\": [" + targets + "]" + (events.empty() ? "" : ", \"events\": [" + events + "]") + "}";
}

std::string Crossing(const std::string& encounter)
{
    return WithTargets(R"({"vessel-mmsi": 244000002, "encounter": )" + encounter + "}");
}

std::string Waypoints(const std::string& waypoints, const std::string& more = "")
{
    return WithTargets(R"({"vessel-mmsi": 244000002, "route": {"waypoints": )" + waypoints + more + "}}");
}

const std::string kStraight = R"({"vessel-mmsi": 244000002, "vessel-lat": 51.8, "vessel-lon": 3.4, "vessel-sog": 5})";

} // namespace

std::vector<BadScenario> BadScenarios()
{
    return {
        {"syntax error", R"({"own-ship": {"vessel-lat": 51.9,}})", "line 1, column 34: not valid JSON", true},
        {"number beyond a double", R"({"own-ship": {"vessel-lat": 1e400}})",
         "line 1, column 29: not valid JSON (number overflow parsing '1e400')", true},
        {"text not UTF-8", "{\"own-ship\": {\"vessel-name\": \"\xff\"}}",
         "line 1, column 31: not valid JSON (syntax error while parsing value - invalid string: ill-formed UTF-8 byte; "
         "last read: '\"?')",
         true},
        {"not an object", "[1, 2]", "(top level): must be an object", true},
        {"own ship missing", R"({"targets": []})", "own-ship: is missing", true},
        {"own ship not an object", R"({"own-ship": 244000001})", "own-ship: must be an object {...}, not a number", true},
        {"misspelt top-level member", "{" + kOwn + R"(, "target": []})", "target: unknown field", true},
        {"targets not a list", "{" + kOwn + R"(, "targets": {}})", "targets: must be a list [...], not an object", true},
        {"key given twice", R"({"own-ship": {"vessel-lat": 51.9, "vessel-lat": 52.0}})", "own-ship.vessel-lat: given twice", false},
        {"latitude out of range", R"({"own-ship": {"vessel-lat": 95}})", "own-ship.vessel-lat: 95 is out of range (-90 to 90)", true},
        {"longitude out of range", R"({"own-ship": {"vessel-lon": -180.5}})", "own-ship.vessel-lon: -180.5 is out of range (-180 to 180)", true},
        {"negative speed", R"({"own-ship": {"vessel-sog": -1}})", "own-ship.vessel-sog: -1 is out of range (0 to 102.2)", true},
        {"course beyond a circle", R"({"own-ship": {"vessel-cog": 400}})", "own-ship.vessel-cog: 400 is out of range (0 to 360)", true},
        {"MMSI as text", R"({"own-ship": {"vessel-mmsi": "244000001"}})", "own-ship.vessel-mmsi: must be an integer", true},
        {"MMSI with a fraction", R"({"own-ship": {"vessel-mmsi": 244000001.5}})", "own-ship.vessel-mmsi: must be an integer", true},
        {"MMSI of ten digits", R"({"own-ship": {"vessel-mmsi": 1244000001}})", "own-ship.vessel-mmsi: 1244000001 is out of range (1 to 999999999)", true},
        {"name as a number", R"({"own-ship": {"vessel-name": 7}})", "own-ship.vessel-name: must be a text", true},
        {"switch as a word", R"({"own-ship": {"nmea-domsg1": "yes"}})", "own-ship.nmea-domsg1: must be true or false (or 1 or 0)", true},
        {"switch as 2", R"({"own-ship": {"nmea-domsg1": 2}})", "own-ship.nmea-domsg1: must be true or false (or 1 or 0)", true},
        {"unknown station field", WithTargets(R"({"vessel-nmae": "X"})"), "targets[0].vessel-nmae: unknown field", true},
        {"encounter on the own ship", R"({"own-ship": {"encounter": {"kind": "head-on", "cpa-nm": 1, "tcpa-min": 5}}})",
         "own-ship.encounter: unknown field", true},
        {"encounter kind unknown", Crossing(R"({"kind": "sideways", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 10})"),
         "targets[0].encounter.kind: \"sideways\" is not one of head-on, crossing-starboard, crossing-port, overtaking, overtaken", true},
        {"encounter kind missing", Crossing(R"({"cpa-nm": 0.3, "tcpa-min": 12, "sog": 10})"), "targets[0].encounter.kind: is missing", true},
        {"CPA negative", Crossing(R"({"kind": "head-on", "cpa-nm": -0.1, "tcpa-min": 12, "sog": 10})"),
         "targets[0].encounter.cpa-nm: -0.1 is out of range (0 to 100)", true},
        {"TCPA zero", Crossing(R"({"kind": "head-on", "cpa-nm": 0.1, "tcpa-min": 0, "sog": 10})"),
         "targets[0].encounter.tcpa-min: 0 is out of range (above 0 to 1440)", true},
        {"TCPA as text", Crossing(R"({"kind": "head-on", "cpa-nm": 0.1, "tcpa-min": "12", "sog": 10})"),
         "targets[0].encounter.tcpa-min: must be a number, not a text", true},
        {"side unknown", Crossing(R"({"kind": "head-on", "cpa-nm": 0.1, "tcpa-min": 12, "sog": 10, "side": "left"})"),
         "targets[0].encounter.side: \"left\" is not one of port, starboard", true},
        {"overtaking target slower", Crossing(R"({"kind": "overtaking", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 10})"),
         "targets[0].encounter: an overtaking target must be faster than the own ship", false},
        {"overtaken target faster", Crossing(R"({"kind": "overtaken", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 14})"),
         "targets[0].encounter: an overtaken target must be slower than the own ship", false},
        {"head-on target without speed", Crossing(R"({"kind": "head-on", "cpa-nm": 0.3, "tcpa-min": 12})"),
         "targets[0].encounter: a head-on target needs a sog above 0", false},
        {"CPA beyond the distance covered", Crossing(R"({"kind": "head-on", "cpa-nm": 2, "tcpa-min": 3, "sog": 10})"),
         "targets[0].encounter: cannot be built", false},
        {"encounter beside a position", WithTargets(R"({"vessel-mmsi": 2, "vessel-lat": 51.8, "encounter": {"kind": "head-on", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 10}})"),
         "targets[0].vessel-lat: cannot be given with an encounter", true},
        {"route and encounter", WithTargets(R"({"vessel-mmsi": 2, "route": {"waypoints": [{"lat": 1, "lon": 1}, {"lat": 2, "lon": 2}]}, "encounter": {"kind": "head-on", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 10}})"),
         "targets[0]: has both a route and an encounter; give one of them", true},
        {"encounter while the own ship turns",
         R"({"own-ship": {"vessel-sog": 12, "vessel-rot": 5}, "targets": [{"vessel-mmsi": 2, "encounter": {"kind": "head-on", "cpa-nm": 0.3, "tcpa-min": 12, "sog": 10}}]})",
         "targets[0].encounter: needs the own ship on a straight course, and own-ship's vessel-rot is 5", false},
        {"waypoint latitude out of range", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 8}, {"lat": 51.95, "lon": 3.5}, {"lat": 95, "lon": 3.6}])"),
         "targets[0].route.waypoints[2].lat: 95 is out of range (-90 to 90)", true},
        {"waypoint longitude missing", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 8}, {"lat": 51.95}])"),
         "targets[0].route.waypoints[1].lon: is missing", true},
        {"waypoint speed zero", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 0}, {"lat": 51.95, "lon": 3.5}])"),
         "targets[0].route.waypoints[0].sog: 0 is out of range (above 0 to 102.2)", true},
        {"waypoint unknown field", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "speed": 8}, {"lat": 51.95, "lon": 3.5}])"),
         "targets[0].route.waypoints[0].speed: unknown field", true},
        {"one waypoint", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 8}])"),
         "targets[0].route.waypoints: a route needs at least two waypoints", true},
        {"route end unknown", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 8}, {"lat": 51.95, "lon": 3.5}])", R"(, "end": "bounce")"),
         "targets[0].route.end: \"bounce\" is not one of stop, loop, reverse", true},
        {"waypoint time not ISO 8601", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "time": "noon"}, {"lat": 51.95, "lon": 3.5}])"),
         "targets[0].route.waypoints[0].time: \"noon\" is not an ISO 8601 time", true},
        {"waypoint times backwards",
         Waypoints(R"([{"lat": 51.9, "lon": 3.5, "time": "2024-05-01T12:00:00Z"}, {"lat": 51.95, "lon": 3.5, "time": "2024-05-01T11:00:00Z"}])"),
         "targets[0].route.waypoints[1]: its time is not later than the previous waypoint's", false},
        {"route without any speed", Waypoints(R"([{"lat": 51.9, "lon": 3.5}, {"lat": 51.95, "lon": 3.5}])"),
         "targets[0].route.waypoints[0]: the first leg has no speed", false},
        {"waypoint repeated", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 5}, {"lat": 51.9, "lon": 3.5}])"),
         "targets[0].route.waypoints[1]: is the same point as the waypoint before it", false},
        {"route beside a position", WithTargets(R"({"vessel-mmsi": 2, "vessel-cog": 10, "route": {"waypoints": [{"lat": 1, "lon": 1, "sog": 3}, {"lat": 2, "lon": 2}]}})"),
         "targets[0].vessel-cog: cannot be given with a route", true},
        {"route with waypoints and gpx", Waypoints(R"([{"lat": 51.9, "lon": 3.5, "sog": 8}, {"lat": 51.95, "lon": 3.5}])", R"(, "gpx": "a.gpx")"),
         "targets[0].route: needs either waypoints or gpx (one of them)", true},
        {"GPX file missing", WithTargets(R"({"vessel-mmsi": 2, "vessel-sog": 5, "route": {"gpx": "missing.gpx"}})"),
         "targets[0].route.gpx: ", false},
        {"MMSI used twice", WithTargets(R"({"vessel-mmsi": 244000002}, {"vessel-mmsi": 244000002})"),
         "targets[1].vessel-mmsi: 244000002 is already targets[0]'s", false},
        {"MMSI left to the command line twice", WithTargets("{}, {}"),
         "targets[1].vessel-mmsi: not given, and the command line's", false},
        {"event for no station", WithTargets(kStraight, R"({"at-s": 600, "mmsi": 244000099, "send": false})"),
         "events[0].mmsi: 244000099 is not the MMSI of a station of this scenario", false},
        {"event time negative", WithTargets(kStraight, R"({"at-s": -1, "mmsi": 244000002, "send": false})"),
         "events[0].at-s: -1 is out of range (0 to 1000000000)", true},
        {"event time missing", WithTargets(kStraight, R"({"mmsi": 244000002, "send": false})"), "events[0].at-s: is missing", true},
        {"event doing nothing", WithTargets(kStraight, R"({"at-s": 5, "mmsi": 244000002})"), "events[0]: needs set, send or both", true},
        {"event send as a number", WithTargets(kStraight, R"({"at-s": 5, "mmsi": 244000002, "send": 0})"),
         "events[0].send: must be true or false, not a number", true},
        {"event sets an unknown field", WithTargets(kStraight, R"({"at-s": 5, "mmsi": 244000002, "set": {"vessel-speed": 3}})"),
         "events[0].set.vessel-speed: unknown field", true},
        {"event sets a bad value", WithTargets(kStraight, R"({"at-s": 5, "mmsi": 244000002, "set": {"vessel-status": 16}})"),
         "events[0].set.vessel-status: 16 is out of range (0 to 15)", true},
        {"event changes the MMSI", WithTargets(kStraight, R"({"at-s": 5, "mmsi": 244000002, "set": {"vessel-mmsi": 3}})"),
         "events[0].set.vessel-mmsi: cannot be set", true},
    };
}

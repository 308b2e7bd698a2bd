#include "emulator/app/ScenarioSetup.h"

#include "emulator/fleet/ScenarioFleet.h"
#include "emulator/scenario/ScenarioFile.h"

#include <algorithm>
#include <iterator>
#include <sstream>

namespace {

constexpr double kMinTimeFactor = 0.1;
constexpr double kMaxTimeFactor = 100.0;

constexpr struct {
    const char* name;
    RouteEnd end;
} kRouteEnds[] = {{"stop", RouteEnd::Stop}, {"loop", RouteEnd::Loop}, {"reverse", RouteEnd::Reverse}};

// The command line's values, which the stations of a scenario start from.
StationFields CommandLineFields(const VesselSettings& s)
{
    StationFields f;
    f.vesselName = s.vesselName;
    f.vesselCall = s.vesselCall;
    f.vesselMmsi = s.vesselMmsi;
    f.vesselImo = s.vesselImo;
    f.vesselType = s.vesselType;
    f.vesselDimA = s.vesselDimA;
    f.vesselDimB = s.vesselDimB;
    f.vesselDimC = s.vesselDimC;
    f.vesselDimD = s.vesselDimD;
    f.vesselPosDevice = s.vesselPosDevice;
    f.vesselStatus = s.vesselStatus;
    f.vesselAccuracy = s.vesselAccuracy;
    f.vesselLat = s.vesselLat;
    f.vesselLon = s.vesselLon;
    f.vesselSog = s.vesselSog;
    f.vesselCog = s.vesselCog;
    f.vesselRot = s.vesselRot;
    f.portDest = s.portDest;
    f.portOrigin = s.portOrigin;
    f.nmeaDoMsg1 = s.nmeaDoMsg1;
    f.nmeaDoMsg5 = s.nmeaDoMsg5;
    f.nmeaDoMsg18 = s.nmeaDoMsg18;
    f.nmeaDoMsg19 = s.nmeaDoMsg19;
    f.nmeaDoMsg24 = s.nmeaDoMsg24;
    return f;
}

} // namespace

std::string SimulationOptionError(const VesselSettings& s)
{
    if (!(s.timeFactor >= kMinTimeFactor && s.timeFactor <= kMaxTimeFactor)) {
        std::ostringstream text;
        text << "--time-factor " << s.timeFactor << " is not from " << kMinTimeFactor << " to " << kMaxTimeFactor;
        return text.str();
    }
    const auto end = std::find_if(std::begin(kRouteEnds), std::end(kRouteEnds),
                                  [&](const auto& e) { return s.routeEnd == e.name; });
    if (end == std::end(kRouteEnds)) return "--route-end \"" + s.routeEnd + "\" is not stop, loop or reverse";
    if (!s.route.empty() && !s.scenario.empty())
        return "--route gives the command-line vessel a route, and with --scenario there is none: give the own "
               "ship's route in the scenario file";
    if (s.route.empty() && s.routeEnd != VesselSettings().routeEnd) return "--route-end applies to a --route";
    return {};
}

bool AddScenarioFile(const VesselSettings& settings, const VesselTemplate& commandLine, Fleet& fleet,
                         std::string& error)
{
    const ScenarioOptions options{CommandLineFields(settings), StationKindFields()};
    Scenario scenario;
    if (!ReadScenario(settings.scenario, options, scenario, error)) return false;
    return AddScenarioStations(scenario, commandLine, settings.nmeaOwnShip, fleet, error);
}

bool PutOnCommandLineRoute(const VesselSettings& settings, Fleet& fleet, std::size_t vessel, std::string& error)
{
    const auto end = std::find_if(std::begin(kRouteEnds), std::end(kRouteEnds),
                                  [&](const auto& e) { return settings.routeEnd == e.name; });
    std::optional<Route> route =
        ReadGpxFileRoute(settings.route, end == std::end(kRouteEnds) ? RouteEnd::Stop : end->end, settings.vesselSog, error);
    if (!route) return false;
    PutOnRoute(fleet, vessel, std::move(*route));
    return true;
}

#include "emulator/app/FleetMode.h"

#include "emulator/app/ScenarioSetup.h"
#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/FleetRun.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"
#include "emulator/fleet/RandomStations.h"
#include "emulator/fleet/StationReports.h"
#include "emulator/stations/StationKinds.h"
#include "platform/StopSignals.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};
constexpr int kAtonTypes = 32;
constexpr std::size_t kMmsiWarningsShown = 10;
constexpr double kLittleWaterShare = 0.05;  // below this the area's water is worth a warning
constexpr double kPercent = 100.0;

VesselTemplate CommandLineVessel(const VesselSettings& s)
{
    VesselTemplate t;
    FleetVessel& v = t.vessel;
    v.latitude = s.vesselLat;
    v.longitude = s.vesselLon;
    v.speed = s.vesselSog;
    v.course = s.vesselCog;
    v.rateOfTurn = s.vesselRot;
    v.mmsi = s.vesselMmsi;
    v.imo = s.vesselImo;
    v.dims[0] = s.vesselDimA;
    v.dims[1] = s.vesselDimB;
    v.dims[2] = s.vesselDimC;
    v.dims[3] = s.vesselDimD;
    v.shipType = s.vesselType;
    v.navStatus = s.vesselStatus;
    v.epfd = s.vesselPosDevice;
    v.accuracy = s.vesselAccuracy;
    const std::pair<bool, FleetMessage> switches[] = {{s.nmeaDoMsg1, kSendMsg1},
                                                      {s.nmeaDoMsg5, kSendMsg5},
                                                      {s.nmeaDoMsg18, kSendMsg18},
                                                      {s.nmeaDoMsg19, kSendMsg19},
                                                      {s.nmeaDoMsg24, kSendMsg24}};
    for (const auto& [on, bit] : switches)
        if (on) v.messages |= bit;
    t.name = s.vesselName;
    t.callSign = s.vesselCall;
    t.destination = s.portDest;

    // Stations of other kinds: the kind's messages, and the ones switched on.
    const StationKind kind = ParseStationKind(s.stationKind).value_or(StationKind::Vessel);
    v.kind = static_cast<std::uint8_t>(kind);
    v.messages |= DefaultMessageBits(kind);
    const std::pair<bool, FleetMessage> stationSwitches[] = {{s.nmeaDoMsg4, kSendMsg4},
                                                             {s.nmeaDoMsg9, kSendMsg9},
                                                             {s.nmeaDoMsg14, kSendMsg14},
                                                             {s.nmeaDoMsg21, kSendMsg21},
                                                             {s.nmeaDoMsg27, kSendMsg27}};
    for (const auto& [on, bit] : stationSwitches)
        if (on) v.messages |= bit;
    v.atonType = static_cast<std::uint8_t>(s.atonType);
    v.atonVirtual = s.atonVirtual;
    v.atonOffPosition = s.atonOffPosition;
    v.altitude = static_cast<std::uint16_t>(AltitudeField(s.sarAltitude));
    v.beaconTest = s.beaconMode == "test";
    t.safetyText = s.safetyText;
    return t;
}

// The options of the other station kinds that take words or a range; empty when they hold.
std::string StationOptionError(const VesselSettings& s)
{
    if (!ParseStationKind(s.stationKind))
        return "--station-kind \"" + s.stationKind + "\" is not one of " + StationKindNames();
    if (s.beaconMode != "active" && s.beaconMode != "test")
        return "--beacon-mode \"" + s.beaconMode + "\" is not active or test";
    if (s.atonType < 0 || s.atonType >= kAtonTypes)
        return "--aton-type " + std::to_string(s.atonType) + " is not a type of aid to navigation from 0 to 31";
    return {};
}

// A station whose MMSI does not follow its kind's rule is sent as it is: testers need
// wrong ones too. The first few are named.
void WarnAboutMmsiRules(const Fleet& fleet)
{
    std::size_t mismatches = 0;
    for (const FleetVessel& v : fleet.vessels) {
        const auto kind = static_cast<StationKind>(v.kind);
        if (MmsiFitsKind(v.mmsi, kind)) continue;
        if (++mismatches > kMmsiWarningsShown) continue;
        const StationKindRow& row = StationKindOf(kind);
        std::cerr << "Warning : MMSI " << v.mmsi << " does not follow the " << row.title << " rule " << row.mmsiPattern
                  << " (station kind " << row.name << "); it is sent as it is" << std::endl;
    }
    if (mismatches > kMmsiWarningsShown)
        std::cerr << "Warning : " << mismatches - kMmsiWarningsShown << " more stations have MMSIs outside their kind's rule"
                  << std::endl;
}

bool WantsStationKinds(const VesselSettings& s)
{
    return s.stationKind != VesselSettings().stationKind || s.nmeaDoMsg4 || s.nmeaDoMsg9 || s.nmeaDoMsg14 ||
           s.nmeaDoMsg21 || s.nmeaDoMsg27 || s.fleetAton > 0 || s.fleetBaseStations > 0 || s.fleetSarAircraft > 0 ||
           s.fleetBeacons > 0;
}

std::string AreaText(const FleetArea& a)
{
    std::ostringstream text;
    text << a.south << ',' << a.west << ',' << a.north << ',' << a.east;
    return text.str();
}

// Refuses an area without water and says when it has little.
bool CheckWater(const geo::WaterPlacement& water, const FleetArea& area)
{
    if (water.Kind() == geo::WaterKind::None) {
        std::cerr << "Error : the fleet area " << AreaText(area)
                  << " is all land: there is no water to put random vessels on (see --fleet-area)" << std::endl;
        return false;
    }
    if (water.Kind() == geo::WaterKind::Lake)
        std::cerr << "Information : the fleet area " << AreaText(area)
                  << " has no sea; the random vessels are put on its lakes" << std::endl;
    if (water.WaterShare() < kLittleWaterShare)
        std::cerr << "Warning : only " << std::fixed << std::setprecision(1) << water.WaterShare() * kPercent
                  << std::defaultfloat << " % of the fleet area " << AreaText(area)
                  << " is water; the random vessels crowd on it" << std::endl;
    return true;
}

std::optional<std::uint32_t> ParseSeed(const std::string& text)
{
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFULL) return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

} // namespace

bool WantsFleet(const VesselSettings& settings)
{
    // Stations of other kinds, steering, scenarios, routes and a time factor run on the fleet engine; the single
    // vessel's path stays as it is.
    return !settings.fleet.empty() || settings.fleetRandom > 0 || WantsStationKinds(settings) || settings.keepToWater ||
           !settings.scenario.empty() || !settings.route.empty() || settings.timeFactor != 1.0 ||
           settings.routeEnd != VesselSettings().routeEnd;
}

FleetOutcome RunFleet(const VesselSettings& s)
{
    for (const std::string& error : {StationOptionError(s), SimulationOptionError(s)}) {
        if (error.empty()) continue;
        std::cerr << "Error : " << error << std::endl;
        return FleetOutcome::BadRequest;
    }
    if (s.fleetRandom > kMaxFleetVessels) {
        std::cerr << "Error : --fleet-random " << s.fleetRandom << " is more than the " << kMaxFleetVessels
                  << " vessels a run takes" << std::endl;
        return FleetOutcome::BadRequest;
    }
    const std::uint64_t randomStations = std::uint64_t{s.fleetAton} + s.fleetBaseStations + s.fleetSarAircraft +
                                         s.fleetBeacons;
    if (!s.fleetArea.empty() && s.fleetRandom == 0 && randomStations == 0)
        std::cerr << "Warning : --fleet-area places random vessels and stations only; without them it is ignored"
                  << std::endl;
    FleetArea area = AreaAround(s.vesselLat, s.vesselLon);
    if (!s.fleetArea.empty()) {
        const std::optional<FleetArea> given = ParseFleetArea(s.fleetArea);
        if (!given) {
            std::cerr << "Error : --fleet-area \"" << s.fleetArea
                      << "\" is not SOUTH,WEST,NORTH,EAST in degrees with south below north" << std::endl;
            return FleetOutcome::BadRequest;
        }
        area = *given;
    }
    std::uint32_t seed = static_cast<std::uint32_t>(std::time(nullptr));
    if (!s.fleetSeed.empty()) {
        const std::optional<std::uint32_t> given = ParseSeed(s.fleetSeed);
        if (!given) {
            std::cerr << "Error : --fleet-seed \"" << s.fleetSeed << "\" is not a number from 0 to 4294967295"
                      << std::endl;
            return FleetOutcome::BadRequest;
        }
        seed = *given;
    }

    Fleet fleet;
    const VesselTemplate commandLine = CommandLineVessel(s);
    std::size_t firstSpread = 0;
    std::size_t scenarioStations = 0;  // they come first and report at once
    if (!s.scenario.empty()) {
        std::string error;
        if (!AddScenarioFile(s, commandLine, fleet, error)) {
            std::cerr << "Error : " << error << std::endl;
            return FleetOutcome::BadRequest;
        }
        scenarioStations = firstSpread = fleet.vessels.size();
        if (s.fleetArea.empty()) area = AreaAround(fleet.vessels.front().latitude, fleet.vessels.front().longitude);
    } else if (commandLine.vessel.messages != 0 || s.nmeaOwnShip) {
        FleetVessel own = commandLine.vessel;
        own.ownShip = s.nmeaOwnShip;
        own.name = fleet.texts.Intern(commandLine.name);
        own.callSign = fleet.texts.Intern(commandLine.callSign);
        own.destination = fleet.texts.Intern(commandLine.destination);
        own.safetyText = fleet.texts.Intern(
            SafetyTextFor(commandLine.safetyText, static_cast<StationKind>(own.kind), own.beaconTest));
        fleet.vessels.push_back(own);
        firstSpread = 1;  // keeps the single vessel's timing
        std::string error;
        if (!s.route.empty() && !PutOnCommandLineRoute(s, fleet, 0, error)) {
            std::cerr << "Error : --route " << error << std::endl;
            return FleetOutcome::BadRequest;
        }
    }
    if (!s.fleet.empty()) {
        std::string error;
        std::vector<std::string> warnings;
        const bool read = ReadFleetCsv(s.fleet, commandLine, fleet, error, &warnings);
        for (const std::string& warning : warnings) std::cerr << "Warning : " << warning << '\n';
        if (!read) {
            std::cerr << "Error : " << error << std::endl;
            return FleetOutcome::BadRequest;
        }
        std::cerr << std::flush;
    }
    if (const std::uint64_t total = fleet.vessels.size() + std::uint64_t{s.fleetRandom} + randomStations;
        total > kMaxFleetVessels) {
        std::cerr << "Error : " << total << " vessels and stations in all are more than the " << kMaxFleetVessels
                  << " a run takes" << std::endl;
        return FleetOutcome::BadRequest;
    }
    // A scenario's stations sail as its file says.
    if (s.keepToWater)
        for (std::size_t i = scenarioStations; i < fleet.vessels.size(); ++i) fleet.vessels[i].steering |= kKeepToWater;
    if (s.fleetRandom > 0) {
        const geo::WaterPlacement water(geo::LandMask::Builtin(), BoxOf(area));
        if (!CheckWater(water, area)) return FleetOutcome::BadRequest;
        std::unordered_set<std::uint32_t> used;
        for (const FleetVessel& v : fleet.vessels) used.insert(v.mmsi);
        AddRandomFleet(fleet, s.fleetRandom, area, seed, used, water, platform::GetLocalTime());
        if (s.fleetSeed.empty())
            std::cerr << "Information : random fleet of " << s.fleetRandom << " vessels from seed " << seed
                      << " (repeat it with --fleet-seed " << seed << ")" << std::endl;
    }
    const RandomStationCounts stations{s.fleetAton, s.fleetBaseStations, s.fleetSarAircraft, s.fleetBeacons};
    if (stations.atons + stations.baseStations + stations.sarAircraft + stations.beacons > 0) {
        std::unordered_set<std::uint32_t> used;
        for (const FleetVessel& v : fleet.vessels) used.insert(v.mmsi);
        AddRandomStations(fleet, stations, area, seed, s.beaconMode == "test", used);
        if (s.fleetSeed.empty())
            std::cerr << "Information : random stations from seed " << seed << " (repeat them with --fleet-seed "
                      << seed << ")" << std::endl;
    }
    fleet.texts.Freeze();
    WarnAboutMmsiRules(fleet);

    bool anything = false;
    for (const FleetVessel& v : fleet.vessels) anything = anything || v.messages != 0 || v.ownShip;
    if (!anything) {
        std::cerr << "Error : Nothing to do!\nPlease specify required types of message for generating with "
                     "--nmea-domsg<X> key, where X = 1,5,18,19,24"
                  << std::endl;
        return FleetOutcome::BadRequest;
    }

    // Before the run's threads start, so that they inherit the hold on the signals.
    platform::StopSignals stopSignals;
    FleetEngine engine(fleet, {!s.ignoreCrc, s.nmeaUpperCrc}, s.ignoreTimings);
    FleetRun run(engine, OutputList(s), {{s.outputBaudRate, s.outputDataBits, s.outputStopBits}, NetworkOptionsOf(s)},
                 s.timeFactor);
    if (!run.Start(StartPhases{scenarioStations, firstSpread}, seed)) {
        run.Stop();
        return FleetOutcome::NeverStarted;
    }
    // A stop signal ends the run as its channel's end does.
    while (run.Running() && !stopSignals.Wait(kPollInterval)) {
    }
    run.Stop();
    return run.OutOfMemory() ? FleetOutcome::OutOfMemory : FleetOutcome::Ran;
}

#include "emulator/app/FleetMode.h"

#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/FleetRun.h"
#include "emulator/fleet/KeepToWater.h"
#include "emulator/fleet/RandomFleet.h"

#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <thread>
#include <unordered_set>

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};
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
    return t;
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
    return !settings.fleet.empty() || settings.fleetRandom > 0 || settings.keepToWater;
}

FleetOutcome RunFleet(const VesselSettings& s)
{
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
    if (commandLine.vessel.messages != 0 || s.nmeaOwnShip) {
        FleetVessel own = commandLine.vessel;
        own.ownShip = s.nmeaOwnShip;
        own.name = fleet.texts.Intern(commandLine.name);
        own.callSign = fleet.texts.Intern(commandLine.callSign);
        own.destination = fleet.texts.Intern(commandLine.destination);
        fleet.vessels.push_back(own);
        firstSpread = 1;  // keeps the single vessel's timing
    }
    if (!s.fleet.empty()) {
        std::string error;
        if (!ReadFleetCsv(s.fleet, commandLine, fleet, error)) {
            std::cerr << "Error : " << error << std::endl;
            return FleetOutcome::BadRequest;
        }
    }
    if (s.keepToWater)
        for (FleetVessel& v : fleet.vessels) v.steering |= kKeepToWater;
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
    fleet.texts.Freeze();

    bool anything = false;
    for (const FleetVessel& v : fleet.vessels) anything = anything || v.messages != 0 || v.ownShip;
    if (!anything) {
        std::cerr << "Error : Nothing to do!\nPlease specify required types of message for generating with "
                     "--nmea-domsg<X> key, where X = 1,5,18,19,24"
                  << std::endl;
        return FleetOutcome::BadRequest;
    }

    FleetEngine engine(fleet, {!s.ignoreCrc, s.nmeaUpperCrc}, s.ignoreTimings);
    FleetRun run(engine, s.output, {s.outputBaudRate, s.outputDataBits, s.outputStopBits});
    if (!run.Start(firstSpread, seed)) {
        run.Stop();
        return FleetOutcome::NeverStarted;
    }
    while (run.Running()) std::this_thread::sleep_for(kPollInterval);
    run.Stop();
    return FleetOutcome::Ran;
}

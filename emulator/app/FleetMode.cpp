#include "emulator/app/FleetMode.h"

#include "emulator/fleet/FleetCsv.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/FleetRun.h"
#include "emulator/fleet/RandomFleet.h"

#include <chrono>
#include <ctime>
#include <iostream>
#include <optional>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};

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
    return !settings.fleet.empty() || settings.fleetRandom > 0;
}

FleetOutcome RunFleet(const VesselSettings& s)
{
    if (s.fleetRandom > kMaxFleetVessels) {
        std::cerr << "Error : --fleet-random " << s.fleetRandom << " is more than the " << kMaxFleetVessels
                  << " vessels a run takes" << std::endl;
        return FleetOutcome::BadRequest;
    }
    if (!s.fleetArea.empty() && s.fleetRandom == 0)
        std::cerr << "Warning : --fleet-area places random vessels only; without --fleet-random it is ignored"
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
        std::vector<std::string> warnings;
        const bool read = ReadFleetCsv(s.fleet, commandLine, fleet, error, &warnings);
        for (const std::string& warning : warnings) std::cerr << "Warning : " << warning << '\n';
        if (!read) {
            std::cerr << "Error : " << error << std::endl;
            return FleetOutcome::BadRequest;
        }
        std::cerr << std::flush;
    }
    if (fleet.vessels.size() + s.fleetRandom > kMaxFleetVessels) {
        std::cerr << "Error : " << fleet.vessels.size() << " vessels and --fleet-random " << s.fleetRandom
                  << " are more than the " << kMaxFleetVessels << " vessels a run takes" << std::endl;
        return FleetOutcome::BadRequest;
    }
    if (s.fleetRandom > 0) {
        std::unordered_set<std::uint32_t> used;
        for (const FleetVessel& v : fleet.vessels) used.insert(v.mmsi);
        AddRandomFleet(fleet, s.fleetRandom, area, seed, used);
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
    return run.OutOfMemory() ? FleetOutcome::OutOfMemory : FleetOutcome::Ran;
}

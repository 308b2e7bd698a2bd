#include "emulator/app/Entry.h"

#include "emulator/app/CommandLine.h"
#include "emulator/app/FleetMode.h"
#include "emulator/app/TextWarnings.h"
#include "emulator/app/UpdateCheck.h"
#include "emulator/encoding/AISMessageEncoder.h"
#include "emulator/model/CVesselModelImpl.h"
#include "platform/InstanceLock.h"
#include "platform/OutputDevice.h"
#include "platform/Signals.h"
#include "platform/StopSignals.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace {

constexpr std::chrono::milliseconds kPollInterval{100};
constexpr int kRunNeverStarted = 1;  // a run that ran and ended gives 0, help and usage errors -1

bool IsConsoleOutput(const std::string& output)
{
    constexpr std::string_view kConsole = "CON";
    return std::equal(output.begin(), output.end(), kConsole.begin(), kConsole.end(),
                      [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; });
}

bool AnyConsoleOutput(const VesselSettings& s)
{
    const std::vector<std::string> outputs = OutputList(s);
    return std::any_of(outputs.begin(), outputs.end(), IsConsoleOutput);
}

bool AnyMessageEnabled(const VesselSettings& s)
{
    return s.nmeaDoMsg1 || s.nmeaDoMsg5 || s.nmeaDoMsg18 || s.nmeaDoMsg19 || s.nmeaDoMsg24;
}

} // namespace

void ApplySettings(const VesselSettings& s, CVesselModelImpl& model)
{
    model.m_mmsi = s.vesselMmsi;
    model.m_imoNumber = s.vesselImo;
    model.m_shipName = s.vesselName;
    model.m_callSign = s.vesselCall;
    model.m_shipType = s.vesselType;
    model.m_dimA = s.vesselDimA;
    model.m_dimB = s.vesselDimB;
    model.m_dimC = s.vesselDimC;
    model.m_dimD = s.vesselDimD;
    model.m_epfdType = s.vesselPosDevice;
    model.m_navStatus = s.vesselStatus;
    model.m_positionAccuracy = s.vesselAccuracy;
    model.m_latitude = s.vesselLat;
    model.m_longitude = s.vesselLon;
    model.m_speedOverGround = s.vesselSog;
    model.m_courseOverGround = s.vesselCog;
    model.m_rateOfTurn = s.vesselRot;
    model.m_destination = s.portDest;
    model.m_portOfOrigin = s.portOrigin;
    model.m_serialBaudRate = s.outputBaudRate;
    model.m_serialDataBits = s.outputDataBits;
    model.m_serialStopBits = s.outputStopBits;
    model.m_outputs = s.outputs;
    model.m_network = NetworkOptionsOf(s);
    model.m_ignoreTimings = s.ignoreTimings;
    model.m_enableMsg1 = s.nmeaDoMsg1;
    model.m_enableMsg5 = s.nmeaDoMsg5;
    model.m_enableMsg18 = s.nmeaDoMsg18;
    model.m_enableMsg19 = s.nmeaDoMsg19;
    model.m_enableMsg24 = s.nmeaDoMsg24;
    model.Encoder().m_bChecksumEnabled = !s.ignoreCrc;
    model.Encoder().m_bUpperCaseChecksum = s.nmeaUpperCrc;
    model.Encoder().m_bOwnShip = s.nmeaOwnShip;
    model.m_ownShip = s.nmeaOwnShip;
}

namespace {

int RunVesgenUnguarded(int argc, char** argv)
{
    // Before anything is opened: a closed standard descriptor would otherwise be taken
    // by the lock file or the output, and text meant for the console would land there.
    const platform::ClosedStandardStreams closedAtStart = platform::FillClosedStandardStreams();

    if (WantsVersion(argc, argv)) {
        std::cout << VersionText() << std::endl;
        return 0;
    }
    // A client that goes away must end a run through its channel, not kill the process.
    platform::IgnoreBrokenPipeSignal();

    platform::InstanceLock guard(kInstanceLockName);
    switch (guard.Acquire()) {
    case platform::InstanceLock::Result::Acquired:
        break;
    case platform::InstanceLock::Result::Failed:
        std::cerr << "Error : Flags initialization error." << std::endl;
        return kRunNeverStarted;
    case platform::InstanceLock::Result::AlreadyHeld:
        std::cerr << "Warning : KVL AIS Emulator already started. Simulator support only one active instance.\n"
                  << std::endl;
        return kRunNeverStarted;
    }

    VesselSettings settings;
    if (!ParseCommandLine(argc, argv, settings)) return -1;

    if (settings.checkUpdate) return CheckForUpdate();

    if (WantsFleet(settings)) {
        if (closedAtStart.output && AnyConsoleOutput(settings)) {
            std::cerr << "Error : standard output is closed, there is nowhere to write the sentences." << std::endl;
            return kRunNeverStarted;
        }
        WarnAboutUnsendableText(settings, std::cerr);
        WarnAboutOutOfRangeValues(settings, std::cerr);
        const FleetOutcome outcome = RunFleet(settings);
        return outcome == FleetOutcome::Ran ? 0 : outcome == FleetOutcome::NeverStarted ? kRunNeverStarted : -1;
    }

    for (const auto& [given, option] : {std::pair{!settings.fleetArea.empty(), "--fleet-area"},
                                        std::pair{!settings.fleetSeed.empty(), "--fleet-seed"}}) {
        if (given)
            std::cerr << "Warning : " << option << " applies to a fleet (--fleet, --fleet-random); without one it is "
                      << "ignored" << std::endl;
    }
    // An own ship without an AIS type still sends what its GPS receiver says.
    if (!AnyMessageEnabled(settings) && !settings.nmeaOwnShip) {
        std::cerr << "Error : Nothing to do!\nPlease specify required types of message for generating with "
                     "--nmea-domsg<X> key, where X = 1,5,18,19,24"
                  << std::endl;
        return -1;
    }

    if (closedAtStart.output && AnyConsoleOutput(settings)) {
        std::cerr << "Error : standard output is closed, there is nowhere to write the sentences." << std::endl;
        return kRunNeverStarted;
    }

    WarnAboutUnsendableText(settings, std::cerr);
    WarnAboutOutOfRangeValues(settings, std::cerr);
    // Before the run's threads start, so that they inherit the hold on the signals.
    platform::StopSignals stopSignals;
    {
        CVesselModelImpl model(settings.output);
        ApplySettings(settings, model);
        IModelControl& control = model;
        control.Start();
        // The simulation thread starts only once the channel is open and configured.
        if (!model.IsSimulationRunning()) {
            control.Stop();
            return kRunNeverStarted;
        }
        // Ctrl+C, kill and a hang-up end the run as a stop does: the last steps go out,
        // the output is closed in order, and the run counts as one that ran.
        while (model.HasWriter() && model.IsWriterAlive() && model.IsSimulationRunning() &&
               !stopSignals.Wait(kPollInterval)) {
        }
        control.Stop();
    }
    return 0;
}

} // namespace

int RunVesgen(int argc, char** argv)
{
    try {
        return RunVesgenUnguarded(argc, argv);
    } catch (const std::bad_alloc&) {
        // A fleet or file larger than the machine can hold: said in one line, not a crash.
        std::cerr << "Error : out of memory; the fleet or its file is larger than this machine can hold." << std::endl;
        return -1;
    }
}

#pragma once

#include "emulator/channels/ChannelSelection.h"

#include <cstdint>
#include <string>
#include <vector>

// The values of vesgen's command-line options, filled once by ParseCommandLine and read
// by program entry. A default-constructed record holds each option's default: the
// declared default of the options that have one (shown by the help), the initial value
// of the others.
struct VesselSettings {
    std::string output = "CON";  // where the sentences go: a file, CON, COMn, TCP*port or UDP*host:port
    int outputBaudRate = 38400;  // bits per second, serial only
    int outputDataBits = 8;      // serial only
    int outputStopBits = 1;      // serial only: 1 gives one stop bit, any other value two
    std::string portDest = "PHILADELPHIA";
    std::string portOrigin = "NEW-YORK";
    bool vesselAccuracy = true;  // position accuracy: true high
    std::string vesselCall = "KVLSIM";
    float vesselCog = 0.0F;      // degrees
    int vesselDimA = 12;         // metres to bow
    int vesselDimB = 12;         // metres to stern
    int vesselDimC = 6;          // metres to port
    int vesselDimD = 6;          // metres to starboard
    std::uint32_t vesselImo = 123456;
    double vesselLat = 0.0;      // degrees, north positive
    double vesselLon = 0.0;      // degrees, east positive
    std::uint32_t vesselMmsi = 338272001;
    std::string vesselName = "SHIP NAME";
    int vesselPosDevice = 1;     // EPFD type
    float vesselRot = 0.0F;      // degrees per minute
    float vesselSog = 0.0F;      // knots
    int vesselType = 99;         // ship and cargo type
    int vesselStatus = 0;        // navigational status
    bool ignoreTimings = false;
    bool ignoreCrc = false;
    bool nmeaDoMsg1 = false;
    bool nmeaDoMsg5 = false;
    bool nmeaDoMsg18 = false;
    bool nmeaDoMsg19 = false;
    bool nmeaDoMsg24 = false;
    bool checkUpdate = false;
    bool nmeaUpperCrc = false;   // checksum digits in upper case
    bool nmeaOwnShip = false;    // the vessel is the own ship: AIVDO and GPS sentences
    std::string fleet;           // CSV file of vessels
    std::uint32_t fleetRandom = 0;  // number of random vessels
    std::string fleetArea;       // SOUTH,WEST,NORTH,EAST; empty: around the command-line vessel
    std::string fleetSeed;       // decimal; empty: the time
    // Stations of other kinds.
    std::string stationKind = "vessel";  // vessel|base|aton|sar-aircraft|sart|mob|epirb
    bool nmeaDoMsg4 = false;
    bool nmeaDoMsg9 = false;
    bool nmeaDoMsg14 = false;
    bool nmeaDoMsg21 = false;
    bool nmeaDoMsg27 = false;
    int atonType = 0;            // type of aid to navigation, 0-31
    bool atonVirtual = false;
    bool atonOffPosition = false;
    int sarAltitude = 300;       // metres; below 0 not available
    std::string beaconMode = "active";  // active|test
    std::string safetyText;      // message 14; empty: the kind's text
    std::uint32_t fleetAton = 0;          // random aids to navigation
    std::uint32_t fleetBaseStations = 0;  // random base stations
    std::uint32_t fleetSarAircraft = 0;   // random SAR aircraft
    std::uint32_t fleetBeacons = 0;       // random distress beacons
    bool keepToWater = false;    // command-line and CSV vessels steer clear of land
    // Scenarios, routes and simulated time.
    std::string scenario;        // JSON file: own ship, targets, events
    std::string route;           // GPX file: the command-line vessel's route
    std::string routeEnd = "stop";  // stop|loop|reverse
    double timeFactor = 1.0;     // simulated seconds per real second, 0.1 to 100
    // Several outputs and the network outputs' settings.
    std::vector<std::string> outputs;  // every --output as given; `output` holds the first
    int tcpClients = 1;          // clients the TCP server serves at once
    std::string tcpBind;         // address the TCP server listens on; empty: every interface
    int udpTtl = 1;              // TTL or hop limit of multicast datagrams
    std::string udpInterface;    // interface multicast leaves from; empty: the system's choice
};

// The network outputs' settings of the run.
inline NetworkOptions NetworkOptionsOf(const VesselSettings& s)
{
    return NetworkOptions{s.tcpClients, s.tcpBind, s.udpTtl, s.udpInterface};
}

// Every output of the run: each --output given, or the default.
inline std::vector<std::string> OutputList(const VesselSettings& s)
{
    return s.outputs.empty() ? std::vector<std::string>{s.output} : s.outputs;
}

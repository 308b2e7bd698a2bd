#include "emulator/app/CommandLine.h"

#include "emulator/app/BuildInfo.h"

#include <boost/program_options.hpp>

#include <iostream>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace po = boost::program_options;

namespace {

constexpr unsigned kLineLength = 80;            // columns of the help output
constexpr unsigned kMinDescriptionLength = 40;  // columns kept for each help text

// Declared: the library's default, shown in the help and stored when the option is
// absent. Implicit: a flag that reads true when given without a value. None: the field
// keeps its initial value when the option is absent.
enum class DefaultKind { None, Declared, Implicit };

using Field = std::variant<std::monostate, std::string VesselSettings::*, int VesselSettings::*,
                           std::uint32_t VesselSettings::*, float VesselSettings::*,
                           double VesselSettings::*, bool VesselSettings::*,
                           std::vector<std::string> VesselSettings::*>;

struct OptionRow {
    const char* name;
    Field field;  // monostate: the option takes no value
    DefaultKind kind;
    const char* help;
};

using S = VesselSettings;
using K = DefaultKind;

// The options in the order the help lists them. Defaults come from a default-constructed
// VesselSettings.
const OptionRow kOptions[] = {
    {"help,h", {}, K::None, "produce help message"},
    {"output", &S::outputs, K::None,
     R"kvl(Save output as file name: CON, COM1, COM2, C:\AIS\log.txt, "c:\Program Files\data\log1.txt"; TCP*port; UDP*host:port)kvl"},
    {"output-baudrate", &S::outputBaudRate, K::Declared, "Output stream rate (valid for serial ONLY) : 9600,19200,38400,..."},
    {"output-databits", &S::outputDataBits, K::Declared, "Output stream data bits (valid for serial ONLY) : 8"},
    {"output-stopbits", &S::outputStopBits, K::Declared, "Output stream stop bits (valid for serial ONLY) : 1, 2"},
    {"port-dest", &S::portDest, K::None, "Port of destination"},
    {"port-origin", &S::portOrigin, K::None, "Port of origin"},
    {"vessel-accuracy", &S::vesselAccuracy, K::Declared, "Position occuracy: 1(high), 0(low)"},
    {"vessel-call", &S::vesselCall, K::None, "Vessel callsign"},
    {"vessel-cog", &S::vesselCog, K::Declared, "Vessel Course Over Ground"},
    {"vessel-dima", &S::vesselDimA, K::Declared, "Vessel dimension to Bow, meters"},
    {"vessel-dimb", &S::vesselDimB, K::Declared, "Vessel dimension to Stern, meters"},
    {"vessel-dimc", &S::vesselDimC, K::Declared, "Vessel dimension to Port, meters"},
    {"vessel-dimd", &S::vesselDimD, K::Declared, "Vessel dimension to StarBoard, meters"},
    {"vessel-imo", &S::vesselImo, K::Declared, "Vessel IMO Number"},
    {"vessel-lat", &S::vesselLat, K::Declared, "Vessel initial latitude"},
    {"vessel-lon", &S::vesselLon, K::Declared, "Vessel initial longitude"},
    {"vessel-mmsi", &S::vesselMmsi, K::Declared, "Vessel MMSI"},
    {"vessel-name", &S::vesselName, K::None, "Vessel Name"},
    {"vessel-postdevice", &S::vesselPosDevice, K::Declared, "Vessel positioning device"},
    {"vessel-rot", &S::vesselRot, K::Declared, "Vessel Rate Of Turn"},
    {"vessel-sog", &S::vesselSog, K::Declared, "Vessel Speed Over Ground"},
    {"vessel-type", &S::vesselType, K::Declared, "Vessel Type"},
    {"vessel-status", &S::vesselStatus, K::Declared, "Navigation Status"},
    {"ignore-timings", &S::ignoreTimings, K::Implicit, "Debug: Ignore AIS timings for message generation rate"},
    {"ignore-crc", &S::ignoreCrc, K::Implicit, "Debug: disable generation of CRC of each NMEA message"},
    {"nmea-domsg1", &S::nmeaDoMsg1, K::Implicit, "Debug: Generate AIS Message Type 1 (class A)"},
    {"nmea-domsg5", &S::nmeaDoMsg5, K::Implicit, "Debug: Generate AIS Message Type 5 (class A)"},
    {"nmea-domsg18", &S::nmeaDoMsg18, K::Implicit, "Debug: Generate AIS Message Type 18 (class B)"},
    {"nmea-domsg19", &S::nmeaDoMsg19, K::Implicit, "Debug: Generate AIS Message Type 19 (class B)"},
    {"nmea-domsg24", &S::nmeaDoMsg24, K::Implicit, "Debug: Generate AIS Message Type 24 A/B (class B)"},
    {"check-update", &S::checkUpdate, K::Implicit, "Check for software updates"},
    {"nmea-upper-crc", &S::nmeaUpperCrc, K::Implicit, "Write the NMEA checksum in upper case (for strict decoders)"},
    {"nmea-own-ship", &S::nmeaOwnShip, K::Implicit,
     "The vessel is the own ship: AIS as !AIVDO, and GPS sentences (RMC, GGA, VTG, ZDA, HDT) every second"},
    {"fleet", &S::fleet, K::None,
     "CSV file of vessels (header: option names without dashes, e.g. vessel-name,vessel-mmsi,vessel-lat,...)"},
    {"fleet-random", &S::fleetRandom, K::Declared, "Number of random vessels drawn from the built-in ship list"},
    {"fleet-area", &S::fleetArea, K::None,
     "Area of the random fleet: SOUTH,WEST,NORTH,EAST in degrees (default: 15 nautical miles around --vessel-lat/lon)"},
    {"fleet-seed", &S::fleetSeed, K::None, "Seed of the random fleet (default: the time, printed at start)"},
    {"version", {}, K::None, "Print the product name and version, then exit"},
    // Stations of other kinds.
    {"station-kind", &S::stationKind, K::Declared,
     "Kind of the command-line station: vessel, base (base station), aton (aid to navigation), sar-aircraft, "
     "sart, mob or epirb (distress beacons)"},
    {"nmea-domsg4", &S::nmeaDoMsg4, K::Implicit, "Generate AIS Message Type 4 (base station report)"},
    {"nmea-domsg9", &S::nmeaDoMsg9, K::Implicit, "Generate AIS Message Type 9 (SAR aircraft position report)"},
    {"nmea-domsg14", &S::nmeaDoMsg14, K::Implicit, "Generate AIS Message Type 14 (safety-related broadcast)"},
    {"nmea-domsg21", &S::nmeaDoMsg21, K::Implicit, "Generate AIS Message Type 21 (aid-to-navigation report)"},
    {"nmea-domsg27", &S::nmeaDoMsg27, K::Implicit, "Generate AIS Message Type 27 (long-range broadcast)"},
    {"aton-type", &S::atonType, K::Declared, "Type of aid to navigation, 0-31 (message 21)"},
    {"aton-virtual", &S::atonVirtual, K::Implicit, "The aid to navigation is virtual"},
    {"aton-off-position", &S::atonOffPosition, K::Implicit, "The floating aid to navigation is off position"},
    {"sar-altitude", &S::sarAltitude, K::Declared,
     "SAR aircraft altitude in metres (message 9): 4094 or more is sent as 4094, below 0 as not available"},
    {"beacon-mode", &S::beaconMode, K::Declared,
     "Distress beacon mode: active (status 14, \"... ACTIVE\") or test (status 15, \"... TEST\")"},
    {"safety-text", &S::safetyText, K::None,
     "Text of message 14, up to 161 characters (default: a beacon's ACTIVE or TEST text, else SAFETY TEST)"},
    {"fleet-aton", &S::fleetAton, K::Declared, "Number of random aids to navigation near the fleet's vessels"},
    {"fleet-base-stations", &S::fleetBaseStations, K::Declared, "Number of random base stations in the fleet area"},
    {"fleet-sar-aircraft", &S::fleetSarAircraft, K::Declared, "Number of random SAR aircraft in the fleet area"},
    {"fleet-beacons", &S::fleetBeacons, K::Declared,
     "Number of random distress beacons (SART, MOB, EPIRB in turn) near the fleet's vessels"},
    {"keep-to-water", &S::keepToWater, K::Implicit,
     "The command-line vessel and the --fleet file's vessels steer clear of land (random vessels always do)"},
    // Scenarios, routes and simulated time.
    {"scenario", &S::scenario, K::None,
     "JSON file of a scenario: an own ship, targets met at a given CPA and TCPA or sailing routes, timed events"},
    {"route", &S::route, K::None,
     "GPX file whose route (or track, at the speeds its times give) the command-line vessel sails"},
    {"route-end", &S::routeEnd, K::Declared, "At the end of the --route: stop, loop or reverse"},
    {"time-factor", &S::timeFactor, K::Declared,
     "Simulated time runs this many times as fast as the clock, 0.1 to 100 (one step per simulated second)"},
    // Several outputs (--output given more than once) and the network outputs.
    {"tcp-clients", &S::tcpClients, K::Declared,
     "Clients a TCP*port server feeds at once (1-1024); one more is refused"},
    {"tcp-bind", &S::tcpBind, K::None,
     "Address a TCP*port server listens on (default: every interface, open to the network; 127.0.0.1: this "
     "machine only)"},
    {"udp-ttl", &S::udpTtl, K::Declared, "TTL (IPv4) or hop limit (IPv6) of UDP multicast datagrams, 0-255"},
    {"udp-interface", &S::udpInterface, K::None,
     "Interface UDP multicast leaves from: one of its addresses or its name (default: the system's choice)"},
};

// The library's typed value with two holes closed, using the library's own exceptions
// and wording: a flag given twice without a value is accepted by the library (its
// implicit value skips the repetition check), and an unsigned target takes "-5" as
// 4294967291.
template <class T>
class StrictValue final : public po::typed_value<T> {
public:
    explicit StrictValue(T* target) : po::typed_value<T>(target) {}

    void xparse(boost::any& store, const std::vector<std::string>& tokens) const override
    {
        if (!store.empty()) throw po::multiple_occurrences();
        if constexpr (std::is_unsigned_v<T> && !std::is_same_v<T, bool>) {
            for (const std::string& token : tokens)
                if (token.find('-') != std::string::npos) throw po::invalid_option_value(token);
        }
        po::typed_value<T>::xparse(store, tokens);
    }
};

template <class T>
po::typed_value<T>* MakeValue(T* target)
{
    return new StrictValue<T>(target);  // adopted by the options description, as po::value's are
}

void AddOptions(po::options_description& description, VesselSettings& target)
{
    static const VesselSettings kDefaults;
    for (const OptionRow& row : kOptions) {
        std::visit(
            [&](auto member) {
                if constexpr (std::is_same_v<decltype(member), std::monostate>) {
                    description.add_options()(row.name, row.help);
                } else if constexpr (std::is_same_v<decltype(member), std::vector<std::string> VesselSettings::*>) {
                    // Given as often as wanted, one value each time.
                    description.add_options()(row.name, po::value(&(target.*member)), row.help);
                } else {
                    using T = std::remove_reference_t<decltype(target.*member)>;
                    po::typed_value<T>* value = MakeValue<T>(&(target.*member));
                    if (row.kind == DefaultKind::Declared) value->default_value(kDefaults.*member);
                    if constexpr (std::is_same_v<T, bool>) {
                        if (row.kind == DefaultKind::Implicit) value->implicit_value(true);
                    }
                    description.add_options()(row.name, value, row.help);
                }
            },
            row.field);
    }
}

void PrintHelp(std::ostream& out, const po::options_description& description)
{
    out << "KVL AIS Emulator" << std::endl;
    out << "Copyright (c) KVL" << std::endl;
    out << "http://" << SiteHost() << "/vesgen.html" << std::endl;
    out << description << std::endl;
}

} // namespace

bool ParseCommandLine(int argc, char** argv, VesselSettings& settings, std::ostream& out)
{
    try {
        // Values land in a copy, so a failed or help-only parse leaves the caller's record
        // as it was.
        VesselSettings parsed = settings;
        po::options_description description("Allowed options", kLineLength, kMinDescriptionLength);
        AddOptions(description, parsed);
        po::variables_map map;
        // No option is positional: a stray word is an error rather than silently dropped.
        const po::positional_options_description noPositional;
        po::store(po::command_line_parser(argc, argv).options(description).positional(noPositional).run(), map);
        if (map.count("help") != 0) {
            PrintHelp(out, description);
            return false;
        }
        po::notify(map);
        if (!parsed.outputs.empty()) parsed.output = parsed.outputs.front();
        settings = parsed;
        return true;
    } catch (const std::exception& e) {
        out << e.what() << std::flush;
        return false;
    }
}

bool WantsVersion(int argc, char** argv)
{
    // The parser takes any unambiguous start of a long option's name for it, so the
    // arguments are looked up the way it looks them up.
    VesselSettings unused;
    po::options_description description;
    AddOptions(description, unused);
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        // "--version=x" is a value the option does not take: the parser's error tells it.
        if (!argument.starts_with("--") || argument.size() == 2 || argument.find('=') != std::string_view::npos)
            continue;
        const std::string name(argument.substr(2));
        try {
            const po::option_description* option = description.find_nothrow(name, true);
            if (option != nullptr && option->long_name() == "version") return true;
        } catch (const po::error&) {
            // An ambiguous start names no option.
        }
    }
    return false;
}

std::string VersionText()
{
    std::string text = "KVL AIS Emulator";
    if (const auto version = CompiledVersion())
        text += " " + std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
                std::to_string(version->build);
    return text;
}

bool ParseCommandLine(int argc, char** argv, VesselSettings& settings)
{
    return ParseCommandLine(argc, argv, settings, std::cout);
}

#include "emulator/app/CommandLine.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Parsed {
    bool ok = false;
    std::string out;
    VesselSettings settings;
};

Parsed Parse(const std::vector<std::string>& args, const VesselSettings& initial = {})
{
    std::vector<std::string> words{"vesgen"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    Parsed p;
    p.settings = initial;
    std::ostringstream out;
    p.ok = ParseCommandLine(static_cast<int>(words.size()), argv.data(), p.settings, out);
    p.out = out.str();
    return p;
}

// A record whose every field differs from the option defaults, to see which fields
// the parse writes.
VesselSettings Scribbled()
{
    VesselSettings s;
    s.output = "initial-output";
    s.outputBaudRate = 1;
    s.outputDataBits = 2;
    s.outputStopBits = 3;
    s.portDest = "initial-dest";
    s.portOrigin = "initial-origin";
    s.vesselAccuracy = false;
    s.vesselCall = "initial-call";
    s.vesselCog = 4.0F;
    s.vesselDimA = s.vesselDimB = s.vesselDimC = s.vesselDimD = 5;
    s.vesselImo = 6;
    s.vesselLat = 7.0;
    s.vesselLon = 8.0;
    s.vesselMmsi = 9;
    s.vesselName = "initial-name";
    s.vesselPosDevice = 10;
    s.vesselRot = 11.0F;
    s.vesselSog = 12.0F;
    s.vesselType = 13;
    s.vesselStatus = 14;
    s.ignoreTimings = s.ignoreCrc = s.checkUpdate = true;
    s.nmeaDoMsg1 = s.nmeaDoMsg5 = s.nmeaDoMsg18 = s.nmeaDoMsg19 = s.nmeaDoMsg24 = true;
    return s;
}

bool SameSettings(const VesselSettings& a, const VesselSettings& b)
{
    return a.output == b.output && a.outputBaudRate == b.outputBaudRate && a.outputDataBits == b.outputDataBits &&
           a.outputStopBits == b.outputStopBits && a.portDest == b.portDest && a.portOrigin == b.portOrigin &&
           a.vesselAccuracy == b.vesselAccuracy && a.vesselCall == b.vesselCall && a.vesselCog == b.vesselCog &&
           a.vesselDimA == b.vesselDimA && a.vesselDimB == b.vesselDimB && a.vesselDimC == b.vesselDimC &&
           a.vesselDimD == b.vesselDimD && a.vesselImo == b.vesselImo && a.vesselLat == b.vesselLat &&
           a.vesselLon == b.vesselLon && a.vesselMmsi == b.vesselMmsi && a.vesselName == b.vesselName &&
           a.vesselPosDevice == b.vesselPosDevice && a.vesselRot == b.vesselRot && a.vesselSog == b.vesselSog &&
           a.vesselType == b.vesselType && a.vesselStatus == b.vesselStatus && a.ignoreTimings == b.ignoreTimings &&
           a.ignoreCrc == b.ignoreCrc && a.nmeaDoMsg1 == b.nmeaDoMsg1 && a.nmeaDoMsg5 == b.nmeaDoMsg5 &&
           a.nmeaDoMsg18 == b.nmeaDoMsg18 && a.nmeaDoMsg19 == b.nmeaDoMsg19 && a.nmeaDoMsg24 == b.nmeaDoMsg24 &&
           a.checkUpdate == b.checkUpdate;
}

TEST(ParseCommandLine, NoOptionsGivesTheDocumentedVessel)
{
    const Parsed p = Parse({});
    ASSERT_TRUE(p.ok) << p.out;
    EXPECT_EQ(p.out, "");
    const VesselSettings& s = p.settings;
    EXPECT_EQ(s.output, "CON");
    EXPECT_EQ(s.vesselName, "SHIP NAME");
    EXPECT_EQ(s.vesselCall, "KVLSIM");
    EXPECT_EQ(s.vesselMmsi, 338272001U);
    EXPECT_EQ(s.vesselImo, 123456U);
    EXPECT_EQ(s.vesselType, 99);
    EXPECT_EQ(s.vesselDimA, 12);
    EXPECT_EQ(s.vesselDimB, 12);
    EXPECT_EQ(s.vesselDimC, 6);
    EXPECT_EQ(s.vesselDimD, 6);
    EXPECT_EQ(s.vesselLat, 0.0);
    EXPECT_EQ(s.vesselLon, 0.0);
    EXPECT_EQ(s.vesselSog, 0.0F);
    EXPECT_EQ(s.vesselCog, 0.0F);
    EXPECT_EQ(s.vesselRot, 0.0F);
    EXPECT_EQ(s.portDest, "PHILADELPHIA");
    EXPECT_EQ(s.portOrigin, "NEW-YORK");
    EXPECT_EQ(s.outputBaudRate, 38400);
    EXPECT_EQ(s.outputDataBits, 8);
    EXPECT_EQ(s.outputStopBits, 1);
    EXPECT_TRUE(s.vesselAccuracy);
    EXPECT_EQ(s.vesselPosDevice, 1);
    EXPECT_EQ(s.vesselStatus, 0);
    EXPECT_FALSE(s.ignoreTimings || s.ignoreCrc || s.checkUpdate);
    EXPECT_FALSE(s.nmeaDoMsg1 || s.nmeaDoMsg5 || s.nmeaDoMsg18 || s.nmeaDoMsg19 || s.nmeaDoMsg24);
}

// Options with a declared default overwrite the field; the others keep its initial value.
TEST(ParseCommandLine, AbsentOptionsWriteDeclaredDefaultsAndKeepInitialValues)
{
    const VesselSettings initial = Scribbled();
    const Parsed p = Parse({}, initial);
    ASSERT_TRUE(p.ok) << p.out;
    const VesselSettings& s = p.settings;
    // Declared defaults.
    EXPECT_EQ(s.outputBaudRate, 38400);
    EXPECT_EQ(s.outputDataBits, 8);
    EXPECT_EQ(s.outputStopBits, 1);
    EXPECT_TRUE(s.vesselAccuracy);
    EXPECT_EQ(s.vesselCog, 0.0F);
    EXPECT_EQ(s.vesselDimA, 12);
    EXPECT_EQ(s.vesselDimB, 12);
    EXPECT_EQ(s.vesselDimC, 6);
    EXPECT_EQ(s.vesselDimD, 6);
    EXPECT_EQ(s.vesselImo, 123456U);
    EXPECT_EQ(s.vesselLat, 0.0);
    EXPECT_EQ(s.vesselLon, 0.0);
    EXPECT_EQ(s.vesselMmsi, 338272001U);
    EXPECT_EQ(s.vesselPosDevice, 1);
    EXPECT_EQ(s.vesselRot, 0.0F);
    EXPECT_EQ(s.vesselSog, 0.0F);
    EXPECT_EQ(s.vesselType, 99);
    EXPECT_EQ(s.vesselStatus, 0);
    // Initial values kept.
    EXPECT_EQ(s.output, initial.output);
    EXPECT_EQ(s.portDest, initial.portDest);
    EXPECT_EQ(s.portOrigin, initial.portOrigin);
    EXPECT_EQ(s.vesselCall, initial.vesselCall);
    EXPECT_EQ(s.vesselName, initial.vesselName);
    EXPECT_TRUE(s.ignoreTimings && s.ignoreCrc && s.checkUpdate);
    EXPECT_TRUE(s.nmeaDoMsg1 && s.nmeaDoMsg5 && s.nmeaDoMsg18 && s.nmeaDoMsg19 && s.nmeaDoMsg24);
}

struct AcceptedRow {
    std::string name;
    std::vector<std::string> args;
    std::function<bool(const VesselSettings&)> holds;
};

TEST(ParseCommandLine, AcceptedCommandLines)
{
    const std::vector<AcceptedRow> rows = {
        {"flag alone switches on", {"--nmea-domsg1"},
         [](const VesselSettings& s) { return s.nmeaDoMsg1 && !s.nmeaDoMsg18 && !s.nmeaDoMsg19; }},
        {"flag =0 stays off", {"--nmea-domsg1=0"}, [](const VesselSettings& s) { return !s.nmeaDoMsg1; }},
        {"flag value as the next word", {"--nmea-domsg1", "off"}, [](const VesselSettings& s) { return !s.nmeaDoMsg1; }},
        {"flag =yes", {"--nmea-domsg24=yes"}, [](const VesselSettings& s) { return s.nmeaDoMsg24; }},
        {"exact name beats longer ones", {"--nmea-domsg1", "--nmea-domsg18"},
         [](const VesselSettings& s) { return s.nmeaDoMsg1 && s.nmeaDoMsg18 && !s.nmeaDoMsg19; }},
        {"ignore-crc", {"--ignore-crc"}, [](const VesselSettings& s) { return s.ignoreCrc && !s.ignoreTimings; }},
        {"ignore-timings", {"--ignore-timings"}, [](const VesselSettings& s) { return s.ignoreTimings; }},
        {"check-update", {"--check-update"}, [](const VesselSettings& s) { return s.checkUpdate; }},
        {"accuracy as next word", {"--vessel-accuracy", "0"}, [](const VesselSettings& s) { return !s.vesselAccuracy; }},
        {"accuracy after =", {"--vessel-accuracy=false"}, [](const VesselSettings& s) { return !s.vesselAccuracy; }},
        {"largest mmsi", {"--vessel-mmsi", "4294967295"},
         [](const VesselSettings& s) { return s.vesselMmsi == 4294967295U; }},
        {"imo with =", {"--vessel-imo=9074729"}, [](const VesselSettings& s) { return s.vesselImo == 9074729U; }},
        {"negative int", {"--vessel-dima", "-3"}, [](const VesselSettings& s) { return s.vesselDimA == -3; }},
        {"doubles", {"--vessel-lat", "46.48", "--vessel-lon", "-30.75"},
         [](const VesselSettings& s) { return s.vesselLat == 46.48 && s.vesselLon == -30.75; }},
        {"floats", {"--vessel-sog", "12.5", "--vessel-cog=135", "--vessel-rot", "-2.25"},
         [](const VesselSettings& s) { return s.vesselSog == 12.5F && s.vesselCog == 135.0F && s.vesselRot == -2.25F; }},
        {"text with blanks", {"--vessel-name", "DEMO VESSEL", "--port-dest=NEW ORLEANS"},
         [](const VesselSettings& s) { return s.vesselName == "DEMO VESSEL" && s.portDest == "NEW ORLEANS"; }},
        {"windows path kept as written", {"--output", R"(c:\Program Files\data\log1.txt)"},
         [](const VesselSettings& s) { return s.output == R"(c:\Program Files\data\log1.txt)"; }},
        {"tcp output", {"--output=TCP*10110"}, [](const VesselSettings& s) { return s.output == "TCP*10110"; }},
        {"several outputs in order, the first as the output", {"--output", "a.txt", "--output=TCP*10110", "--output", "CON"},
         [](const VesselSettings& s) {
             return s.output == "a.txt" && s.outputs == std::vector<std::string>{"a.txt", "TCP*10110", "CON"};
         }},
        {"network outputs' defaults", {},
         [](const VesselSettings& s) {
             return s.outputs.empty() && s.tcpClients == 1 && s.tcpBind.empty() && s.udpTtl == 1 && s.udpInterface.empty();
         }},
        {"network outputs' options", {"--tcp-clients", "3", "--tcp-bind", "::1", "--udp-ttl=0", "--udp-interface", "lo"},
         [](const VesselSettings& s) {
             return s.tcpClients == 3 && s.tcpBind == "::1" && s.udpTtl == 0 && s.udpInterface == "lo";
         }},
        {"unambiguous abbreviation", {"--vessel-na", "X"}, [](const VesselSettings& s) { return s.vesselName == "X"; }},
        {"serial line", {"--output", "COM2", "--output-baudrate", "4800", "--output-stopbits", "2"},
         [](const VesselSettings& s) {
             return s.output == "COM2" && s.outputBaudRate == 4800 && s.outputStopBits == 2 && s.outputDataBits == 8;
         }},
    };
    for (const AcceptedRow& row : rows) {
        const Parsed p = Parse(row.args);
        EXPECT_TRUE(p.ok) << row.name << ": " << p.out;
        EXPECT_EQ(p.out, "") << row.name;
        EXPECT_TRUE(row.holds(p.settings)) << row.name;
    }
}

struct RejectedRow {
    std::string name;
    std::vector<std::string> args;
    std::string message;  // the library's description, printed without a line end
};

TEST(ParseCommandLine, RejectedCommandLinesReportOnceAndChangeNothing)
{
    const std::vector<RejectedRow> rows = {
        {"value missing at the end", {"--vessel-accuracy"},
         "the required argument for option '--vessel-accuracy' is missing"},
        {"text for a number", {"--vessel-mmsi", "abc"}, "the argument ('abc') for option '--vessel-mmsi' is invalid"},
        {"negative unsigned", {"--vessel-mmsi", "-5"}, "the argument ('-5') for option '--vessel-mmsi' is invalid"},
        {"negative unsigned after =", {"--vessel-imo=-1"}, "the argument ('-1') for option '--vessel-imo' is invalid"},
        {"unsigned out of range", {"--vessel-imo", "4294967296"},
         "the argument ('4294967296') for option '--vessel-imo' is invalid"},
        {"text for a float", {"--vessel-sog", "fast"}, "the argument ('fast') for option '--vessel-sog' is invalid"},
        {"option given twice", {"--vessel-mmsi", "1", "--vessel-mmsi", "2"},
         "option '--vessel-mmsi' cannot be specified more than once"},
        {"flag given twice", {"--nmea-domsg1", "--nmea-domsg1"}, "option '--nmea-domsg1' cannot be specified more than once"},
        {"flag off then on", {"--nmea-domsg5=0", "--nmea-domsg5"},
         "option '--nmea-domsg5' cannot be specified more than once"},
        {"help twice", {"-h", "--help"}, "option '--help' cannot be specified more than once"},
        {"udp-ttl given twice", {"--udp-ttl", "1", "--udp-ttl", "2"}, "option '--udp-ttl' cannot be specified more than once"},
        {"output without its value", {"--output", "a.txt", "--output"}, "the required argument for option '--output' is missing"},
        {"undeclared option", {"--bogus"}, "unrecognised option '--bogus'"},
        {"undeclared short option", {"-x"}, "unrecognised option '-x'"},
        {"stray word", {"--vessel-name", "DEMO", "VESSEL"}, "too many positional options have been specified on the command line"},
        {"ambiguous abbreviation", {"--vessel-dim", "3"},
         "option '--vessel-dim' is ambiguous and matches '--vessel-dima', '--vessel-dimb', '--vessel-dimc', and "
         "'--vessel-dimd'"},
        {"bad flag value", {"--nmea-domsg1=maybe"},
         "the argument ('maybe') for option '--nmea-domsg1' is invalid. Valid choices are 'on|off', 'yes|no', '1|0' "
         "and 'true|false'"},
        {"error beats help", {"--help", "--bogus"}, "unrecognised option '--bogus'"},
    };
    const VesselSettings initial = Scribbled();
    for (const RejectedRow& row : rows) {
        const Parsed p = Parse(row.args, initial);
        EXPECT_FALSE(p.ok) << row.name;
        EXPECT_EQ(p.out, row.message) << row.name;
        EXPECT_TRUE(SameSettings(p.settings, initial)) << row.name;
    }
}

// The help text of every option as the help output shows it, its wrapped lines joined
// with one blank (the library breaks lines at blanks).
std::vector<std::pair<std::string, std::string>> HelpEntries(const std::string& help)
{
    std::vector<std::pair<std::string, std::string>> entries;
    std::istringstream lines(help);
    std::string line;
    constexpr std::size_t kTextColumn = 33;  // where the library puts the help texts
    while (std::getline(lines, line)) {
        if (line.rfind("  -", 0) == 0) {
            const std::size_t end = line.find(' ', line.find('-'));
            std::string name = line.substr(2, end - 2);
            if (name == "-h") name = "--help";
            entries.emplace_back(name, line.size() > kTextColumn ? line.substr(kTextColumn) : "");
        } else if (!entries.empty() && line.rfind(std::string(kTextColumn, ' '), 0) == 0) {
            std::string& text = entries.back().second;
            while (!text.empty() && text.back() == ' ') text.pop_back();
            text += " " + line.substr(kTextColumn);
        }
    }
    return entries;
}

TEST(ParseCommandLine, HelpShowsBannerAndEveryOptionAndWritesNothing)
{
    for (const char* word : {"--help", "-h", "--he"}) {
        const VesselSettings initial = Scribbled();
        const Parsed p = Parse({word, "--vessel-mmsi", "5"}, initial);
        EXPECT_FALSE(p.ok) << word;
        EXPECT_TRUE(SameSettings(p.settings, initial)) << word;
        EXPECT_EQ(p.out.rfind("KVL AIS Emulator\n", 0), 0U) << word;
        EXPECT_NE(p.out.find("\nAllowed options:\n"), std::string::npos) << word;
        EXPECT_EQ(p.out.substr(p.out.size() - 2), "\n\n") << word;  // the description, then a line end
    }

    const std::string help = Parse({"--help"}).out;
    std::istringstream lines(help);
    std::vector<std::string> banner(4);
    for (std::string& l : banner) std::getline(lines, l);
    EXPECT_EQ(banner[0], "KVL AIS Emulator");
    EXPECT_FALSE(banner[1].empty());
    EXPECT_EQ(banner[2].rfind("http://", 0), 0U);
    EXPECT_EQ(banner[3], "Allowed options:");

    // Lines of the library's layout, byte for byte.
    for (const char* exact : {
             "  -h [ --help ]                  produce help message\n",
             "  --output arg                   Save output as file name: CON, COM1, COM2, \n"
             "                                 C:\\AIS\\log.txt, \"c:\\Program \n"
             "                                 Files\\data\\log1.txt\"; TCP*port; UDP*host:port\n",
             "  --vessel-accuracy arg (=1)     Position occuracy: 1(high), 0(low)\n",
             "  --vessel-mmsi arg (=338272001) Vessel MMSI\n",
             "  --nmea-domsg1 [=arg(=1)]       Debug: Generate AIS Message Type 1 (class A)\n",
             "  --vessel-name arg              Vessel Name\n",
         }) {
        EXPECT_NE(help.find(exact), std::string::npos) << exact;
    }

    // Every option, in declaration order, with its help text exactly.
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"--help", "produce help message"},
        {"--output",
         R"(Save output as file name: CON, COM1, COM2, C:\AIS\log.txt, "c:\Program Files\data\log1.txt"; TCP*port; UDP*host:port)"},
        {"--output-baudrate", "Output stream rate (valid for serial ONLY) : 9600,19200,38400,..."},
        {"--output-databits", "Output stream data bits (valid for serial ONLY) : 8"},
        {"--output-stopbits", "Output stream stop bits (valid for serial ONLY) : 1, 2"},
        {"--port-dest", "Port of destination"},
        {"--port-origin", "Port of origin"},
        {"--vessel-accuracy", "Position occuracy: 1(high), 0(low)"},
        {"--vessel-call", "Vessel callsign"},
        {"--vessel-cog", "Vessel Course Over Ground"},
        {"--vessel-dima", "Vessel dimension to Bow, meters"},
        {"--vessel-dimb", "Vessel dimension to Stern, meters"},
        {"--vessel-dimc", "Vessel dimension to Port, meters"},
        {"--vessel-dimd", "Vessel dimension to StarBoard, meters"},
        {"--vessel-imo", "Vessel IMO Number"},
        {"--vessel-lat", "Vessel initial latitude"},
        {"--vessel-lon", "Vessel initial longitude"},
        {"--vessel-mmsi", "Vessel MMSI"},
        {"--vessel-name", "Vessel Name"},
        {"--vessel-postdevice", "Vessel positioning device"},
        {"--vessel-rot", "Vessel Rate Of Turn"},
        {"--vessel-sog", "Vessel Speed Over Ground"},
        {"--vessel-type", "Vessel Type"},
        {"--vessel-status", "Navigation Status"},
        {"--ignore-timings", "Debug: Ignore AIS timings for message generation rate"},
        {"--ignore-crc", "Debug: disable generation of CRC of each NMEA message"},
        {"--nmea-domsg1", "Debug: Generate AIS Message Type 1 (class A)"},
        {"--nmea-domsg5", "Debug: Generate AIS Message Type 5 (class A)"},
        {"--nmea-domsg18", "Debug: Generate AIS Message Type 18 (class B)"},
        {"--nmea-domsg19", "Debug: Generate AIS Message Type 19 (class B)"},
        {"--nmea-domsg24", "Debug: Generate AIS Message Type 24 A/B (class B)"},
        {"--check-update", "Check for software updates"},
    };
    // Options added later follow the original ones.
    const auto entries = HelpEntries(help);
    ASSERT_GE(entries.size(), expected.size());
    EXPECT_EQ(decltype(entries)(entries.begin(), entries.begin() + static_cast<long>(expected.size())), expected);
    std::string added;
    for (auto it = entries.begin() + static_cast<long>(expected.size()); it != entries.end(); ++it) added += it->first + " ";
    for (const char* name : {"--nmea-upper-crc ", "--nmea-own-ship "})
        EXPECT_NE(added.find(name), std::string::npos) << name;
}

} // namespace

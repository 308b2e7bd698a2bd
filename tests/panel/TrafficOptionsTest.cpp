#include <gtest/gtest.h>

#include "panel/core/TrafficOptions.h"
#include "platform/ChildProcess.h"

namespace {

using panel::ExtraOutputKind;

struct TrafficRow {
    const char* name;
    panel::TrafficValues values;
    std::wstring expected;   // the arguments, or the message of the refusal
};

void PrintTo(const TrafficRow& row, std::ostream* out) { *out << row.name; }

panel::TrafficValues With(void (*set)(panel::TrafficValues&))
{
    panel::TrafficValues values;
    set(values);
    return values;
}

class TrafficArguments : public testing::TestWithParam<TrafficRow> {};

TEST_P(TrafficArguments, ComposeOrRefuse)
{
    std::wstring got;
    try {
        got = panel::BuildTrafficArguments(GetParam().values);
    } catch (const CParamsExcepion& error) {
        got = error.Message();
    }
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, TrafficArguments,
    testing::Values(
        // Untouched controls and a vessel leave the form's command line as it was.
        TrafficRow{"Untouched", {}, L""},
        TrafficRow{"VesselIsTheDefault", With([](auto& v) { v.stationKind = L"vessel"; }), L""},
        TrafficRow{"Everything", With([](auto& v) {
                       v.stationKind = L"sart";
                       v.fleetFile = L"f.csv";
                       v.fleetCount = L"1000";
                       v.fleetArea = L"51.5,3.5,52.5,4.5";
                       v.fleetSeed = L"7";
                       v.scenarioFile = L"s.json";
                       v.outputs = {{ExtraOutputKind::File, L"x.nmea"}, {ExtraOutputKind::Tcp, L"10110"},
                                    {ExtraOutputKind::Udp, L"[::1]:10111"}};
                       v.tapPort = 40000;
                   }),
                   L"--station-kind sart --fleet \"f.csv\" --fleet-random 1000 --fleet-area 51.5,3.5,52.5,4.5 "
                   L"--fleet-seed 7 --scenario \"s.json\" --output \"x.nmea\" --output TCP*10110 "
                   L"--output UDP*[::1]:10111 --output UDP*127.0.0.1:40000 "},
        TrafficRow{"AreaAcrossTheAntimeridian", With([](auto& v) { v.fleetArea = L"-10,170,10,-170"; }),
                   L"--fleet-area -10,170,10,-170 "},
        TrafficRow{"UnknownStationKind", With([](auto& v) { v.stationKind = L"lighthouse"; }),
                   L"Invalid parameter : --station-kind"},
        TrafficRow{"NegativeCount", With([](auto& v) { v.fleetCount = L"-5"; }), L"Invalid parameter : --fleet-random"},
        TrafficRow{"CountPast32Bits", With([](auto& v) { v.fleetCount = L"4294967296"; }),
                   L"Invalid parameter : --fleet-random"},
        TrafficRow{"SeedWithBlank", With([](auto& v) { v.fleetSeed = L"7 --ignore-crc"; }),
                   L"Invalid parameter : --fleet-seed"},
        TrafficRow{"AreaThreeNumbers", With([](auto& v) { v.fleetArea = L"51,3,52"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaFiveNumbers", With([](auto& v) { v.fleetArea = L"51,3,52,4,5"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaSouthAboveNorth", With([](auto& v) { v.fleetArea = L"52,3,51,4"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaPastThePole", With([](auto& v) { v.fleetArea = L"80,3,91,4"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaNoWidth", With([](auto& v) { v.fleetArea = L"51,4,52,4"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaNotANumber", With([](auto& v) { v.fleetArea = L"51,nan,52,4"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"AreaWithBlank", With([](auto& v) { v.fleetArea = L"51, 3,52,4"; }), L"Invalid parameter : --fleet-area"},
        TrafficRow{"TcpPortTooHigh", With([](auto& v) { v.outputs = {{ExtraOutputKind::Tcp, L"65536"}}; }),
                   L"Invalid parameter : --output"},
        TrafficRow{"TcpPortNotDigits", With([](auto& v) { v.outputs = {{ExtraOutputKind::Tcp, L"10110 x"}}; }),
                   L"Invalid parameter : --output"},
        TrafficRow{"UdpWithoutPort", With([](auto& v) { v.outputs = {{ExtraOutputKind::Udp, L"localhost"}}; }),
                   L"Invalid parameter : --output"},
        TrafficRow{"EmptyFile", With([](auto& v) { v.outputs = {{ExtraOutputKind::File, L""}}; }),
                   L"Invalid parameter : --output"}),
    [](const testing::TestParamInfo<TrafficRow>& info) { return std::string(info.param.name); });

// File names of any text reach the emulator as typed, after the Windows command-line rules.
TEST(TrafficArguments, FileNamesSurviveTheSplitter)
{
    panel::TrafficValues values;
    values.fleetFile = L"C:\\fleets\\\"north\" sea\\";
    values.scenarioFile = L"a b\\\\\"c";
    values.outputs = {{ExtraOutputKind::File, L"--output TCP*1"}};
    const std::vector<std::wstring> words = platform::SplitCommandLine(L"p " + panel::BuildTrafficArguments(values));
    EXPECT_EQ(words, (std::vector<std::wstring>{L"p", L"--fleet", values.fleetFile, L"--scenario", values.scenarioFile,
                                                L"--output", L"--output TCP*1"}));
}

// Relative names are the user's; absolute ones, TCP and UDP outputs stay.
TEST(TrafficArguments, RelativeFilesResolvedAgainstTheUsersFolder)
{
    panel::TrafficValues values;
    values.fleetFile = L"fleets/a.csv";
    values.scenarioFile = L"/abs/s.json";
    values.outputs = {{ExtraOutputKind::File, L"out.nmea"}, {ExtraOutputKind::Udp, L"host:1"}, {ExtraOutputKind::Tcp, L"5"}};
    const panel::TrafficValues resolved = panel::ResolveTrafficFiles(values, "/home/me");
    EXPECT_EQ(resolved.fleetFile, L"/home/me/fleets/a.csv");
    EXPECT_EQ(resolved.scenarioFile, L"/abs/s.json");
    EXPECT_EQ(resolved.outputs[0].value, L"/home/me/out.nmea");
    EXPECT_EQ(resolved.outputs[1].value, L"host:1");
    EXPECT_EQ(resolved.outputs[2].value, L"5");
}

} // namespace

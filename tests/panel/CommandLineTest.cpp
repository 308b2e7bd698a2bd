#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <random>

#include "panel/core/CommandLine.h"
#include "platform/ChildProcess.h"

namespace {

// The form as it stands after start-up with a vessel filled in: Name and Callsign empty.
panel::FormValues ExampleForm()
{
    panel::FormValues form;
    form.mmsi = L"123456789";
    form.imo = L"1234567";
    form.dimA = L"60";
    form.dimB = L"60";
    form.dimC = L"10";
    form.dimD = L"10";
    form.latitude = L"-0.0";
    form.longitude = L"0.0";
    form.speed = L"0";
    form.course = L"0";
    form.rateOfTurn = L"0";
    form.portDest = L"NAPLES";
    form.portOrigin = L"MOMBASA";
    form.navStatus = 15;
    form.positioningDevice = 1;
    form.shipType = 70;
    form.accuracy = 1;
    form.msg1 = true;
    form.msg5 = true;
    form.appendCrc = true;
    form.outputTcp = true;
    form.fileName = L"log.txt";
    form.tcpPort = L"1234";
    form.comPort = L"1";
    form.baud = L"38400";
    form.dataBits = L"8";
    form.stopBits = L"1";
    return form;
}

const std::wstring kExampleHead =
    L"--vessel-name \"\" --vessel-call \"\" --vessel-mmsi 123456789 --vessel-imo 1234567 --vessel-dima 60 "
    L"--vessel-dimb 60 --vessel-dimc 10 --vessel-dimd 10 --vessel-lat -0.0 --vessel-lon 0.0 --vessel-sog 0 "
    L"--vessel-cog 0 --vessel-rot 0 --port-dest \"NAPLES\" --port-origin \"MOMBASA\" --vessel-status 15 "
    L"--vessel-postdevice 1 --vessel-type 70 --vessel-accuracy 1 --nmea-domsg1 --nmea-domsg5 ";

TEST(CommandLine, WorkedExampleByteForByte)
{
    EXPECT_EQ(panel::BuildCommandLine(ExampleForm()), kExampleHead + L"--output TCP*1234 ");
}

TEST(CommandLine, ComAndFileOutputs)
{
    panel::FormValues form = ExampleForm();
    form.outputTcp = false;
    EXPECT_EQ(panel::BuildCommandLine(form),
              kExampleHead + L"--output COM1 --output-baudrate 38400 --output-databits 8 --output-stopbits 1 ");
    form.outputFile = true;
    EXPECT_EQ(panel::BuildOutputArguments(form), L"--output \"log.txt\" ");
    // File is tested before TCP/IP.
    form.outputTcp = true;
    EXPECT_EQ(panel::BuildOutputArguments(form), L"--output \"log.txt\" ");
}

TEST(CommandLine, OutputFieldsPassAsTypedEvenEmpty)
{
    panel::FormValues form = ExampleForm();
    form.outputTcp = false;
    form.comPort.clear();
    form.baud.clear();
    form.stopBits = L"x";
    EXPECT_EQ(panel::BuildOutputArguments(form),
              L"--output COM --output-baudrate  --output-databits 8 --output-stopbits x ");
}

TEST(CommandLine, SwitchesAndFreeTexts)
{
    panel::FormValues form = ExampleForm();
    form.name = L"SEA \"STAR\"";
    form.callSign = L"AB12";
    form.msg1 = false;
    form.msg18 = form.msg19 = form.msg24 = true;
    form.appendCrc = false;
    form.ignoreTimings = true;
    const std::wstring line = panel::BuildCommandLine(form);
    EXPECT_EQ(line.rfind(L"--vessel-name \"SEA \\\"STAR\\\"\" --vessel-call \"AB12\" ", 0), 0U) << line;
    EXPECT_NE(line.find(L"--vessel-accuracy 1 --nmea-domsg5 --nmea-domsg18 --nmea-domsg19 --nmea-domsg24 "
                        L"--ignore-crc --ignore-timings --output TCP*1234 "),
              std::wstring::npos)
        << line;
}

// A UDP destination: a host and a port 1-65535; an IPv6 host in brackets; nothing that would
// split the argument.
TEST(CommandLine, UdpOutputComposedOnlyForAValidAddress)
{
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"127.0.0.1:10110", true}, {L"[::1]:10110", true},  {L"localhost:1", true},   {L"h:65535", true},
        {L"", false},               {L"localhost", false},   {L":10110", false},      {L"h:0", false},
        {L"h:65536", false},        {L"h:", false},          {L"h:+1", false},        {L"h:1 ", false},
        {L"::1:10110", false},      {L"[::1:10110", false},  {L"[]:10110", false},    {L"a b:1", false},
        {L"a\"b:1", false},        {L"h:0000010110", false},
    };
    for (const auto& [address, valid] : rows) {
        panel::FormValues form = ExampleForm();
        form.outputTcp = false;
        form.outputUdp = true;
        form.udpAddress = address;
        if (valid) {
            EXPECT_EQ(panel::BuildCommandLine(form), kExampleHead + L"--output UDP*" + address + L" ");
        } else {
            try {
                panel::BuildCommandLine(form);
                ADD_FAILURE() << "accepted: " << std::string(address, address + std::wcslen(address));
            } catch (const CParamsExcepion& error) {
                EXPECT_EQ(error.Message(), L"Invalid parameter : --output");
            }
        }
    }
    // Another output selected: the UDP field is not looked at.
    panel::FormValues form = ExampleForm();
    form.outputUdp = true;
    form.udpAddress = L"bad";
    EXPECT_EQ(panel::BuildCommandLine(form), kExampleHead + L"--output TCP*1234 ");
}

TEST(CommandLine, UpperCaseChecksumAndOwnShipSwitches)
{
    panel::FormValues form = ExampleForm();
    form.ignoreTimings = form.upperCaseChecksum = form.ownShip = true;
    EXPECT_EQ(panel::BuildCommandLine(form),
              kExampleHead + L"--ignore-timings --nmea-upper-crc --nmea-own-ship --output TCP*1234 ");
}

// Free texts of every printable character, heavy in quotes, backslashes and blanks, come back
// from the Windows-rules splitter exactly as typed, each right after its option.
TEST(CommandLine, FreeTextsSurviveSplittingExactly)
{
    std::mt19937 random(20240601);
    const std::wstring alphabet = L"\"\"\\\\  ab";
    const auto randomText = [&] {
        std::wstring text(random() % 12, L' ');
        for (wchar_t& c : text)
            c = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<wchar_t>(0x20 + random() % 95);
        return text;
    };
    std::wstring panel::FormValues::*const fields[] = {&panel::FormValues::name, &panel::FormValues::callSign,
                                                       &panel::FormValues::portDest, &panel::FormValues::portOrigin,
                                                       &panel::FormValues::fileName};
    const wchar_t* const options[] = {L"--vessel-name", L"--vessel-call", L"--port-dest", L"--port-origin", L"--output"};
    for (int round = 0; round < 20000; ++round) {
        panel::FormValues form = ExampleForm();
        form.outputFile = true;
        for (const auto field : fields) form.*field = randomText();
        const std::wstring line = panel::MakeEmulatorCommandLine("/opt/kvl", panel::BuildCommandLine(form));
        const std::vector<std::wstring> words = platform::SplitCommandLine(line);
        ASSERT_EQ(words.size(), 43U) << std::string(line.begin(), line.end());
        for (std::size_t i = 0; i < std::size(fields); ++i) {
            const auto option = std::find(words.begin(), words.end(), options[i]);
            ASSERT_TRUE(option != words.end() && option + 1 != words.end()) << options[i];
            EXPECT_EQ(option[1], form.*fields[i]) << std::string(line.begin(), line.end());
        }
    }
}

TEST(CommandLine, ProgramPathQuotedThenTwoBlanks)
{
    EXPECT_EQ(panel::MakeEmulatorCommandLine("/opt/kvl ais", L"--check-update"),
              L"\"/opt/kvl ais/vesgen\"  --check-update");
}

// Whatever the panel's folder is called, the splitter gives back its path as the program and
// the arguments untouched.
TEST(CommandLine, ProgramPathSurvivesSplittingExactly)
{
    const char* const folders[] = {"/opt/kvl ais", "/opt/a\"b", "/opt/q\" --x \"", "/opt/back\\slash\\",
                                   "/opt/bs\\\"q", "/opt/end\\\\"};
    for (const char* folder : folders) {
        const std::filesystem::path directory(folder);
        const std::vector<std::wstring> words =
            platform::SplitCommandLine(panel::MakeEmulatorCommandLine(directory, L"--vessel-name \"A\" "));
        EXPECT_EQ(words, (std::vector<std::wstring>{(directory / "vesgen").wstring(), L"--vessel-name", L"A"}))
            << folder;
    }
}

struct ResolveRow {
    const char* name;
    std::wstring typed;
    std::wstring expected;
};

void PrintTo(const ResolveRow& row, std::ostream* out) { *out << row.name; }

class OutputFileName : public testing::TestWithParam<ResolveRow> {};

// The emulator runs in its own folder: a relative file name is taken from the user's.
TEST_P(OutputFileName, RelativeNamesAreTheUsersOthersStay)
{
    EXPECT_EQ(panel::ResolveOutputFileName(GetParam().typed, "/home/u/work dir"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OutputFileName,
    testing::Values(ResolveRow{"Relative", L"log.txt", L"/home/u/work dir/log.txt"},
                    ResolveRow{"RelativeWithFolder", L"../out/a b.nmea", L"/home/u/work dir/../out/a b.nmea"},
                    ResolveRow{"Absolute", L"/tmp/log.txt", L"/tmp/log.txt"},
                    ResolveRow{"Empty", L"", L""},
                    ResolveRow{"Console", L"con", L"con"},
                    ResolveRow{"SerialPort", L"COM12", L"COM12"},
                    ResolveRow{"SerialPortBare", L"COM", L"COM"},
                    ResolveRow{"NotASerialPort", L"COM1.txt", L"/home/u/work dir/COM1.txt"},
                    ResolveRow{"ConsoleLikeFile", L"console", L"/home/u/work dir/console"},
                    ResolveRow{"Udp", L"udp*127.0.0.1:10110", L"udp*127.0.0.1:10110"},
                    ResolveRow{"TcpAnywhere", L"x TCP*1234", L"x TCP*1234"}),
    [](const testing::TestParamInfo<ResolveRow>& info) { return std::string(info.param.name); });

struct ValidationRow {
    const char* name;
    std::wstring panel::FormValues::*field;
    std::wstring text;
    std::wstring expectedMessage;   // empty: accepted
};

// Test names show the row's name, not its bytes.
void PrintTo(const ValidationRow& row, std::ostream* out) { *out << row.name; }

class FieldValidation : public testing::TestWithParam<ValidationRow> {};

TEST_P(FieldValidation, AcceptsOrNamesTheField)
{
    const ValidationRow& row = GetParam();
    panel::FormValues form = ExampleForm();
    form.*row.field = row.text;
    if (row.expectedMessage.empty()) {
        EXPECT_NO_THROW(panel::BuildCommandLine(form));
        return;
    }
    try {
        panel::BuildCommandLine(form);
        ADD_FAILURE() << "accepted";
    } catch (const CParamsExcepion& error) {
        EXPECT_EQ(error.Message(), row.expectedMessage);
    }
}

using F = panel::FormValues;
const std::wstring kLat = L"Invalid parameter : --vessel-lat";
const std::wstring kMmsi = L"Invalid parameter : --vessel-mmsi";

INSTANTIATE_TEST_SUITE_P(
    Rows, FieldValidation,
    testing::Values(
        ValidationRow{"LatitudeWithLeadingBlank", &F::latitude, L" 10", kLat},
        ValidationRow{"LatitudeWithoutBlank", &F::latitude, L"10", L""},
        ValidationRow{"LatitudeTrailingBlank", &F::latitude, L"10 ", kLat},
        ValidationRow{"LatitudeNegativeZero", &F::latitude, L"-0.0", L""},
        ValidationRow{"LatitudeExponent", &F::latitude, L"1.5e1", L""},
        ValidationRow{"LatitudeOutOfRangeStillPasses", &F::latitude, L"200", L""},
        ValidationRow{"LatitudeDecimalComma", &F::latitude, L"10,5", kLat},
        ValidationRow{"LatitudeEmpty", &F::latitude, L"", kLat},
        ValidationRow{"LatitudeUnitLetters", &F::latitude, L"10deg", kLat},
        ValidationRow{"LatitudeNotANumber", &F::latitude, L"nan", kLat},
        ValidationRow{"LatitudeInfinite", &F::latitude, L"inf", kLat},
        ValidationRow{"LatitudeTooLargeForFloat", &F::latitude, L"1e39", kLat},
        ValidationRow{"LongitudeBad", &F::longitude, L"x", L"Invalid parameter : --vessel-lon"},
        ValidationRow{"SpeedBad", &F::speed, L"", L"Invalid parameter : --vessel-sog"},
        ValidationRow{"CourseBad", &F::course, L"1 2", L"Invalid parameter : -vessel-cog"},
        ValidationRow{"RateOfTurnBad", &F::rateOfTurn, L"+", L"Invalid parameter : --vessel-rot"},
        ValidationRow{"MmsiLargest", &F::mmsi, L"4294967295", L""},
        ValidationRow{"MmsiOneTooLarge", &F::mmsi, L"4294967296", kMmsi},
        ValidationRow{"MmsiEmpty", &F::mmsi, L"", kMmsi},
        ValidationRow{"MmsiDecimalPoint", &F::mmsi, L"1.0", kMmsi},
        ValidationRow{"MmsiLeadingBlank", &F::mmsi, L" 1", kMmsi},
        ValidationRow{"MmsiNegative", &F::mmsi, L"-1", kMmsi},
        ValidationRow{"ImoBad", &F::imo, L"12a", L"Invalid parameter : --vessel-imo"},
        ValidationRow{"DimABad", &F::dimA, L"", L"Invalid parameter : --vessel-dima"},
        ValidationRow{"DimBBad", &F::dimB, L"1e2", L"Invalid parameter : --vessel-dimb"},
        ValidationRow{"DimCBad", &F::dimC, L"x", L"Invalid parameter : --vessel-dimc"},
        ValidationRow{"DimDBad", &F::dimD, L"x", L"Invalid parameter : -vessel-dimd"},
        ValidationRow{"NameNeverChecked", &F::name, L"  \"odd\" ", L""},
        ValidationRow{"PortNeverChecked", &F::portDest, L"", L""}),
    [](const testing::TestParamInfo<ValidationRow>& info) { return std::string(info.param.name); });

TEST(CommandLine, FirstBadFieldWins)
{
    panel::FormValues form = ExampleForm();
    form.mmsi = L"bad";
    form.imo = L"bad";
    form.latitude = L"bad";
    try {
        panel::BuildCommandLine(form);
        FAIL() << "accepted";
    } catch (const CParamsExcepion& error) {
        EXPECT_EQ(error.Message(), kMmsi);
    }
}

struct ChoiceRow {
    const char* name;
    std::optional<int> panel::FormValues::*field;
    std::wstring expectedMessage;
};

// Test names show the row's name, not its bytes.
void PrintTo(const ChoiceRow& row, std::ostream* out) { *out << row.name; }

class ChoiceValidation : public testing::TestWithParam<ChoiceRow> {};

TEST_P(ChoiceValidation, NoSelectionNamesTheList)
{
    panel::FormValues form = ExampleForm();
    form.*GetParam().field = std::nullopt;
    try {
        panel::BuildCommandLine(form);
        FAIL() << "accepted";
    } catch (const CParamsExcepion& error) {
        EXPECT_EQ(error.Message(), GetParam().expectedMessage);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChoiceValidation,
    testing::Values(ChoiceRow{"NavStatus", &F::navStatus, L"Error obtaining navigational status"},
                    ChoiceRow{"PositioningDevice", &F::positioningDevice, L"Error obtaining positioning device type"},
                    ChoiceRow{"ShipType", &F::shipType, L"Error obtaining ship type"},
                    ChoiceRow{"Accuracy", &F::accuracy, L"Error obtaining positioning device accuracy"}),
    [](const testing::TestParamInfo<ChoiceRow>& info) { return std::string(info.param.name); });

} // namespace

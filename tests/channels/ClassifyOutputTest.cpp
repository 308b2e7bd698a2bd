#include "emulator/channels/ChannelSelection.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace {

struct ClassifyRow {
    std::string name;
    std::string output;
    OutputKind kind;
    std::string portText;
};

void PrintTo(const ClassifyRow& row, std::ostream* out)
{
    *out << row.name;
}

class ClassifyOutputTest : public testing::TestWithParam<ClassifyRow> {};

TEST_P(ClassifyOutputTest, SelectsTheChannelKind)
{
    const ClassifyRow& row = GetParam();
    const OutputClassification result = ClassifyOutput(row.output);
    EXPECT_EQ(result.kind, row.kind);
    EXPECT_EQ(result.portText, row.portText);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ClassifyOutputTest,
    testing::Values(ClassifyRow{"TcpLowerCase", "tcp*10110", OutputKind::Tcp, "10110"},
                    ClassifyRow{"TcpUpperCase", "TCP*10110", OutputKind::Tcp, "10110"},
                    ClassifyRow{"TcpAfterOtherText", "log-TCP*10110", OutputKind::Tcp, "10110"},
                    ClassifyRow{"TcpMixedCase", "tCp*8080", OutputKind::Tcp, "8080"},
                    ClassifyRow{"TcpWithoutPort", "TCP*", OutputKind::Tcp, ""},
                    ClassifyRow{"TcpPortTextKeptAsWritten", "TCP*5000x", OutputKind::Tcp, "5000x"},
                    ClassifyRow{"TcpFirstMarkerCounts", "TCP*1*TCP*2", OutputKind::Tcp, "1*TCP*2"},
                    ClassifyRow{"TcpMarkerBeatsSerialLookalike", "COM1TCP*7", OutputKind::Tcp, "7"},
                    ClassifyRow{"TcpWithoutStarIsAFile", "TCP10110", OutputKind::File, ""},
                    ClassifyRow{"TcpHostPartConnectsOut", "TCP*127.0.0.1:10110", OutputKind::TcpClient, "127.0.0.1:10110"},
                    ClassifyRow{"TcpNameConnectsOut", "tcp*aggregator.local:4001", OutputKind::TcpClient,
                                "aggregator.local:4001"},
                    ClassifyRow{"TcpIPv6ConnectsOut", "TCP*[::1]:10110", OutputKind::TcpClient, "[::1]:10110"},
                    // Refused later for its form, not taken for a server on port 0.
                    ClassifyRow{"TcpColonWithoutHostConnectsOut", "TCP*:5", OutputKind::TcpClient, ":5"},
                    ClassifyRow{"ColonBeforeTheMarkerIsNoHost", "C:\\TCP*10110", OutputKind::Tcp, "10110"},
                    ClassifyRow{"SerialLowerCase", "com2", OutputKind::Serial, ""},
                    ClassifyRow{"SerialUpperCase", "COM2", OutputKind::Serial, ""},
                    ClassifyRow{"SerialManyDigits", "COM12", OutputKind::Serial, ""},
                    ClassifyRow{"SerialBare", "COM", OutputKind::Serial, ""},
                    // Far longer than any port number: classified, not a crash.
                    ClassifyRow{"SerialVeryManyDigits", "COM" + std::string(100000, '7'), OutputKind::Serial, ""},
                    ClassifyRow{"VeryManyDigitsThenLetterIsAFile", "com" + std::string(100000, '7') + "x",
                                OutputKind::File, ""},
                    ClassifyRow{"SerialWithColonIsAFile", "COM2:", OutputKind::File, ""},
                    ClassifyRow{"SerialWithLetterIsAFile", "COMX", OutputKind::File, ""},
                    ClassifyRow{"SerialInsideTextIsAFile", "xCOM2", OutputKind::File, ""},
                    ClassifyRow{"Console", "CON", OutputKind::File, ""},
                    ClassifyRow{"AbsolutePath", "/tmp/ais/log.txt", OutputKind::File, ""},
                    ClassifyRow{"WindowsPath", "C:\\AIS\\log.txt", OutputKind::File, ""},
                    ClassifyRow{"Empty", "", OutputKind::File, ""}),
    [](const testing::TestParamInfo<ClassifyRow>& info) { return info.param.name; });

struct DevicePathRow {
    std::string name;
    std::string comName;
    std::string path;
};

void PrintTo(const DevicePathRow& row, std::ostream* out)
{
    *out << row.name;
}

class SerialDevicePathTest : public testing::TestWithParam<DevicePathRow> {};

TEST_P(SerialDevicePathTest, MapsComNumberToTtyS)
{
    EXPECT_EQ(SerialDevicePath(GetParam().comName), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SerialDevicePathTest,
    testing::Values(DevicePathRow{"Com1IsTtyS0", "COM1", "/dev/ttyS0"},
                    DevicePathRow{"LowerCase", "com2", "/dev/ttyS1"},
                    DevicePathRow{"CarryAcrossDigits", "COM10", "/dev/ttyS9"},
                    DevicePathRow{"CarryAcrossTwoDigits", "COM100", "/dev/ttyS99"},
                    DevicePathRow{"LeadingZero", "COM01", "/dev/ttyS0"},
                    DevicePathRow{"BeyondAnyInteger", "COM100000000000000000000", "/dev/ttyS99999999999999999999"},
                    DevicePathRow{"BareNameHasNoPort", "COM", "/dev/ttyS"},
                    DevicePathRow{"ZeroHasNoPort", "COM0", "/dev/ttyS-1"}),
    [](const testing::TestParamInfo<DevicePathRow>& info) { return info.param.name; });

} // namespace

#include "emulator/channels/CBasicFileWriter.h"
#include "emulator/channels/ChannelSelection.h"
#include "tests/channels/ChannelTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;

const std::string kSentence = "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D,0*24\r\n";

// Parity and flow-control flags a port may have that the writer must leave alone.
constexpr tcflag_t kKeptControlFlags = PARENB | PARODD | CRTSCTS | CLOCAL | HUPCL;
constexpr tcflag_t kKeptInputFlags = IXON | IXOFF | IXANY | INPCK;

std::string SettingError(int code)
{
    return "Error  : [SERIAL] error setting  COM-port parameters, code = " + std::to_string(code) + "\n";
}

// A pseudo-terminal standing in for a serial port: the writer opens its slave side
// through the device resolver, the test reads at the master side.
class SerialPortTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(openpty(&m_master, &m_slave, nullptr, nullptr, nullptr), 0);
        m_slavePath = ttyname(m_slave);
        // The port's own configuration, with parity and flow control switched on so
        // that their survival shows.
        termios settings{};
        ASSERT_EQ(tcgetattr(m_slave, &settings), 0);
        cfsetospeed(&settings, B9600);
        cfsetispeed(&settings, B9600);
        settings.c_cflag = (settings.c_cflag & ~(CSIZE | CSTOPB)) | CS8 | PARENB | PARODD | CRTSCTS;
        settings.c_iflag |= IXON | IXOFF | INPCK;
        settings.c_oflag |= OPOST | ONLCR;
        ASSERT_EQ(tcsetattr(m_slave, TCSANOW, &settings), 0);
        m_before = settings;
        ASSERT_EQ(tcgetattr(m_slave, &m_before), 0);
    }

    void TearDown() override
    {
        if (m_writer != nullptr) {
            m_writer->Close();
            m_writer->Release();
        }
        close(m_slave);
        if (m_master >= 0) close(m_master);
    }

    bool OpenSerial(const std::string& comName, const SerialLineSettings& line)
    {
        std::string output = comName;
        return SelectAndOpenChannel(output, line, m_writer, [this](const std::string& name) {
            m_resolvedNames.push_back(name);
            return m_slavePath;
        });
    }

    termios PortSettings() const
    {
        termios settings{};
        EXPECT_EQ(tcgetattr(m_slave, &settings), 0);
        return settings;
    }

    std::string ReadMaster(std::size_t count)
    {
        std::string received;
        while (received.size() < count) {
            pollfd p{m_master, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) break;
            char buffer[512];
            const ssize_t n = read(m_master, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, static_cast<std::size_t>(n));
        }
        return received;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_slavePath;
    termios m_before{};
    IChannelWriter* m_writer = nullptr;
    std::vector<std::string> m_resolvedNames;
};

struct LineRow {
    std::string name;
    std::string comName;
    SerialLineSettings line;
    speed_t speed;
    tcflag_t characterSize;
    bool twoStopBits;
};

void PrintTo(const LineRow& row, std::ostream* out)
{
    *out << row.name;
}

class SerialLineTest : public SerialPortTest, public testing::WithParamInterface<LineRow> {};

TEST_P(SerialLineTest, ReachesThePortAndKeepsParityAndFlowControl)
{
    const LineRow& row = GetParam();
    ASSERT_TRUE(OpenSerial(row.comName, row.line));
    EXPECT_TRUE(m_writer->IsAlive());
    EXPECT_EQ(m_resolvedNames, std::vector<std::string>{row.comName}) << "the name as written";

    const termios after = PortSettings();
    EXPECT_EQ(cfgetospeed(&after), row.speed);
    EXPECT_EQ(cfgetispeed(&after), row.speed);
    EXPECT_EQ(after.c_cflag & CSIZE, row.characterSize);
    EXPECT_EQ((after.c_cflag & CSTOPB) != 0, row.twoStopBits);
    EXPECT_EQ(after.c_oflag & OPOST, 0U);
    EXPECT_EQ(after.c_cflag & kKeptControlFlags, m_before.c_cflag & kKeptControlFlags);
    EXPECT_EQ(after.c_iflag & kKeptInputFlags, m_before.c_iflag & kKeptInputFlags);
}

// A pseudo-terminal keeps every speed and the stop bits but only 8 data bits (its driver
// forces CS8 and clears PARENB); data-bit counts it drops are covered by RefusedLineTest.
INSTANTIATE_TEST_SUITE_P(
    Lines, SerialLineTest,
    testing::Values(LineRow{"Baud4800Stop1", "COM1", {4800, 8, 1}, B4800, CS8, false},
                    LineRow{"Baud38400Stop2", "com2", {38400, 8, 2}, B38400, CS8, true},
                    LineRow{"StopBits3GivesTwo", "COM3", {115200, 8, 3}, B115200, CS8, true},
                    LineRow{"StopBits0GivesTwo", "COM4", {19200, 8, 0}, B19200, CS8, true},
                    LineRow{"DataBitsLowByte", "COM5", {57600, 256 + 8, 1}, B57600, CS8, false},
                    LineRow{"HighSpeed", "COM6", {921600, 8, 1}, B921600, CS8, false},
                    LineRow{"LowSpeed", "COM7", {300, 8, 2}, B300, CS8, true}),
    [](const testing::TestParamInfo<LineRow>& info) { return info.param.name; });

TEST_F(SerialPortTest, LineEndsLeaveThePortUnchanged)
{
    ASSERT_TRUE(OpenSerial("COM1", {38400, 8, 1}));
    ASSERT_TRUE(m_writer->Write(kSentence.data(), static_cast<std::uint32_t>(kSentence.size())));
    const std::string received = ReadMaster(kSentence.size());
    EXPECT_EQ(received, kSentence);
}

// Closing gives the port back as it was found, however often the line was set.
TEST_F(SerialPortTest, ClosingRestoresTheSettingsOfOpen)
{
    ASSERT_TRUE(OpenSerial("COM1", {115200, 8, 2}));
    DCB again{};
    again.BaudRate = 4800;
    again.ByteSize = 8;
    again.StopBits = ONESTOPBIT;
    ASSERT_TRUE(m_writer->SetSerialState(again));
    ASSERT_TRUE(m_writer->Write(kSentence.data(), static_cast<std::uint32_t>(kSentence.size())));
    EXPECT_EQ(ReadMaster(kSentence.size()), kSentence);
    const termios changed = PortSettings();
    ASSERT_EQ(cfgetospeed(&changed), B4800) << "the line was changed while open";
    ASSERT_TRUE(m_writer->Close());

    const termios after = PortSettings();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&m_before));
    EXPECT_EQ(cfgetispeed(&after), cfgetispeed(&m_before));
    EXPECT_EQ(after.c_cflag, m_before.c_cflag);
    EXPECT_EQ(after.c_iflag, m_before.c_iflag);
    EXPECT_EQ(after.c_oflag, m_before.c_oflag);
    EXPECT_EQ(after.c_lflag, m_before.c_lflag);
}

TEST_F(SerialPortTest, PortIsHeldExclusively)
{
    ASSERT_TRUE(OpenSerial("COM1", {38400, 8, 1}));
    IChannelWriter* second = nullptr;
    std::string output = "COM1";
    FdCapture err(2);
    EXPECT_FALSE(SelectAndOpenChannel(output, {38400, 8, 1}, second, [this](const std::string&) { return m_slavePath; }));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(err.Text(), "Error : [FILE] error opening file (" + m_slavePath + "), code = " +
                              std::to_string(EWOULDBLOCK) + "\n");
    EXPECT_FALSE(second->IsAlive());
    second->Release();
}

TEST_F(SerialPortTest, SilentReceiverCannotHoldAWrite)
{
    ASSERT_TRUE(OpenSerial("COM1", {38400, 8, 1}));
    const std::string flood(4 * 1024 * 1024, 'x');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(m_writer->Write(flood.data(), static_cast<std::uint32_t>(flood.size())));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(m_writer->IsAlive());
}

struct RefusedRow {
    std::string name;
    SerialLineSettings line;
};

void PrintTo(const RefusedRow& row, std::ostream* out)
{
    *out << row.name;
}

class RefusedLineTest : public SerialPortTest, public testing::WithParamInterface<RefusedRow> {};

TEST_P(RefusedLineTest, IsReportedAndNeverReplaced)
{
    FdCapture err(2);
    EXPECT_FALSE(OpenSerial("COM1", GetParam().line));
    EXPECT_EQ(err.Text(), SettingError(EINVAL));
    ASSERT_NE(m_writer, nullptr);
    EXPECT_FALSE(m_writer->IsAlive());
    EXPECT_FALSE(m_writer->Close()) << "closed by the failed configuration";
    const termios after = PortSettings();
    EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&m_before));
    EXPECT_EQ(after.c_cflag, m_before.c_cflag);
    EXPECT_EQ(after.c_oflag, m_before.c_oflag);
}

INSTANTIATE_TEST_SUITE_P(Lines, RefusedLineTest,
                         testing::Values(RefusedRow{"Baud14400", {14400, 8, 1}},
                                         RefusedRow{"Baud28800", {28800, 8, 1}},
                                         RefusedRow{"BaudZero", {0, 8, 1}},
                                         RefusedRow{"BaudNegative", {-9600, 8, 1}},
                                         RefusedRow{"DataBits9", {38400, 9, 1}},
                                         RefusedRow{"DataBits4", {38400, 4, 1}},
                                         RefusedRow{"DataBits7DroppedByThePort", {38400, 7, 1}},
                                         RefusedRow{"DataBits5DroppedByThePort", {38400, 5, 2}}),
                         [](const testing::TestParamInfo<RefusedRow>& info) { return info.param.name; });

TEST(SerialSelectionTest, DeviceWithoutDefaultConfigurationEndsTheRun)
{
    IChannelWriter* writer = nullptr;
    std::string output = "COM3";
    FdCapture err(2);
    EXPECT_FALSE(SelectAndOpenChannel(output, {38400, 8, 1}, writer, [](const std::string&) { return "/dev/null"; }));
    EXPECT_EQ(err.Text(), "Error  : [SERIAL] error getting default COM-port parameters, code = " +
                              std::to_string(ENOTTY) + "\n");
    ASSERT_NE(writer, nullptr);
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_FALSE(writer->Close()) << "closed by the failed configuration";
    writer->Release();
}

struct MissingPortRow {
    std::string name;
    std::string output;
    std::string devicePath;
};

void PrintTo(const MissingPortRow& row, std::ostream* out)
{
    *out << row.name;
}

class MissingPortTest : public testing::TestWithParam<MissingPortRow> {};

TEST_P(MissingPortTest, FailsAtOpenShowingThePathAndCreatesNothing)
{
    const MissingPortRow& row = GetParam();
    ASSERT_FALSE(std::filesystem::exists(row.devicePath));
    IChannelWriter* writer = nullptr;
    std::string output = row.output;
    FdCapture err(2);
    EXPECT_FALSE(SelectAndOpenChannel(output, {38400, 8, 1}, writer));
    EXPECT_EQ(err.Text(), "Error : [FILE] error opening file (" + row.devicePath + "), code = " +
                              std::to_string(ENOENT) + "\n");
    ASSERT_NE(writer, nullptr);
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_EQ(output, row.output);
    writer->Release();
    EXPECT_FALSE(std::filesystem::exists(row.devicePath));
}

INSTANTIATE_TEST_SUITE_P(Names, MissingPortTest,
                         testing::Values(MissingPortRow{"BareCom", "COM", "/dev/ttyS"},
                                         MissingPortRow{"ComZero", "com0", "/dev/ttyS-1"},
                                         MissingPortRow{"NoSuchPort", "COM99999", "/dev/ttyS99998"}),
                         [](const testing::TestParamInfo<MissingPortRow>& info) { return info.param.name; });

TEST(SerialStateTest, WithoutAPortNothingIsApplied)
{
    ChannelWriterPtr writer(new CBasicFileWriter);
    DCB state;
    state.BaudRate = 9600;
    EXPECT_FALSE(writer->SetSerialState(state));
    EXPECT_TRUE(writer->IsAlive());
}

} // namespace

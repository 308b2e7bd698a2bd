#include "emulator/channels/ChannelSelection.h"
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "tests/channels/ChannelTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;
using channeltest::LoopbackClient;
using namespace std::chrono_literals;

const std::string kConnected = "Information : [TCP] client connected.\n";
const std::string kRefused = "Information : [TCP] connection refused, only one connection allowed.\n";
const std::string kDisconnected = "Information : [TCP] client disconnected.\n";

// A pass of the server lasts up to 1.1 s; after this long, text written without a
// client has certainly been dropped.
constexpr auto kOnePassAndMargin = 2s;
// Generous: only guards against a Close that hangs.
constexpr auto kHangGuard = 10s;

ChannelWriterPtr NewTcpWriter()
{
    return ChannelWriterPtr(new TCPServerChannelWriterImpl);
}

bool WriteText(IChannelWriter& writer, const std::string& text)
{
    return writer.Write(text.data(), static_cast<std::uint32_t>(text.size()));
}

bool OpenOnPort(IChannelWriter& writer, const std::string& portText)
{
    return writer.Open(portText.c_str());
}

class TcpServerWriterTest : public testing::Test {
protected:
    void SetUp() override
    {
        // A send to a vanished client must fail, not end the process.
        std::signal(SIGPIPE, SIG_DFL);
        m_port = channeltest::FreeTcpPort();
    }

    std::uint16_t m_port = 0;
};

TEST_F(TcpServerWriterTest, ClientReceivesOnlyTextWrittenAfterItConnected)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    EXPECT_TRUE(WriteText(*writer, "OLD,1\r\n"));
    std::this_thread::sleep_for(kOnePassAndMargin);

    LoopbackClient client(m_port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected));
    ASSERT_TRUE(WriteText(*writer, "NEW,1\r\n"));
    ASSERT_TRUE(WriteText(*writer, "NEW,2\r\n"));
    EXPECT_EQ(client.ReadUntil("NEW,2\r\n"), "NEW,1\r\nNEW,2\r\n");
    ASSERT_TRUE(WriteText(*writer, "NEW,3\r\n"));
    EXPECT_EQ(client.ReadUntil("NEW,3\r\n"), "NEW,1\r\nNEW,2\r\nNEW,3\r\n");
    EXPECT_TRUE(writer->IsAlive());
}

TEST_F(TcpServerWriterTest, SecondClientIsRefusedWhileTheFirstKeepsReceiving)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    LoopbackClient first(m_port);
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected));

    LoopbackClient second(m_port);
    ASSERT_TRUE(second.Connected()) << "the connection is taken, then closed";
    ASSERT_TRUE(err.WaitFor(kRefused));
    EXPECT_TRUE(second.WaitForServerClose());
    EXPECT_EQ(second.Received(), "");

    ASSERT_TRUE(WriteText(*writer, "FIRST,1\r\n"));
    EXPECT_EQ(first.ReadUntil("FIRST,1\r\n"), "FIRST,1\r\n");
    EXPECT_EQ(channeltest::CountOf(err.Text(), kConnected), 1);
    EXPECT_EQ(channeltest::CountOf(err.Text(), kDisconnected), 0);
}

struct VanishRow {
    std::string name;
    bool reset;  // goes with a reset instead of an orderly close
};

void PrintTo(const VanishRow& row, std::ostream* out)
{
    *out << row.name;
}

class VanishedClientTest : public TcpServerWriterTest, public testing::WithParamInterface<VanishRow> {
protected:
    // Ends the client's connection the way the row says.
    void Vanish(LoopbackClient& client)
    {
        if (GetParam().reset) {
            client.Abort();
        } else {
            client.Close();
        }
    }
};

// After an orderly close the server's sends meet a broken pipe; without care that
// signal would end the process here.
TEST_P(VanishedClientTest, IsDroppedAndTheNextOneServed)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    {
        LoopbackClient first(m_port);
        ASSERT_TRUE(first.Connected());
        ASSERT_TRUE(err.WaitFor(kConnected));
        ASSERT_TRUE(WriteText(*writer, "A,1\r\n"));
        ASSERT_EQ(first.ReadUntil("A,1\r\n"), "A,1\r\n");
        Vanish(first);
    }
    // The server notices the loss on a later send.
    ASSERT_TRUE(channeltest::WaitUntil(
        [&] {
            WriteText(*writer, "X,1\r\n");
            return err.Text().find(kDisconnected) != std::string::npos;
        },
        10s));
    EXPECT_TRUE(writer->IsAlive()) << "a lost client does not end the run";

    LoopbackClient next(m_port);
    ASSERT_TRUE(next.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected, 2));
    ASSERT_TRUE(WriteText(*writer, "B,1\r\n"));
    const std::string received = next.ReadUntil("B,1\r\n");
    EXPECT_TRUE(received.ends_with("B,1\r\n")) << received;
    EXPECT_EQ(received.find("A,1"), std::string::npos);
}

// A plotter restarting closes its connection and connects again while nothing is being
// sent: the new connection takes the place of the one that has gone.
TEST_P(VanishedClientTest, ReconnectingWhileIdleIsServed)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    {
        LoopbackClient first(m_port);
        ASSERT_TRUE(first.Connected());
        ASSERT_TRUE(err.WaitFor(kConnected));
        Vanish(first);
    }
    LoopbackClient next(m_port);
    ASSERT_TRUE(next.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected, 2));
    EXPECT_EQ(channeltest::CountOf(err.Text(), kRefused), 0);
    EXPECT_EQ(channeltest::CountOf(err.Text(), kDisconnected), 1);
    ASSERT_TRUE(WriteText(*writer, "B,1\r\n"));
    EXPECT_EQ(next.ReadUntil("B,1\r\n"), "B,1\r\n");
}

INSTANTIATE_TEST_SUITE_P(Ways, VanishedClientTest,
                         testing::Values(VanishRow{"OrderlyClose", false}, VanishRow{"Reset", true}),
                         [](const testing::TestParamInfo<VanishRow>& info) { return info.param.name; });

TEST_F(TcpServerWriterTest, PortInUseFailsAtBindAndEndsTheRun)
{
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(m_port);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(holder, 1), 0);

    FdCapture err(2);
    auto writer = NewTcpWriter();
    // The thread binds, but Open waits for its answer: a port in use is a run that never starts.
    EXPECT_FALSE(OpenOnPort(*writer, std::to_string(m_port)));
    EXPECT_TRUE(channeltest::WaitUntil([&] { return !writer->IsAlive(); }, 5s));
    EXPECT_EQ(err.Text(), "Error : [TCP] error binding socket, code = " + std::to_string(EADDRINUSE) + "\n");
    EXPECT_TRUE(writer->Close());
    close(holder);
}

TEST_F(TcpServerWriterTest, RestartIsNotRefusedByLingeringConnections)
{
    FdCapture err(2);
    {
        auto writer = NewTcpWriter();
        ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
        LoopbackClient client(m_port);
        ASSERT_TRUE(err.WaitFor(kConnected));
        ASSERT_TRUE(WriteText(*writer, "A,1\r\n"));
        ASSERT_EQ(client.ReadUntil("A,1\r\n"), "A,1\r\n");
        // The server closes first, so its side of the connection lingers in TIME_WAIT.
        ASSERT_TRUE(writer->Close());
        EXPECT_TRUE(client.WaitForServerClose());
    }
    auto restarted = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*restarted, std::to_string(m_port)));
    LoopbackClient client(m_port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected, 2));
    EXPECT_TRUE(restarted->IsAlive());
    EXPECT_EQ(err.Text().find("Error"), std::string::npos) << err.Text();
}

TEST_F(TcpServerWriterTest, CloseStopsTheServerAndItsPort)
{
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    {
        LoopbackClient client(m_port);
        ASSERT_TRUE(client.Connected());
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(writer->Close());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kHangGuard);
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_FALSE(writer->Close()) << "second Close";
    EXPECT_TRUE(channeltest::IsTcpPortFree(m_port)) << "the listening socket is closed";
}

TEST_F(TcpServerWriterTest, ReleaseWhileAClientIsConnected)
{
    FdCapture err(2);
    std::optional<LoopbackClient> client;
    {
        auto writer = NewTcpWriter();
        ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
        client.emplace(m_port);
        ASSERT_TRUE(err.WaitFor(kConnected));
        ASSERT_TRUE(WriteText(*writer, "A,1\r\n"));
        ASSERT_EQ(client->ReadUntil("A,1\r\n"), "A,1\r\n");
        ASSERT_TRUE(WriteText(*writer, "UNSENT\r\n"));
    }  // Release: Close, then the object goes
    EXPECT_TRUE(client->WaitForServerClose());
}

struct PortTextRow {
    std::string name;
    std::string suffix;       // after the port number
    std::uint32_t addedToPort;  // a multiple of 65536 leaves the listening port unchanged
    std::string prefix;
};

void PrintTo(const PortTextRow& row, std::ostream* out)
{
    *out << row.name;
}

class PortTextTest : public TcpServerWriterTest, public testing::WithParamInterface<PortTextRow> {};

TEST_P(PortTextTest, ListensOnTheParsedPort)
{
    const PortTextRow& row = GetParam();
    const std::string text = row.prefix + std::to_string(m_port + row.addedToPort) + row.suffix;
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, text));
    LoopbackClient client(m_port);
    ASSERT_TRUE(client.Connected());
    EXPECT_TRUE(err.WaitFor(kConnected));
    EXPECT_TRUE(writer->IsAlive());
}

INSTANTIATE_TEST_SUITE_P(Texts, PortTextTest,
                         testing::Values(PortTextRow{"Plain", "", 0, ""},
                                         PortTextRow{"TrailingLetters", "x", 0, ""},
                                         PortTextRow{"TrailingBlankAndMore", " 17", 0, ""},
                                         PortTextRow{"LeadingBlanks", "", 0, "  "},
                                         PortTextRow{"OnlyLow16BitsCount", "", 65536, ""},
                                         PortTextRow{"HighBitsDropped", "", 3 * 65536, ""}),
                         [](const testing::TestParamInfo<PortTextRow>& info) { return info.param.name; });

TEST_F(TcpServerWriterTest, Port70000ListensOn4464)
{
    constexpr std::uint16_t kLow16 = 70000 & 0xFFFF;
    static_assert(kLow16 == 4464);
    if (!channeltest::IsTcpPortFree(kLow16)) GTEST_SKIP() << "port 4464 is in use on this machine";
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(writer->Open("70000"));
    LoopbackClient client(kLow16);
    ASSERT_TRUE(client.Connected());
    EXPECT_TRUE(err.WaitFor(kConnected));
}

struct BadPortRow {
    std::string name;
    std::string text;
};

void PrintTo(const BadPortRow& row, std::ostream* out)
{
    *out << row.name;
}

class BadPortTextTest : public testing::TestWithParam<BadPortRow> {};

TEST_P(BadPortTextTest, IsRejectedAndEndsTheRun)
{
    const BadPortRow& row = GetParam();
    FdCapture err(2);
    auto writer = NewTcpWriter();
    EXPECT_FALSE(writer->Open(row.text.c_str()));
    EXPECT_EQ(err.Text(), "Error : [TCP] invalid port number. (" + row.text + ")\n");
    EXPECT_FALSE(writer->IsAlive());
    EXPECT_FALSE(writer->Close()) << "no server thread was started";
}

INSTANTIATE_TEST_SUITE_P(Texts, BadPortTextTest,
                         testing::Values(BadPortRow{"Empty", ""}, BadPortRow{"Letters", "abc"},
                                         BadPortRow{"LetterFirst", "x5000"}, BadPortRow{"OnlyBlanks", "   "},
                                         BadPortRow{"BeyondUnsigned", "99999999999"}),
                         [](const testing::TestParamInfo<BadPortRow>& info) { return info.param.name; });

TEST(TcpServerWriterOpenTest, NullTextIsRejectedAndEndsTheRun)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    EXPECT_FALSE(writer->Open(nullptr));
    EXPECT_EQ(err.Text(), "Error : [TCP] empty connection string \n");
    EXPECT_FALSE(writer->IsAlive());
}

TEST_F(TcpServerWriterTest, SecondOpenIsRefusedAndLeavesTheEvent)
{
    FdCapture err(2);
    auto writer = NewTcpWriter();
    ASSERT_TRUE(OpenOnPort(*writer, std::to_string(m_port)));
    EXPECT_FALSE(OpenOnPort(*writer, std::to_string(channeltest::FreeTcpPort())));
    EXPECT_EQ(err.Text(), "Error : [TCP] server thread already exists.\n");
    EXPECT_TRUE(writer->IsAlive());
    LoopbackClient client(m_port);
    EXPECT_TRUE(client.Connected()) << "the first server still runs";
}

TEST(TcpServerWriterOpenTest, WriteTakesOnlyRealDataAndSerialStateIsNotSupported)
{
    auto writer = NewTcpWriter();
    EXPECT_FALSE(writer->Write(nullptr, 5));
    EXPECT_FALSE(writer->Write("x", 0));
    EXPECT_TRUE(writer->Write("x", 1)) << "queued even before Open";
    EXPECT_TRUE(writer->Flush());
    EXPECT_FALSE(writer->SetSerialState(DCB{}));
    EXPECT_FALSE(writer->Close()) << "no server thread";
    EXPECT_TRUE(writer->IsAlive());
}

TEST_F(TcpServerWriterTest, SelectionOpensTheServerOnThePortText)
{
    FdCapture err(2);
    std::string output = "log-tcp*" + std::to_string(m_port);
    IChannelWriter* writer = nullptr;
    ASSERT_TRUE(SelectAndOpenChannel(output, SerialLineSettings{}, writer));
    ChannelWriterPtr owner(writer);
    EXPECT_EQ(output, std::to_string(m_port));
    LoopbackClient client(m_port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(err.WaitFor(kConnected));
    ASSERT_TRUE(WriteText(*writer, "S,1\r\n"));
    EXPECT_EQ(client.ReadUntil("S,1\r\n"), "S,1\r\n");
}

TEST(TcpSelectionTest, EmptyPortTextIsRejected)
{
    FdCapture err(2);
    std::string output = "TCP*";
    IChannelWriter* writer = nullptr;
    EXPECT_FALSE(SelectAndOpenChannel(output, SerialLineSettings{}, writer));
    ChannelWriterPtr owner(writer);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(output, "");
    EXPECT_EQ(err.Text(), "Error : [TCP] invalid port number. ()\n");
    EXPECT_FALSE(writer->IsAlive());
}

} // namespace

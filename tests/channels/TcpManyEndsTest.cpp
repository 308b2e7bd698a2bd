// TCP beyond one client: a server for several clients, a server on one address, and the
// client output that connects out to a listening consumer and reconnects.
#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/ChannelSelection.h"
#include "emulator/channels/TCPClientChannelWriterImpl.h"
#include "tests/channels/ChannelTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <memory>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;
using channeltest::LoopbackClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ChannelWriterPtr OpenChannelText(const std::string& text, const NetworkOptions& network = {})
{
    std::string output = text;
    IChannelWriter* writer = nullptr;
    const bool ok = OpenChannel(output, OutputSettings{{}, network}, writer);
    ChannelWriterPtr owned(writer);
    return ok ? std::move(owned) : nullptr;
}

bool WriteText(IChannelWriter& writer, const std::string& text)
{
    return writer.Write(text.data(), static_cast<std::uint32_t>(text.size()));
}

TEST(TcpServerClients, ThreeReadTheSameStreamAFourthIsRefusedAndOneLostChangesNothing)
{
    std::signal(SIGPIPE, SIG_IGN);
    FdCapture err(2);
    const std::uint16_t port = channeltest::FreeTcpPort();
    auto writer = OpenChannelText("TCP*" + std::to_string(port), {3, "", 1, ""});
    ASSERT_TRUE(writer);
    std::vector<std::unique_ptr<LoopbackClient>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<LoopbackClient>(port));
        ASSERT_TRUE(err.WaitFor("Information : [TCP] client connected.", i + 1));
    }
    LoopbackClient fourth(port);
    ASSERT_TRUE(err.WaitFor("Information : [TCP] connection refused, only 3 connections allowed.\n"));
    EXPECT_TRUE(fourth.WaitForServerClose());
    EXPECT_EQ(fourth.Received(), "");

    ASSERT_TRUE(WriteText(*writer, "A,1\r\nA,2\r\n"));
    for (auto& client : clients) EXPECT_EQ(client->ReadUntil("A,2\r\n"), "A,1\r\nA,2\r\n");
    clients[1]->Abort();
    ASSERT_TRUE(channeltest::WaitUntil(
        [&] { return WriteText(*writer, "B,1\r\n") && err.Text().find("client disconnected") != std::string::npos; },
        10s));
    ASSERT_TRUE(WriteText(*writer, "C,1\r\n"));
    const std::string first = clients[0]->ReadUntil("C,1\r\n");
    EXPECT_TRUE(first.ends_with("C,1\r\n")) << first;
    EXPECT_EQ(clients[2]->ReadUntil("C,1\r\n"), first);
    // The place that came free takes the next client.
    LoopbackClient next(port);
    EXPECT_TRUE(err.WaitFor("Information : [TCP] client connected.", 4));
}

// A server on the IPv6 loopback address is not reached over IPv4; every interface
// (the default) is reached over IPv4.
TEST(TcpServerClients, BindAddressChoosesWhereTheServerIsReached)
{
    FdCapture err(2);
    const std::uint16_t port = channeltest::FreeTcpPort();
    auto writer = OpenChannelText("TCP*" + std::to_string(port), {1, "::1", 1, ""});
    ASSERT_TRUE(writer) << err.Text();
    const auto connects = [port](int family) {
        const int fd = socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in6 v6{.sin6_family = AF_INET6, .sin6_port = htons(port), .sin6_flowinfo = 0,
                        .sin6_addr = in6addr_loopback, .sin6_scope_id = 0};
        sockaddr_in v4{.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
        const bool ok = family == AF_INET6 ? connect(fd, reinterpret_cast<sockaddr*>(&v6), sizeof v6) == 0
                                           : connect(fd, reinterpret_cast<sockaddr*>(&v4), sizeof v4) == 0;
        close(fd);
        return ok;
    };
    EXPECT_TRUE(connects(AF_INET6));
    EXPECT_FALSE(connects(AF_INET));
}

// The test's consumer: listens on a port of its own on 127.0.0.1, as an aggregator does.
class Listener {
public:
    explicit Listener(std::uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)},
                            .sin_zero = {}};
        m_listening = bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 && listen(m_fd, 4) == 0;
    }
    ~Listener()
    {
        if (m_peer >= 0) close(m_peer);
        close(m_fd);
    }
    bool Listening() const { return m_listening; }
    bool Accept(std::chrono::milliseconds limit)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(limit.count())) != 1) return false;
        m_peer = accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
        return m_peer >= 0;
    }
    std::string ReadUntil(const std::string& needle, std::chrono::milliseconds limit = 5s)
    {
        for (const auto end = Clock::now() + limit; m_received.find(needle) == std::string::npos && Clock::now() < end;) {
            pollfd p{m_peer, POLLIN, 0};
            if (poll(&p, 1, 50) != 1) continue;
            char buffer[4096];
            const ssize_t n = recv(m_peer, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            m_received.append(buffer, static_cast<std::size_t>(n));
        }
        return m_received;
    }

private:
    int m_fd = -1;
    int m_peer = -1;
    bool m_listening = false;
    std::string m_received;
};

TEST(TcpClientOutput, SendsToTheListenerCountsWhatALossDropsAndReconnectsSoonAfterItsReturn)
{
    std::signal(SIGPIPE, SIG_IGN);
    FdCapture err(2);
    const std::uint16_t port = channeltest::FreeTcpPort();
    const std::string destination = "127.0.0.1:" + std::to_string(port);
    auto listener = std::make_unique<Listener>(port);
    ASSERT_TRUE(listener->Listening());
    auto writer = OpenChannelText("TCP*" + destination);
    ASSERT_TRUE(writer);
    ASSERT_TRUE(listener->Accept(5s));
    ASSERT_TRUE(err.WaitFor("Information : [TCP] connected to " + destination + ".\n"));
    ASSERT_TRUE(WriteText(*writer, "A,1\r\nA,2\r\n"));
    EXPECT_EQ(listener->ReadUntil("A,2\r\n"), "A,1\r\nA,2\r\n");

    // The consumer goes away; the output notices on its next sends and keeps the run.
    listener.reset();
    ASSERT_TRUE(channeltest::WaitUntil(
        [&] { return WriteText(*writer, "B,1\r\n") && err.Text().find(" lost (") != std::string::npos; }, 10s));
    EXPECT_NE(err.Text().find("Warning : [TCP] connection to " + destination + " lost ("), std::string::npos);
    EXPECT_TRUE(writer->IsAlive());
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(WriteText(*writer, "LOST,1\r\n"));  // no connection: dropped

    // Back soon after the loss: reached within the first pauses.
    std::this_thread::sleep_for(300ms);
    listener = std::make_unique<Listener>(port);
    ASSERT_TRUE(listener->Listening());
    const auto back = Clock::now();
    ASSERT_TRUE(listener->Accept(5s));
    EXPECT_LT(Clock::now() - back, 2s);
    ASSERT_TRUE(err.WaitFor("Information : [TCP] reconnected to " + destination + ".\n"));
    ASSERT_TRUE(WriteText(*writer, "C,1\r\n"));
    EXPECT_EQ(listener->ReadUntil("C,1\r\n"), "C,1\r\n") << "only current sentences after a reconnection";

    auto* client = static_cast<TCPClientChannelWriterImpl*>(writer.get());
    EXPECT_GE(client->DroppedSentences(), 3u);
    writer.reset();
    EXPECT_NE(err.Text().find("Warning : [TCP] no connection to " + destination + ", "), std::string::npos) << err.Text();
}

TEST(TcpClientOutput, RefusedConnectionsAreToldWithAGrowingPause)
{
    FdCapture err(2);
    const std::string destination = "127.0.0.1:" + std::to_string(channeltest::FreeTcpPort());
    auto writer = OpenChannelText("TCP*" + destination);
    ASSERT_TRUE(writer) << "nobody listening is no reason not to start";
    const std::string refused = "Warning : [TCP] cannot connect to " + destination + " (Connection refused), next try in ";
    EXPECT_TRUE(err.WaitFor(refused + "1 s.\n"));
    EXPECT_TRUE(err.WaitFor(refused + "2 s.\n", 1, 5s));
    EXPECT_TRUE(writer->IsAlive());
}

} // namespace

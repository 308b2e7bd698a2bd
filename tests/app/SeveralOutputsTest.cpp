// One vesgen run feeding every kind of consumer at once: a file, a TCP server with three
// clients, a listening consumer it connects to, and a multicast group on loopback.
#include "tests/support/FreePort.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(std::uint16_t port)
{
    return {.sin_family = AF_INET, .sin_port = htons(port), .sin_addr = {htonl(INADDR_LOOPBACK)}, .sin_zero = {}};
}

// Reads what has arrived on a descriptor without waiting; false once it has ended.
bool Pump(int fd, std::string& into)
{
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (fd < 0 || poll(&p, 1, 0) != 1) return fd >= 0;
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        into.append(buffer, static_cast<std::size_t>(n));
    }
}

struct Connection {
    int fd = -1;
    std::string received;
    ~Connection() { Close(); }
    void Close()
    {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    void Abort()
    {
        const linger reset{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        Close();
    }
    void Pump()
    {
        if (!::Pump(fd, received)) Close();
    }
};

std::unique_ptr<Connection> ConnectTo(std::uint16_t port)
{
    auto connection = std::make_unique<Connection>();
    for (const auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(50ms)) {
        connection->fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const sockaddr_in address = Loopback(port);
        if (connect(connection->fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) break;
        connection->Close();
    }
    return connection;
}

// A consumer that listens, as aggregators do; the listening socket can go and come back.
struct Listener {
    std::uint16_t port;
    int fd = -1;
    bool Listen()
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        const sockaddr_in address = Loopback(port);
        return bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 && listen(fd, 4) == 0;
    }
    std::unique_ptr<Connection> Accept(std::chrono::milliseconds limit)
    {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(limit.count())) != 1) return nullptr;
        auto connection = std::make_unique<Connection>();
        connection->fd = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
        return connection;
    }
    ~Listener() { close(fd); }
};

class SeveralOutputsRun : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(testsupport::ProgramPath("vesgen")));
        if (const char* old = std::getenv("TMPDIR")) m_oldTmpDir = old;
        // The single-instance lock of our vesgen only.
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
        std::signal(SIGPIPE, SIG_IGN);
    }
    void TearDown() override
    {
        if (m_oldTmpDir) setenv("TMPDIR", m_oldTmpDir->c_str(), 1);
        else unsetenv("TMPDIR");
    }
    static std::vector<std::string> Command(std::vector<std::string> args)
    {
        args.insert(args.begin(), testsupport::ProgramPath("vesgen"));
        return args;
    }

    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
    std::optional<std::string> m_oldTmpDir;
};

TEST_F(SeveralOutputsRun, EveryConsumerGetsTheSameSentencesAndALostOneChangesNothingForTheOthers)
{
    const std::string group = "239.255.77.21";
    const std::uint16_t serverPort = testsupport::FreeLoopbackPort(SOCK_STREAM);
    Listener listener{testsupport::FreeLoopbackPort(SOCK_STREAM)};
    ASSERT_TRUE(listener.Listen());
    Connection multicast;
    multicast.fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in any{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_ANY)}, .sin_zero = {}};
    ASSERT_EQ(bind(multicast.fd, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
    socklen_t length = sizeof any;
    getsockname(multicast.fd, reinterpret_cast<sockaddr*>(&any), &length);
    ip_mreqn join{};
    inet_pton(AF_INET, group.c_str(), &join.imr_multiaddr);
    join.imr_address.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(setsockopt(multicast.fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);

    const std::string log = m_work.File("log.txt");
    const std::string destination = "127.0.0.1:" + std::to_string(listener.port);
    testsupport::BackgroundProcess run(Command(
        {"--fleet-random", "20", "--fleet-seed", "7", "--vessel-lat", "52.0", "--vessel-lon", "3.6", "--ignore-timings",
         "--nmea-domsg1", "--nmea-domsg5", "--output", log, "--output", "TCP*" + std::to_string(serverPort),
         "--tcp-clients", "3", "--output", "TCP*" + destination, "--output",
         "UDP*" + group + ":" + std::to_string(ntohs(any.sin_port)), "--udp-interface", "127.0.0.1"}));
    std::vector<std::unique_ptr<Connection>> clients;
    for (int i = 0; i < 3; ++i) clients.push_back(ConnectTo(serverPort));
    auto first = listener.Accept(10s);
    ASSERT_TRUE(first) << run.ErrSoFar();
    const auto pumpFor = [&](std::chrono::milliseconds span, const std::function<void()>& also) {
        for (const auto end = Clock::now() + span; Clock::now() < end; std::this_thread::sleep_for(50ms)) {
            for (auto& client : clients) client->Pump();
            multicast.Pump();
            also();
        }
    };
    pumpFor(3s, [&] { first->Pump(); });

    // One server client and the listening consumer go; back after half a second, the
    // consumer is reached again within 2 s of its return.
    clients[1]->Abort();
    first->Close();
    close(listener.fd);
    pumpFor(500ms, [] {});
    ASSERT_TRUE(listener.Listen());
    const auto back = Clock::now();
    auto second = listener.Accept(5s);
    ASSERT_TRUE(second);
    EXPECT_LT(Clock::now() - back, 2s);
    pumpFor(3s, [&] { second->Pump(); });

    const testsupport::ProcessResult result = run.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    pumpFor(1s, [&] { second->Pump(); });  // the rest, delivered at the stop

    const std::string all = testsupport::ReadWholeFile(log);
    ASSERT_GT(all.size(), 1000u);
    EXPECT_TRUE(multicast.received == all) << multicast.received.size() << " of " << all.size() << " bytes by multicast";
    // Those who stayed got everything from when they came to the end, the lost one a
    // stretch of it; every piece starts with a sentence.
    for (const std::size_t i : {0, 2}) {
        ASSERT_FALSE(clients[i]->received.empty()) << i;
        EXPECT_TRUE(all.ends_with(clients[i]->received)) << "client " << i;
        EXPECT_TRUE(clients[i]->received.starts_with("!AIVDM,")) << i;
    }
    EXPECT_NE(all.find(clients[1]->received), std::string::npos);
    EXPECT_FALSE(first->received.empty());
    EXPECT_TRUE(all.starts_with(first->received)) << "the consumer that listens gets the run from its start";
    ASSERT_FALSE(second->received.empty());
    EXPECT_TRUE(all.ends_with(second->received));
    EXPECT_TRUE(second->received.starts_with("!AIVDM,"));
    EXPECT_NE(result.err.find("Warning : [TCP] connection to " + destination + " lost ("), std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("Information : [TCP] reconnected to " + destination + ".\n"), std::string::npos);
    EXPECT_NE(result.err.find("Information : [TCP] client disconnected.\n"), std::string::npos);
}

// The single vessel feeds two files and a server for one client: the second client
// gets the refusal it always got.
TEST_F(SeveralOutputsRun, SingleVesselToTwoFilesAndAServerForOneClient)
{
    const std::uint16_t port = testsupport::FreeLoopbackPort(SOCK_STREAM);
    testsupport::BackgroundProcess run(Command({"--output", m_work.File("a.txt"), "--output", m_work.File("b.txt"),
                                                "--output", "TCP*" + std::to_string(port), "--tcp-clients", "1",
                                                "--ignore-timings", "--nmea-domsg1", "--nmea-domsg5"}));
    auto client = ConnectTo(port);
    auto refused = ConnectTo(port);
    for (const auto end = Clock::now() + 3s; Clock::now() < end; std::this_thread::sleep_for(50ms)) {
        client->Pump();
        refused->Pump();
    }
    const testsupport::ProcessResult result = run.Stop(SIGTERM);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    client->Pump();
    const std::string a = testsupport::ReadWholeFile(m_work.File("a.txt"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(a, testsupport::ReadWholeFile(m_work.File("b.txt")));
    EXPECT_TRUE(!client->received.empty() && a.ends_with(client->received));
    EXPECT_EQ(refused->received, "");
    EXPECT_NE(result.err.find("Information : [TCP] connection refused, only one connection allowed.\n"),
              std::string::npos)
        << result.err;
}

struct RefusedRow {
    std::string name;
    std::vector<std::string> args;  // after "--output log.txt"
    std::string line;
};

TEST_F(SeveralOutputsRun, BadTextsAndOptionsAreRefusedBeforeAnythingStarts)
{
    const std::vector<RefusedRow> rows = {
        {"client without port", {"--output", "TCP*host:"}, "Error : [TCP] invalid address, HOST:PORT expected. (host:)"},
        {"client without host", {"--output", "TCP*:5"}, "Error : [TCP] invalid address, HOST:PORT expected. (:5)"},
        {"unclosed IPv6 bracket", {"--output", "TCP*[::1"}, "Error : [TCP] invalid address, HOST:PORT expected. ([::1)"},
        {"multicast with a TTL beyond 255", {"--output", "UDP*239.1.2.3:5000", "--udp-ttl", "300"},
         "Error : [UDP] --udp-ttl 300 is not a TTL from 0 to 255."},
        {"fleet with a bad client text", {"--output", "TCP*:5", "--fleet-random", "3"},
         "Error : [TCP] invalid address, HOST:PORT expected. (:5)"},
    };
    for (const RefusedRow& row : rows) {
        std::vector<std::string> args{"--output", m_work.File("log.txt"), "--nmea-domsg1"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const testsupport::ProcessResult r = testsupport::RunProcess(Command(args), {}, 20s);
        EXPECT_EQ(r.exitCode, 1) << row.name;
        EXPECT_NE(r.err.find(row.line + "\n"), std::string::npos) << row.name << ": " << r.err;
        EXPECT_FALSE(std::filesystem::exists(m_work.File("log.txt"))) << row.name;
    }
}

} // namespace

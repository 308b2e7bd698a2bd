// vesgen feeding a live gpsd, as a chart plotter's gpsd would be fed: the own ship over
// TCP must become a moving fix, and a UDP stream must reach gpsd's AIS reports.
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
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

double Number(const std::string& json, const std::string& key)
{
    const std::size_t at = json.find("\"" + key + "\":");
    return at == std::string::npos ? NAN : std::atof(json.c_str() + at + key.size() + 3);
}

// Watches gpsd's JSON reports until `lines` TPV and AIS objects have come, or the limit.
std::vector<std::string> WatchGpsd(std::uint16_t port, std::size_t lines, std::chrono::seconds limit)
{
    std::vector<std::string> reports;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int fd = -1;
    while (std::chrono::steady_clock::now() < deadline) {  // gpsd takes a moment to listen
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
        close(fd);
        fd = -1;
        std::this_thread::sleep_for(100ms);
    }
    if (fd < 0) return reports;
    const std::string watch = "?WATCH={\"enable\":true,\"json\":true}\n";
    send(fd, watch.data(), watch.size(), MSG_NOSIGNAL);
    std::string pending;
    while (reports.size() < lines && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) != 1) continue;
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        pending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string line = pending.substr(0, end);
            if (line.find("\"class\":\"TPV\"") != std::string::npos || line.find("\"class\":\"AIS\"") != std::string::npos)
                reports.push_back(line);
        }
    }
    close(fd);
    return reports;
}

class Consumers : public testing::Test {
protected:
    void SetUp() override
    {
        // Fail, never skip: these are the consumers the stream is made for.
        ASSERT_EQ(access(testsupport::ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        ASSERT_EQ(testsupport::RunProcess({"sh", "-c", "command -v gpsd"}).exitCode, 0)
            << "gpsd not found: install the Debian package gpsd";
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }

    std::vector<std::string> Run(const std::vector<std::string>& vesgenArgs, const std::string& source,
                                 std::uint16_t gpsdPort, std::size_t reports)
    {
        std::vector<std::string> args{testsupport::ProgramPath("vesgen")};
        args.insert(args.end(), vesgenArgs.begin(), vesgenArgs.end());
        testsupport::BackgroundProcess vesgen(args);
        std::this_thread::sleep_for(300ms);
        testsupport::BackgroundProcess gpsd({"gpsd", "-N", "-n", "-b", "-S", std::to_string(gpsdPort), source});
        return WatchGpsd(gpsdPort, reports, 15s);
    }

    testsupport::TempDir m_lockDir;
};

TEST_F(Consumers, OwnShipOverTcpIsAMovingFixAndItsAisInGpsd)
{
    const std::uint16_t port = testsupport::FreeLoopbackPort(SOCK_STREAM);
    const std::uint16_t gpsdPort = testsupport::FreeLoopbackPort(SOCK_STREAM);
    const auto reports = Run({"--output", "TCP*" + std::to_string(port), "--nmea-own-ship", "--nmea-domsg1",
                              "--ignore-timings", "--vessel-mmsi", "244123456", "--vessel-lat", "52.5", "--vessel-lon",
                              "4.25", "--vessel-sog", "12", "--vessel-cog", "45"},
                             "tcp://127.0.0.1:" + std::to_string(port), gpsdPort, 8);
    std::vector<std::string> fixes;
    int ownAis = 0;
    for (const std::string& r : reports) {
        if (r.find("\"class\":\"TPV\"") != std::string::npos && Number(r, "mode") >= 2) fixes.push_back(r);
        if (r.find("\"mmsi\":244123456") != std::string::npos) ++ownAis;
    }
    ASSERT_GE(fixes.size(), 2u) << reports.size() << " reports";
    EXPECT_GE(ownAis, 1);
    for (const std::string& fix : fixes) {
        // 12 kn to the north-east: about 6.2 m, 5.5e-5 degrees of latitude, a second.
        EXPECT_NEAR(Number(fix, "lat"), 52.5, 0.002) << fix;
        EXPECT_NEAR(Number(fix, "lon"), 4.25, 0.003) << fix;
        EXPECT_NEAR(Number(fix, "speed"), 12 * 1852.0 / 3600.0, 0.06) << fix;  // m/s, 0.1 kn resolution
        EXPECT_NEAR(Number(fix, "track"), 45.0, 0.11) << fix;
    }
    EXPECT_GT(Number(fixes.back(), "lat"), 52.5);
    EXPECT_GT(Number(fixes.back(), "lat"), Number(fixes.front(), "lat") - 1e-9);
    EXPECT_GT(Number(fixes.back(), "lon"), 4.25);
}

TEST_F(Consumers, UdpStreamReachesGpsd)
{
    const std::uint16_t port = testsupport::FreeLoopbackPort(SOCK_DGRAM);
    const std::uint16_t gpsdPort = testsupport::FreeLoopbackPort(SOCK_STREAM);
    const auto reports = Run({"--output", "UDP*127.0.0.1:" + std::to_string(port), "--nmea-domsg1", "--nmea-domsg5",
                              "--ignore-timings", "--nmea-upper-crc", "--vessel-mmsi", "211000777", "--vessel-name",
                              "UDP TEST"},
                             "udp://127.0.0.1:" + std::to_string(port), gpsdPort, 2);
    ASSERT_GE(reports.size(), 2u);
    bool sawName = false;
    for (const std::string& r : reports) {
        EXPECT_NE(r.find("\"mmsi\":211000777"), std::string::npos) << r;
        sawName = sawName || r.find("\"shipname\":\"UDP TEST\"") != std::string::npos;
    }
    EXPECT_TRUE(sawName);
}

} // namespace

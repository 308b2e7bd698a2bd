// Stop signals to a running vesgen with a TCP client: the run ends as a stop does.
#include "tests/support/GpsDecode.h"
#include "tests/support/Subprocess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct StopRow {
    const char* name;
    int signal;
    bool fleet;  // the fleet's run instead of the single vessel's model
};

void PrintTo(const StopRow& row, std::ostream* out)
{
    *out << row.name;
}

// Everything a client received and how the connection ended.
struct Reception {
    std::string text;
    bool cleanEnd = false;  // end of stream, not a reset or a time-out
    std::string failure;
};

class StopSignalTest : public testing::TestWithParam<StopRow> {
protected:
    void SetUp() override
    {
        ASSERT_EQ(access(testsupport::ProgramPath("vesgen").c_str(), X_OK), 0) << "vesgen is not built";
        setenv("TMPDIR", m_lockDir.Path().c_str(), 1);
    }

    // The port the server names in its "listening on port N." line.
    static std::uint16_t ListeningPort(testsupport::BackgroundProcess& vesgen)
    {
        const std::regex line(R"(listening on port (\d+)\.)");
        std::smatch match;
        for (const auto end = Clock::now() + 10s; Clock::now() < end; std::this_thread::sleep_for(20ms)) {
            const std::string err = vesgen.ErrSoFar();
            if (std::regex_search(err, match, line)) return static_cast<std::uint16_t>(std::stoi(match[1]));
        }
        return 0;
    }

    testsupport::TempDir m_lockDir;
    testsupport::TempDir m_work;
};

// Reads until `sentences` lines have come, then has `stop` run and reads on to the end.
Reception ReadAndStop(std::uint16_t port, std::size_t sentences, const std::function<void()>& stop)
{
    Reception r;
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        r.failure = std::string("connect: ") + std::strerror(errno);
        close(fd);
        return r;
    }
    bool stopped = false;
    for (const auto end = Clock::now() + 20s; Clock::now() < end;) {
        if (!stopped && static_cast<std::size_t>(std::count(r.text.begin(), r.text.end(), '\n')) >= sentences) {
            stop();
            stopped = true;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) != 1) continue;
        char buffer[65536];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            r.text.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        r.cleanEnd = n == 0 && stopped;
        if (n < 0) r.failure = std::string("recv: ") + std::strerror(errno);
        if (n == 0 && !stopped) r.failure = "the server ended before the signal";
        break;
    }
    if (!r.cleanEnd && r.failure.empty()) r.failure = "no end within 20 s";
    close(fd);
    return r;
}

TEST_P(StopSignalTest, ClientGetsWholeSentencesThenAnOrderlyEndAndTheExitIsZero)
{
    KVL_REQUIRE_GPSDECODE();
    const StopRow& row = GetParam();
    std::vector<std::string> argv{testsupport::ProgramPath("vesgen"), "--output", "TCP*0", "--ignore-timings"};
    if (row.fleet) {
        const std::string csv = m_work.File("fleet.csv");
        std::ofstream(csv) << "vessel-name,vessel-mmsi,vessel-lat,vessel-lon,vessel-sog,nmea-domsg1,nmea-domsg5\n"
                              "ONE,244000001,52.0,3.9,10,1,1\nTWO,244000002,52.1,3.8,12,1,1\n";
        argv.insert(argv.end(), {"--fleet", csv});
    } else {
        argv.insert(argv.end(), {"--nmea-domsg1", "--nmea-domsg5", "--vessel-mmsi", "244000001"});
    }
    testsupport::BackgroundProcess vesgen(argv);
    const std::uint16_t port = ListeningPort(vesgen);
    ASSERT_NE(port, 0) << vesgen.ErrSoFar();

    Clock::time_point signalled;
    const Reception r = ReadAndStop(port, 6, [&] {
        signalled = Clock::now();
        kill(vesgen.Pid(), row.signal);
    });
    const testsupport::ProcessResult result = vesgen.Wait(10s);
    EXPECT_TRUE(r.cleanEnd) << r.failure;
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(result.timedOut);
    // The stop's bound (3 s for the thread) with room for a loaded machine.
    EXPECT_LT(Clock::now() - signalled, 8s);
    EXPECT_EQ(result.err.find("late to stop"), std::string::npos) << result.err;

    ASSERT_TRUE(r.text.ends_with("\r\n")) << "a cut sentence at the end";
    const std::regex sentence(R"(!AIVDM,[12],[12],\d?,[AB],[0-9:;<=>?@A-W`a-w]+,[0-5]\*[0-9a-f]{2}\r)");
    std::istringstream lines(r.text);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line); ++count) EXPECT_TRUE(std::regex_match(line, sentence)) << line;
    // Every message decodes: a message 5 is two sentences.
    const auto records = testsupport::GpsDecode(r.text);
    std::size_t expected = 0;
    for (const auto& record : records) expected += record.at("type") == "5" ? 2 : 1;
    EXPECT_EQ(expected, count);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         testing::Values(StopRow{"SingleVesselTerm", SIGTERM, false},
                                         StopRow{"SingleVesselInt", SIGINT, false},
                                         StopRow{"SingleVesselHup", SIGHUP, false},
                                         StopRow{"FleetTerm", SIGTERM, true},
                                         StopRow{"FleetInt", SIGINT, true},
                                         StopRow{"FleetHup", SIGHUP, true}),
                         [](const testing::TestParamInfo<StopRow>& info) { return std::string(info.param.name); });

} // namespace

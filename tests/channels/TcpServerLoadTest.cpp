// The TCP server under load: connection churn, crowds of second clients, readers that
// half-close or fall behind, and how soon written text reaches the client.
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "tests/channels/ChannelTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;
using channeltest::LoopbackClient;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const std::string kConnected = "Information : [TCP] client connected.\n";
const std::string kRefused = "Information : [TCP] connection refused, only one connection allowed.\n";
const std::string kDisconnected = "Information : [TCP] client disconnected.\n";

// One sentence per number, padded to a realistic length.
std::string Sentence(long number, long step = 0)
{
    return "!AIVDM,1,1,," + std::to_string(step) + "," + std::to_string(number) + ",PADPADPADPADPADPADPADPAD*00\r\n";
}

struct Line {
    long step;
    long number;
};

// Splits received text into sentences; false when a piece is not a whole one of ours.
bool ParseLines(const std::string& text, std::vector<Line>& lines)
{
    std::istringstream in(text);
    std::string piece;
    while (std::getline(in, piece)) {
        if (piece == "\r") continue;  // an empty line between sentences
        Line line{};
        char tail[64] = {};
        if (in.eof() || std::sscanf(piece.c_str(), "!AIVDM,1,1,,%ld,%ld,%63s", &line.step, &line.number, tail) != 3 ||
            Sentence(line.number, line.step) != piece + "\n") {
            return false;
        }
        lines.push_back(line);
    }
    return true;
}

// A raw loopback connection for what LoopbackClient does not offer.
class RawClient {
public:
    // Retries while the server is not listening yet; without `wait` the connection
    // completes in the background.
    explicit RawClient(std::uint16_t port, int receiveBuffer = 0, bool wait = true)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        for (int attempt = 0; attempt < 100 && !m_connected; ++attempt) {
            if (m_fd >= 0) close(m_fd);
            if (attempt > 0) std::this_thread::sleep_for(50ms);
            m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (receiveBuffer > 0) setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
            if (!wait) fcntl(m_fd, F_SETFL, O_NONBLOCK);
            m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
                          (!wait && errno == EINPROGRESS);
        }
    }
    ~RawClient() { close(m_fd); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return m_connected; }
    void ShutdownSending() { shutdown(m_fd, SHUT_WR); }
    // Reads what arrives within `wait`; false on end of stream or reset.
    bool Read(std::string& into, std::chrono::milliseconds wait)
    {
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return true;
        char buffer[65536];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0) errno = 0;  // a clean end, told apart from a reset
        if (n > 0) into.append(buffer, static_cast<std::size_t>(n));
        return n > 0 || (n < 0 && errno == EAGAIN);
    }

private:
    int m_fd = -1;
    bool m_connected = false;
};

// Writes one step of three sentences every `period` until it goes.
class Stepper {
public:
    Stepper(IChannelWriter& writer, std::chrono::milliseconds period)
        : m_thread([&writer, period](std::stop_token stop) {
              for (long step = 1; !stop.stop_requested(); ++step) {
                  const std::string text = Sentence(0, step) + Sentence(1, step) + Sentence(2, step);
                  writer.Write(text.data(), static_cast<std::uint32_t>(text.size()));
                  std::this_thread::sleep_for(period);
              }
          })
    {
    }

private:
    std::jthread m_thread;
};

class TcpServerLoadTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::signal(SIGPIPE, SIG_DFL);
        m_port = channeltest::FreeTcpPort();
        ASSERT_TRUE(m_writer->Open(std::to_string(m_port).c_str()));
    }

    bool Write(const std::string& text) { return m_writer->Write(text.data(), static_cast<std::uint32_t>(text.size())); }

    FdCapture m_err{2};
    ChannelWriterPtr m_writer{new TCPServerChannelWriterImpl};
    std::uint16_t m_port = 0;
};

TEST_F(TcpServerLoadTest, AfterConnectionChurnANewClientGetsOnlyCurrentSentences)
{
    Stepper stepper(*m_writer, 50ms);
    for (const auto end = Clock::now() + 3s; Clock::now() < end;) {
        LoopbackClient churn(m_port, 1s);
        if (churn.Connected() && (Clock::now().time_since_epoch().count() & 1)) churn.Abort();
        std::this_thread::sleep_for(10ms);
    }
    RawClient stays(m_port);
    std::string first;
    ASSERT_TRUE(stays.Read(first, 2s));
    ASSERT_TRUE(stays.Read(first, 0ms));
    std::vector<Line> lines;
    ASSERT_TRUE(ParseLines(first, lines)) << first;
    std::set<long> steps;
    for (const Line& line : lines) steps.insert(line.step);
    EXPECT_LE(steps.size(), 2u) << lines.size() << " sentences in the first block";
    EXPECT_TRUE(m_writer->IsAlive());
}

TEST_F(TcpServerLoadTest, CrowdOfSecondClientsIsRefusedAtOnceWhileTheFirstKeepsItsStream)
{
    RawClient served(m_port);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    Stepper stepper(*m_writer, 20ms);
    std::string stream;
    std::vector<std::unique_ptr<RawClient>> crowd;
    for (int i = 0; i < 50; ++i) crowd.push_back(std::make_unique<RawClient>(m_port, 0, false));
    const auto deadline = Clock::now() + 2s;
    for (auto& second : crowd) {
        std::string ignored;
        while (second->Read(ignored, 10ms) && Clock::now() < deadline) served.Read(stream, 0ms);
        ASSERT_LT(Clock::now(), deadline) << "a second client saw no end of stream";
        EXPECT_EQ(ignored, "");
    }
    EXPECT_TRUE(m_err.WaitFor(kRefused, 50, 1s));
    for (const auto end = Clock::now() + 300ms; Clock::now() < end;) ASSERT_TRUE(served.Read(stream, 10ms));

    std::vector<Line> lines;
    ASSERT_TRUE(ParseLines(stream, lines));
    ASSERT_GT(lines.size(), 3u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const Line& before = lines[i - 1];
        const Line expected = before.number == 2 ? Line{before.step + 1, 0} : Line{before.step, before.number + 1};
        ASSERT_TRUE(lines[i].step == expected.step && lines[i].number == expected.number) << "gap at line " << i;
    }
}

TEST_F(TcpServerLoadTest, ReconnectRightAfterLeavingIsServedPromptly)
{
    Stepper stepper(*m_writer, 20ms);
    for (const bool reset : {false, true}) {
        {
            LoopbackClient leaving(m_port);
            ASSERT_FALSE(leaving.ReadUntil("\r\n").empty());
            if (reset) leaving.Abort();
        }
        const auto start = Clock::now();
        LoopbackClient next(m_port);
        ASSERT_FALSE(next.ReadUntil("\r\n", 2s).empty());
        EXPECT_LT(Clock::now() - start, 200ms) << (reset ? "after a reset" : "after a close");
    }
    EXPECT_EQ(channeltest::CountOf(m_err.Text(), kRefused), 0);
}

TEST_F(TcpServerLoadTest, EachWriteReachesTheClientPromptly)
{
    LoopbackClient client(m_port);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    for (long i = 0; i < 10; ++i) {
        const auto start = Clock::now();
        ASSERT_TRUE(Write(Sentence(i)));
        ASSERT_TRUE(client.ReadUntil(Sentence(i)).ends_with(Sentence(i)));
        EXPECT_LT(Clock::now() - start, 100ms) << "write " << i;
    }
}

TEST_F(TcpServerLoadTest, HalfClosedReaderKeepsItsPlace)
{
    RawClient reader(m_port);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    reader.ShutdownSending();
    LoopbackClient newcomer(m_port);
    EXPECT_TRUE(newcomer.WaitForServerClose());
    EXPECT_TRUE(m_err.WaitFor(kRefused));

    ASSERT_TRUE(Write(Sentence(7)));
    std::string received;
    for (const auto end = Clock::now() + 2s; received.find(Sentence(7)) == std::string::npos && Clock::now() < end;) {
        ASSERT_TRUE(reader.Read(received, 100ms)) << "the reader was hung up on";
    }
    std::vector<Line> lines;
    ASSERT_TRUE(ParseLines(received, lines)) << received;
    ASSERT_EQ(lines.size(), 1u) << received;
    EXPECT_EQ(channeltest::CountOf(m_err.Text(), kDisconnected), 0);
}

TEST_F(TcpServerLoadTest, SlowReaderThatCatchesUpMissesNothing)
{
    RawClient slow(m_port, 4096);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    constexpr long kSentences = 100000;  // about 5 MiB, more than the sockets hold
    for (long i = 0; i < kSentences; i += 100) {
        std::string step;
        for (long k = i; k < i + 100; ++k) step += Sentence(k);
        ASSERT_TRUE(Write(step));
    }
    // The reader stalls for several passes of the server while the rest of the text waits.
    std::this_thread::sleep_for(3500ms);
    std::string received;
    const std::string last = Sentence(kSentences - 1);
    for (const auto end = Clock::now() + 10s; !received.ends_with(last) && Clock::now() < end;) {
        ASSERT_TRUE(slow.Read(received, 100ms)) << "dropped after " << received.size() << " bytes";
    }
    std::vector<Line> lines;
    ASSERT_TRUE(ParseLines(received, lines));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kSentences));
    for (long i = 0; i < kSentences; ++i) ASSERT_EQ(lines[i].number, i);
    EXPECT_EQ(channeltest::CountOf(m_err.Text(), kDisconnected), 0);
}

TEST_F(TcpServerLoadTest, FullSpeedReaderKeepsItsPlaceThroughStepsLargerThanTheFloor)
{
    RawClient reader(m_port);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    std::string received;
    std::atomic<std::size_t> receivedBytes{0};
    std::atomic<bool> stop{false};
    std::thread drain([&] {
        while (!stop && reader.Read(received, 100ms)) receivedBytes = received.size();
    });
    constexpr long kSteps = 3;
    constexpr long kPerStep = 400000;  // about 23 MiB, beyond the 8 MiB floor of the bound
    std::size_t sentBytes = 0;
    for (long step = 0; step < kSteps; ++step) {
        std::string text;
        for (long k = 0; k < kPerStep; ++k) text += Sentence(k, step);
        sentBytes += text.size();
        ASSERT_TRUE(Write(text));
        std::this_thread::sleep_for(200ms);
    }
    for (const auto end = Clock::now() + 30s; receivedBytes < sentBytes && Clock::now() < end;)
        std::this_thread::sleep_for(50ms);
    stop = true;
    drain.join();
    EXPECT_EQ(channeltest::CountOf(m_err.Text(), kDisconnected), 0);
    std::vector<Line> lines;
    ASSERT_TRUE(ParseLines(received, lines));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kSteps * kPerStep));
    for (long i = 0; i < kSteps * kPerStep; ++i) {
        ASSERT_EQ(lines[i].step, i / kPerStep);
        ASSERT_EQ(lines[i].number, i % kPerStep);
    }
}

struct OverflowRow {
    std::string name;
    std::chrono::milliseconds readsAfter;  // how long the dropped reader waits to read again
    bool cleanEnd;  // sent the rest of its last sentence before the end
};

void PrintTo(const OverflowRow& row, std::ostream* out)
{
    *out << row.name;
}

class OverflowTest : public TcpServerLoadTest, public testing::WithParamInterface<OverflowRow> {};

TEST_P(OverflowTest, ReaderThatOverflowsItsBacklogIsDropped)
{
    RawClient stalled(m_port, 4096);
    ASSERT_TRUE(m_err.WaitFor(kConnected));
    std::string step;
    for (long k = 0; k < 1000; ++k) step += Sentence(k);
    for (int i = 0; i < 400 && m_err.Text().find(kDisconnected) == std::string::npos; ++i) {
        ASSERT_TRUE(Write(step));  // 400 steps: about 30 MiB
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(m_err.WaitFor(kDisconnected));
    EXPECT_TRUE(m_writer->IsAlive());
    LoopbackClient next(m_port);
    ASSERT_TRUE(m_err.WaitFor(kConnected, 2));
    ASSERT_TRUE(Write(Sentence(5, 5)));
    EXPECT_TRUE(next.ReadUntil(Sentence(5, 5)) == Sentence(5, 5)) << "older text reached the next client";

    std::this_thread::sleep_for(GetParam().readsAfter);
    std::string received;
    const auto end = Clock::now() + 5s;
    while (stalled.Read(received, 100ms) && Clock::now() < end) {}
    // A clean end comes only after a whole sentence; a cut one ends with a reset.
    const std::string tail = received.substr(received.rfind('\n') + 1);
    if (GetParam().cleanEnd) {
        EXPECT_EQ(tail, "");
    }
    EXPECT_EQ(errno, tail.empty() ? 0 : ECONNRESET) << "ends with: " << tail;
    std::vector<Line> lines;
    if (tail.empty()) {
        EXPECT_TRUE(ParseLines(received, lines));
    }
}

INSTANTIATE_TEST_SUITE_P(Readers, OverflowTest,
                         testing::Values(OverflowRow{"ReadingAgainAtOnce", 0ms, true},
                                         OverflowRow{"StalledBeyondAPass", 2500ms, false}),
                         [](const testing::TestParamInfo<OverflowRow>& info) { return info.param.name; });

TEST(TcpServerPortChoiceTest, PortZeroSaysWhichPortTheSystemPicked)
{
    FdCapture err(2);
    ChannelWriterPtr writer{new TCPServerChannelWriterImpl};
    ASSERT_TRUE(writer->Open("0"));
    const std::string prefix = "Information : [TCP] listening on port ";
    ASSERT_TRUE(err.WaitFor(prefix));
    const std::string text = err.Text();
    const unsigned long port = std::stoul(text.substr(text.find(prefix) + prefix.size()));
    EXPECT_TRUE(text.ends_with(std::to_string(port) + ".\n")) << text;
    ASSERT_GT(port, 0u);
    LoopbackClient client(static_cast<std::uint16_t>(port));
    EXPECT_TRUE(err.WaitFor(kConnected));
}

} // namespace

// Several outputs in one run: the same text to each, a stalled or lost one holding up or
// ending none of the others, and texts or options refused before anything opens.
#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/ChannelSelection.h"
#include "tests/channels/ChannelTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using channeltest::FdCapture;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A step of `count` numbered sentences of about 64 bytes.
std::string Step(int number, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb" + std::to_string(number * 1000 + i) + ",0*24\r\n";
    return text;
}

ChannelWriterPtr Open(const std::vector<std::string>& outputs, const OutputSettings& settings = {})
{
    IChannelWriter* writer = nullptr;
    const bool ok = OpenOutputs(outputs, settings, writer);
    EXPECT_EQ(ok, writer != nullptr);
    return ChannelWriterPtr(writer);
}

// A FIFO whose read end the test holds; the writer can open it only while it is held.
struct Fifo {
    std::string path;
    int readEnd = -1;
    explicit Fifo(std::string where) : path(std::move(where))
    {
        if (mkfifo(path.c_str(), 0600) == 0) readEnd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~Fifo() { CloseReader(); }
    void CloseReader()
    {
        if (readEnd >= 0) close(readEnd);
        readEnd = -1;
    }
};

TEST(SeveralOutputs, StalledPipeHoldsUpNoOtherOutput)
{
    std::signal(SIGPIPE, SIG_IGN);
    FdCapture err(2);
    testsupport::TempDir dir;
    Fifo stalled(dir.File("stalled.fifo"));  // never read: full after 64 KiB
    ASSERT_GE(stalled.readEnd, 0);
    const std::uint16_t port = channeltest::FreeTcpPort();
    auto writer = Open({stalled.path, dir.File("log.txt"), "TCP*" + std::to_string(port)});
    ASSERT_TRUE(writer);
    channeltest::LoopbackClient client(port);
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(err.WaitFor("Information : [TCP] client connected."));

    // A writer that waited for the pipe would spend 1.5 s on the write that fills it and
    // a quarter of a second on each after it.
    std::string all;
    Clock::duration longest{};
    for (int step = 0; step < 16; ++step) {
        const std::string text = Step(step, 125);  // 8 KiB: the pipe is full after 8
        all += text;
        const auto start = Clock::now();
        ASSERT_TRUE(writer->Write(text.data(), static_cast<std::uint32_t>(text.size())));
        longest = std::max(longest, Clock::now() - start);
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_LT(longest, 500ms);
    ASSERT_EQ(client.ReadUntil(Step(15, 125)).size(), all.size());
    EXPECT_TRUE(client.Received() == all);
    EXPECT_TRUE(writer->IsAlive());

    writer.reset();  // closes every output
    EXPECT_TRUE(testsupport::ReadWholeFile(dir.File("log.txt")) == all);
    EXPECT_NE(err.Text().find("Warning : [FILE] output too slow, "), std::string::npos) << err.Text();
}

TEST(SeveralOutputs, OutputThatEndsIsLeftOutAndTheLastOneEndsTheRun)
{
    std::signal(SIGPIPE, SIG_IGN);
    FdCapture err(2);
    testsupport::TempDir dir;
    Fifo first(dir.File("first.fifo"));
    Fifo second(dir.File("second.fifo"));
    auto writer = Open({first.path, second.path});
    ASSERT_TRUE(writer);
    const auto write = [&](int step) {
        const std::string text = Step(step, 3);
        return writer->Write(text.data(), static_cast<std::uint32_t>(text.size()));
    };

    first.CloseReader();
    ASSERT_TRUE(channeltest::WaitUntil([&] { return !write(1) || err.Text().find("goes on") != std::string::npos; }, 5s));
    EXPECT_NE(err.Text().find("Warning : output " + first.path + " has ended; 1 output goes on.\n"), std::string::npos)
        << err.Text();
    EXPECT_TRUE(writer->IsAlive());
    // The writer's thread delivers on its own time: wait for the step, do not race it.
    char buffer[4096];
    EXPECT_TRUE(channeltest::WaitUntil([&] { return read(second.readEnd, buffer, sizeof buffer) > 0; }, 5s))
        << "the other output still gets the steps";

    second.CloseReader();
    EXPECT_TRUE(channeltest::WaitUntil([&] { return !write(2) && !writer->IsAlive(); }, 5s));
    EXPECT_NE(err.Text().find("Warning : output " + second.path + " has ended; no output is left.\n"), std::string::npos);
    EXPECT_EQ(channeltest::CountOf(err.Text(), "Error : [FILE] write error, code = 32"), 2);
}

struct RefusalRow {
    std::string name;
    std::vector<std::string> outputs;  // "@" stands for the test's folder, "#" for a free port
    NetworkOptions network;
    std::string line;
};

void PrintTo(const RefusalRow& row, std::ostream* out)
{
    *out << row.name;
}

class RefusedOutputsTest : public testing::TestWithParam<RefusalRow> {};

// Nothing is left behind: no file made, no port held.
TEST_P(RefusedOutputsTest, NothingStaysOpen)
{
    FdCapture err(2);
    testsupport::TempDir dir;
    const std::uint16_t port = channeltest::FreeTcpPort();
    std::vector<std::string> outputs;
    for (std::string text : GetParam().outputs) {
        if (const auto at = text.find('@'); at != std::string::npos) text.replace(at, 1, dir.Path().string());
        if (const auto at = text.find('#'); at != std::string::npos) text.replace(at, 1, std::to_string(port));
        outputs.push_back(text);
    }
    OutputSettings settings;
    settings.network = GetParam().network;
    EXPECT_FALSE(Open(outputs, settings));
    EXPECT_NE(err.Text().find(GetParam().line), std::string::npos) << err.Text();
    EXPECT_FALSE(std::filesystem::exists(dir.File("log.txt")));
    EXPECT_TRUE(channeltest::IsTcpPortFree(port));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedOutputsTest,
    testing::Values(
        RefusalRow{"TcpClientWithoutPort", {"@/log.txt", "TCP*host:"}, {},
                   "Error : [TCP] invalid address, HOST:PORT expected. (host:)\n"},
        RefusalRow{"TcpClientWithoutHost", {"@/log.txt", "TCP*:5"}, {},
                   "Error : [TCP] invalid address, HOST:PORT expected. (:5)\n"},
        RefusalRow{"TcpClientUnclosedBracket", {"TCP*#", "TCP*[::1"}, {},
                   "Error : [TCP] invalid address, HOST:PORT expected. ([::1)\n"},
        RefusalRow{"UdpWithoutPort", {"@/log.txt", "UDP*224.0.0.1"}, {},
                   "Error : [UDP] invalid destination, HOST:PORT expected. (224.0.0.1)\n"},
        RefusalRow{"ServerWithoutPort", {"@/log.txt", "TCP*x"}, {}, "Error : [TCP] invalid port number. (x)\n"},
        // Opened in order: the server listens, then the file fails, and the server goes.
        RefusalRow{"FileThatCannotBeMade", {"TCP*#", "@/missing/log.txt"}, {}, "Error : [FILE] error opening file ("},
        RefusalRow{"MulticastTtlAbove255", {"@/log.txt", "UDP*239.1.2.3:5000"}, {1, "", 256, ""},
                   "Error : [UDP] --udp-ttl 256 is not a TTL from 0 to 255.\n"},
        RefusalRow{"NegativeTtl", {"UDP*239.1.2.3:5000"}, {1, "", -1, ""},
                   "Error : [UDP] --udp-ttl -1 is not a TTL from 0 to 255.\n"},
        RefusalRow{"NoTcpClients", {"TCP*#"}, {0, "", 1, ""},
                   "Error : [TCP] --tcp-clients 0 is not a number of clients from 1 to 1024.\n"},
        RefusalRow{"UnknownMulticastInterface", {"TCP*#", "UDP*239.1.2.3:5000"}, {1, "", 1, "nosuch0"},
                   "Error : [UDP] there is no network interface nosuch0 (--udp-interface).\n"},
        RefusalRow{"UnknownBindAddress", {"@/log.txt", "TCP*#"}, {1, "no.such.host.invalid", 1, ""},
                   "Error : [TCP] cannot listen on no.such.host.invalid: "}),
    [](const testing::TestParamInfo<RefusalRow>& info) { return info.param.name; });

} // namespace

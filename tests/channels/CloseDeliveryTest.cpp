// Close after a reader fell behind: what waits for it still goes out, whole, and then the
// channel ends in order. This is how a stopped run delivers its last steps.
#include "emulator/channels/CBasicFileWriter.h"
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "tests/channels/ChannelTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string Sentences(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "!AIVDM,1,1,,A,13u?etPv2;0n:dDPwUM1U1Cb069D" + std::to_string(100000 + i) + ",0*24\r\n";
    return text;
}

// Reads a descriptor to its end; `clean` tells an end of stream from a reset or time-out.
std::string ReadToEnd(int fd, bool& clean)
{
    std::string text;
    clean = false;
    char buffer[65536];
    for (const auto end = Clock::now() + 15s; Clock::now() < end;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) != 1) continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        clean = n == 0;
        break;
    }
    return text;
}

TEST(CloseDelivery, TcpClientThatFellBehindGetsEveryWrittenSentenceThenAnOrderlyEnd)
{
    std::signal(SIGPIPE, SIG_DFL);
    channeltest::FdCapture err(2);
    const std::uint16_t port = channeltest::FreeTcpPort();
    ChannelWriterPtr writer(new TCPServerChannelWriterImpl);
    ASSERT_TRUE(writer->Open(std::to_string(port).c_str()));

    // A small receive window keeps most of the text in the server's backlog.
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int window = 4096;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(err.WaitFor("Information : [TCP] client connected.\n"));

    const std::string step = Sentences(50);
    std::string text;
    // More than the kernel's send buffer holds (4 MiB at most), less than the client's
    // backlog bound (8 MiB).
    for (int i = 0; i < 2400; ++i) {
        ASSERT_TRUE(writer->Write(step.data(), static_cast<std::uint32_t>(step.size())));
        text += step;
    }
    std::this_thread::sleep_for(300ms);  // the server has sent what the window takes
    const int wide = 1 << 20;  // from now on the client reads fast
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &wide, sizeof wide);

    const auto start = Clock::now();
    std::future<bool> closed = std::async(std::launch::async, [&] { return writer->Close(); });
    bool clean = false;
    const std::string received = ReadToEnd(fd, clean);
    EXPECT_TRUE(closed.get());
    EXPECT_LT(Clock::now() - start, 5s);
    close(fd);
    EXPECT_TRUE(clean) << "reset or no end";
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text) << "the text arrived changed";
}

TEST(CloseDelivery, PipeReaderThatFellBehindGetsTheBacklogWhole)
{
    testsupport::TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader = open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    ChannelWriterPtr writer(new CBasicFileWriter);
    ASSERT_TRUE(writer->Open(fifo.c_str()));
    ASSERT_GT(fcntl(reader, F_SETPIPE_SZ, 4096), 0);

    // The pipe takes 4 KiB; the rest waits in the writer's backlog (bounded at 64 KiB).
    const std::string text = Sentences(600);
    EXPECT_FALSE(writer->Write(text.data(), static_cast<std::uint32_t>(text.size())));

    std::future<bool> closed = std::async(std::launch::async, [&] { return writer->Close(); });
    bool clean = false;
    const std::string received = ReadToEnd(reader, clean);
    EXPECT_TRUE(closed.get());
    close(reader);
    EXPECT_TRUE(clean);
    EXPECT_EQ(received.size(), text.size());
    EXPECT_TRUE(received == text) << "the text arrived changed";
}

} // namespace

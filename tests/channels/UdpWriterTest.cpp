// The UDP writer on loopback receivers of the test's own (IPv4 and IPv6).
#include "emulator/channels/ChannelSelection.h"
#include "emulator/channels/UDPChannelWriterImpl.h"
#include "tests/channels/ChannelTestSupport.h"
#include "tests/support/GpsDecode.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const std::string kTwoSentences =
    "!AIVDM,1,1,,A,1l3IT0?tSrR<hjPJVpH1hQKp0000,0*24\r\n"
    "!AIVDM,2,1,0,A,5l3IT000?@Su<Q0<i<M<PU20p4lD00000000000l6@j6673EN<T3lU83i`11,0*0a\r\n"
    "!AIVDM,2,2,0,A,Dm000000004,2*09\r\n";

// A datagram socket bound to an ephemeral loopback port.
struct Receiver {
    int fd = -1;
    std::uint16_t port = 0;

    explicit Receiver(int family)
    {
        fd = ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_storage address{};
        socklen_t length = 0;
        if (family == AF_INET) {
            auto* in = reinterpret_cast<sockaddr_in*>(&address);
            in->sin_family = AF_INET;
            in->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *in;
        } else {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
            in6->sin6_family = AF_INET6;
            in6->sin6_addr = in6addr_loopback;
            length = sizeof *in6;
        }
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) return;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&address)->sin_port
                                       : reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    ~Receiver() { ::close(fd); }

    std::vector<std::string> Datagrams(int timeoutMs = 1000) const
    {
        std::vector<std::string> received;
        pollfd p{fd, POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) > 0) {
            char buffer[2048];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n < 0) break;
            received.emplace_back(buffer, static_cast<std::size_t>(n));
            timeoutMs = 200;
        }
        return received;
    }
};

TEST(UdpWriter, OneSentencePerDatagramOverIPv4AndIPv6)
{
    for (const auto& [family, host] : {std::pair{AF_INET, std::string("127.0.0.1")}, std::pair{AF_INET6, std::string("[::1]")},
                                       std::pair{AF_INET, std::string("localhost")}}) {
        SCOPED_TRACE(host);
        const Receiver receiver(family);
        ASSERT_NE(receiver.port, 0);
        std::string output = "udp*" + host + ":" + std::to_string(receiver.port);
        IChannelWriter* writer = nullptr;
        ASSERT_TRUE(SelectAndOpenChannel(output, {}, writer));
        ASSERT_TRUE(writer->Write(kTwoSentences.data(), static_cast<std::uint32_t>(kTwoSentences.size())));
        EXPECT_TRUE(writer->IsAlive());
        const std::vector<std::string> datagrams = receiver.Datagrams();
        ASSERT_EQ(datagrams.size(), 3u);
        std::string joined;
        for (const std::string& d : datagrams) {
            EXPECT_EQ(d.find("\r\n"), d.size() - 2) << d;
            joined += d;
        }
        EXPECT_EQ(joined, kTwoSentences);
        if (testsupport::GpsDecodeAvailable()) {
            EXPECT_EQ(testsupport::GpsDecode(joined).size(), 2u);
        }
        writer->Close();
        writer->Release();
    }
}

TEST(UdpWriter, RefusedDestinationKeepsTheRunGoing)
{
    std::uint16_t port = 0;
    {
        const Receiver closed(AF_INET);  // bound then closed: sends draw ICMP refusals
        port = closed.port;
    }
    std::string output = "UDP*127.0.0.1:" + std::to_string(port);
    IChannelWriter* writer = nullptr;
    ASSERT_TRUE(SelectAndOpenChannel(output, {}, writer));
    for (int i = 0; i < 50; ++i)
        EXPECT_TRUE(writer->Write(kTwoSentences.data(), static_cast<std::uint32_t>(kTwoSentences.size())));
    EXPECT_TRUE(writer->IsAlive());
    writer->Release();
}

TEST(UdpWriter, StepsFasterThanTheirPacingKeepAFewStepsAndTellTheRest)
{
    const Receiver receiver(AF_INET);
    auto* udp = new UDPChannelWriterImpl;
    ChannelWriterPtr writer(udp);
    ASSERT_TRUE(writer->Open(("127.0.0.1:" + std::to_string(receiver.port)).c_str()));
    std::string step;
    for (int i = 0; i < 5000; ++i) step += "!AIVDM,1,1,,A,1l3IT0?tSrR<hjPJVpH1hQKp0000,0*24\r\n";
    channeltest::FdCapture err(2);
    // Twenty steps at once, far more than the sender sends meanwhile: the queue keeps four
    // steps' worth and drops the oldest of the rest.
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(writer->Write(step.data(), static_cast<std::uint32_t>(step.size())));
    EXPECT_GT(udp->DroppedSentences(), 0u);
    EXPECT_LE(udp->DroppedSentences(), 16u * 5000);
    writer->Close();
    EXPECT_NE(err.Text().find("Warning : [UDP] output too slow, "), std::string::npos) << err.Text();
    EXPECT_TRUE(err.Text().ends_with(" s.\n")) << err.Text();
}

TEST(UdpWriter, BadDestinationsAreRefusedWithAMessage)
{
    const char* const bad[] = {"",          "127.0.0.1",       "127.0.0.1:",      ":10110",  "127.0.0.1:0",
                               "host:65536", "host:10110x",     "host:-1",         "::1:10110", "[::1]10110",
                               "[::1:10110", "a b:10110",       "host:99999999999"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        channeltest::FdCapture err(2);
        std::string output = std::string("UDP*") + text;
        IChannelWriter* writer = nullptr;
        EXPECT_FALSE(SelectAndOpenChannel(output, {}, writer));
        ASSERT_NE(writer, nullptr);
        EXPECT_FALSE(writer->IsAlive());
        writer->Release();
        EXPECT_NE(err.Text().find("Error : [UDP] invalid destination"), std::string::npos) << err.Text();
    }
    channeltest::FdCapture err(2);
    std::string output = "UDP*no-such-host.invalid:10110";
    IChannelWriter* writer = nullptr;
    EXPECT_FALSE(SelectAndOpenChannel(output, {}, writer));
    writer->Release();
    EXPECT_NE(err.Text().find("Error : [UDP] cannot resolve host no-such-host.invalid"), std::string::npos);
}

TEST(UdpWriter, GoodDestinationTexts)
{
    const std::pair<const char*, UdpDestination> good[] = {
        {"127.0.0.1:10110", {"127.0.0.1", 10110}},
        {"[::1]:1", {"::1", 1}},
        {"255.255.255.255:65535", {"255.255.255.255", 65535}},
        {"plotter.local:2000", {"plotter.local", 2000}},
    };
    for (const auto& [text, expected] : good) {
        const auto parsed = ParseUdpDestination(text);
        ASSERT_TRUE(parsed.has_value()) << text;
        EXPECT_EQ(parsed->host, expected.host);
        EXPECT_EQ(parsed->port, expected.port);
    }
}

struct MulticastRow {
    std::string name;
    std::string interfaceText;
    int ttl;
};

// A group joined on the loopback interface gets what is sent from it, with the TTL asked
// for (the receiver reads each datagram's TTL).
TEST(UdpWriter, MulticastLeavesFromTheGivenInterfaceWithTheGivenTtl)
{
    const std::string group = "239.255.77.18";
    for (const MulticastRow& row : {MulticastRow{"InterfaceByAddress", "127.0.0.1", 3},
                                    MulticastRow{"InterfaceByName", "lo", 0}}) {
        SCOPED_TRACE(row.name);
        ip_mreqn join{};
        inet_pton(AF_INET, group.c_str(), &join.imr_multiaddr);
        join.imr_address.s_addr = htonl(INADDR_LOOPBACK);
        sockaddr_in any{.sin_family = AF_INET, .sin_port = 0, .sin_addr = {htonl(INADDR_ANY)}, .sin_zero = {}};
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
        socklen_t length = sizeof any;
        getsockname(fd, reinterpret_cast<sockaddr*>(&any), &length);
        ASSERT_EQ(setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &join, sizeof join), 0);
        const int on = 1;
        ASSERT_EQ(setsockopt(fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on), 0);

        std::string output = "UDP*" + group + ":" + std::to_string(ntohs(any.sin_port));
        IChannelWriter* writer = nullptr;
        ASSERT_TRUE(OpenChannel(output, OutputSettings{{}, {1, "", row.ttl, row.interfaceText}}, writer));
        ChannelWriterPtr owned(writer);
        ASSERT_TRUE(writer->Write(kTwoSentences.data(), static_cast<std::uint32_t>(kTwoSentences.size())));
        std::string received;
        for (int i = 0; i < 3; ++i) {
            pollfd p{fd, POLLIN, 0};
            ASSERT_EQ(poll(&p, 1, 2000), 1) << "datagram " << i;
            char buffer[2048];
            alignas(cmsghdr) char control[64];
            iovec part{buffer, sizeof buffer};
            msghdr message{};
            message.msg_iov = &part;
            message.msg_iovlen = 1;
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            const ssize_t n = recvmsg(fd, &message, 0);
            ASSERT_GT(n, 0);
            received.append(buffer, static_cast<std::size_t>(n));
            const cmsghdr* ttl = CMSG_FIRSTHDR(&message);
            ASSERT_NE(ttl, nullptr);
            ASSERT_EQ(ttl->cmsg_type, IP_TTL);
            EXPECT_EQ(*reinterpret_cast<const int*>(CMSG_DATA(ttl)), row.ttl);
        }
        close(fd);
        EXPECT_EQ(received, kTwoSentences);
    }
}

} // namespace

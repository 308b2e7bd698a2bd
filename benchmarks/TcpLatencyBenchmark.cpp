// How soon the TCP server delivers: from Write to the client's receipt of the sentence,
// and from a reconnect right after a disconnect to the first sentence on the new
// connection. Run by hand: build/bin/tcp_latency_benchmark
#include "emulator/channels/TCPServerChannelWriterImpl.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
const std::string kSentence = "!AIVDM,1,1,,A,15M67FC000G?ufbE`FepT@3n00Sa,0*5C\r\n";

// A loopback connection to the server, retried while it starts listening.
int Connect(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    for (;;) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
        close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Reads until a line end arrives; false when the connection ended first.
bool ReadLine(int fd, int timeoutMs)
{
    char buffer[4096];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return false;
        if (std::string_view(buffer, static_cast<std::size_t>(n)).find('\n') != std::string_view::npos) return true;
    }
}

std::uint16_t FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

struct Server {
    Server() : port(FreePort()) { writer->Open(std::to_string(port).c_str()); }
    ~Server() { writer->Release(); }
    void Write() { writer->Write(kSentence.data(), static_cast<std::uint32_t>(kSentence.size())); }
    IChannelWriter* writer = new TCPServerChannelWriterImpl;
    std::uint16_t port;
};

void WriteToReceipt(benchmark::State& state)
{
    Server server;
    const int fd = Connect(server.port);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // until it is the client
    for (auto _ : state) {
        const auto start = Clock::now();
        server.Write();
        if (!ReadLine(fd, 5000)) state.SkipWithError("no sentence within 5 s");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    close(fd);
}
BENCHMARK(WriteToReceipt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);

void ReconnectToFirstSentence(benchmark::State& state)
{
    Server server;
    int fd = Connect(server.port);
    std::jthread writes([&server](std::stop_token stop) {
        while (!stop.stop_requested()) {
            server.Write();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    // Served before the first leave, or a second connection would find it still pending.
    if (!ReadLine(fd, 5000)) state.SkipWithError("the first client got no sentence");
    for (auto _ : state) {
        close(fd);
        const auto start = Clock::now();
        fd = Connect(server.port);
        if (!ReadLine(fd, 5000)) state.SkipWithError("no sentence within 5 s");
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    close(fd);
}
BENCHMARK(ReconnectToFirstSentence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

BENCHMARK_MAIN();

// A random fleet on its reporting schedule, stepped as fast as it goes, each step
// handed to a real output: a file, or the TCP server with a loopback client reading at
// full speed. Prints per fleet size and output: the sentences one simulated second
// needs; the sentences composed per CPU second of the composing thread; the sentences
// delivered per CPU second of the whole process (composing, writing, the server thread
// and, for TCP, the client reading them); and the simulated seconds per second of wall
// time and per CPU second of the process (1 or more keeps up in real time; on a machine
// shared with other work the wall figure is the lower one).
// Run: build/bin/delivery_benchmark [steps]
#include "emulator/channels/CBasicFileWriter.h"
#include "emulator/channels/CChannelWriterBase.h"
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "emulator/fleet/FleetEngine.h"
#include "emulator/fleet/RandomFleet.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <unordered_set>

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::uint16_t FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Reads everything a TCP server sends and counts its bytes.
class Client {
public:
    explicit Client(std::uint16_t port)
    {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        while (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        m_reader = std::thread([this] {
            static char buffer[1 << 20];
            for (ssize_t n; (n = recv(m_fd, buffer, sizeof buffer, 0)) > 0;) m_bytes += static_cast<std::size_t>(n);
        });
    }
    ~Client()
    {
        shutdown(m_fd, SHUT_RDWR);
        m_reader.join();
        close(m_fd);
    }
    std::size_t Bytes() const { return m_bytes; }

private:
    int m_fd = -1;
    std::atomic<std::size_t> m_bytes{0};
    std::thread m_reader;
};

enum class Output { File, Tcp };

void Measure(std::uint32_t vessels, Output output, int steps)
{
    Fleet fleet;
    {
        std::unordered_set<std::uint32_t> used;
        AddRandomFleet(fleet, vessels, {35.0, -10.0, 60.0, 30.0}, 1, used);
    }
    fleet.texts.Freeze();
    FleetEngine engine(fleet, {true, false}, false);
    std::uint64_t tick = 1000;
    engine.Start(tick, 0, 2);

    char path[] = "/tmp/delivery-benchmark-XXXXXX";
    const int fd = mkstemp(path);
    close(fd);
    ChannelWriterPtr writer;
    std::unique_ptr<Client> client;
    if (output == Output::File) {
        writer.reset(new CBasicFileWriter);
        writer->Open(path);
    } else {
        const std::uint16_t port = FreePort();
        writer.reset(new TCPServerChannelWriterImpl);
        writer->Open(std::to_string(port).c_str());
        client = std::make_unique<Client>(port);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the server has taken it
    }

    std::string step;
    double sentences = 0;
    std::size_t bytes = 0;
    double composing = 0;
    const Clock::time_point start = Clock::now();
    const double cpuStart = ProcessCpuSeconds();
    for (int s = 0; s < steps; ++s) {
        step.clear();
        const double before = ThreadCpuSeconds();
        engine.Step(tick += 1000, step);
        composing += ThreadCpuSeconds() - before;
        writer->Write(step.data(), static_cast<std::uint32_t>(step.size()));
        sentences += static_cast<double>(std::count(step.begin(), step.end(), '\n'));
        bytes += step.size();
    }
    if (client)
        while (client->Bytes() < bytes) std::this_thread::sleep_for(std::chrono::microseconds(200));
    const double wall = Seconds(Clock::now() - start);
    const double cpu = ProcessCpuSeconds() - cpuStart;
    writer.reset();
    client.reset();
    unlink(path);
    std::printf("%9u  %-4s  %10.0f  %12.0f  %12.0f  %8.1f  %8.1f\n", vessels, output == Output::File ? "file" : "tcp",
                sentences / steps, sentences / composing, sentences / cpu, steps / wall, steps / cpu);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    const int steps = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    std::printf("%d simulated seconds per row\n", steps);
    std::printf("%9s  %-4s  %10s  %12s  %12s  %8s  %8s\n", "vessels", "out", "needed/s", "composed/s", "delivered/s",
                "x wall", "x cpu");
    for (const std::uint32_t vessels : {10000U, 100000U, 1000000U})
        for (const Output output : {Output::File, Output::Tcp}) Measure(vessels, output, steps);
    return 0;
}

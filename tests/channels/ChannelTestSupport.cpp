#include "tests/channels/ChannelTestSupport.h"

#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

namespace channeltest {

FdCapture::FdCapture(int fd) : m_fd(fd)
{
    char name[] = "/tmp/kvl-capture-XXXXXX";
    m_file = mkstemp(name);
    if (m_file < 0) throw std::runtime_error("mkstemp failed");
    unlink(name);
    m_saved = dup(fd);
    dup2(m_file, fd);
}

FdCapture::~FdCapture()
{
    dup2(m_saved, m_fd);
    close(m_saved);
    close(m_file);
}

std::string FdCapture::Text() const
{
    std::string text;
    char buffer[4096];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = pread(m_file, buffer, sizeof buffer, offset);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
    return text;
}

bool FdCapture::WaitFor(const std::string& needle, int times, std::chrono::milliseconds limit) const
{
    return WaitUntil([&] { return CountOf(Text(), needle) >= times; }, limit);
}

int CountOf(const std::string& text, const std::string& needle)
{
    int count = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

namespace {

sockaddr_in AnyAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    return address;
}

} // namespace

std::uint16_t FreeTcpPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = AnyAddress(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

bool IsTcpPortFree(std::uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = AnyAddress(port);
    const bool free = bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return free;
}

LoopbackClient::LoopbackClient(std::uint16_t port, std::chrono::milliseconds limit)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    WaitUntil(
        [&] {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
                m_fd = fd;
                return true;
            }
            close(fd);
            return false;
        },
        limit);
}

LoopbackClient::~LoopbackClient()
{
    Close();
}

const std::string& LoopbackClient::ReadUntil(const std::string& needle, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_fd >= 0 && m_received.find(needle) == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[4096];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        m_received.append(buffer, static_cast<std::size_t>(n));
    }
    return m_received;
}

bool LoopbackClient::WaitForServerClose(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (m_fd >= 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        char buffer[4096];
        const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) return true;  // end of stream or reset
        m_received.append(buffer, static_cast<std::size_t>(n));
    }
    return false;
}

void LoopbackClient::Abort()
{
    if (m_fd < 0) return;
    const linger resetOnClose{1, 0};
    setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose);
    Close();
}

void LoopbackClient::Close()
{
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

} // namespace channeltest

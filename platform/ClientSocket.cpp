#include "platform/ClientSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <optional>
#include <system_error>
#include <thread>

namespace platform {
namespace {

std::optional<in_addr> ResolveIPv4Now(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
    const in_addr address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return address;
}

// getaddrinfo cannot be given a time limit, so it runs on a thread of its own. When the
// limit passes first, that thread is left to finish alone: it owns its copy of the host
// and shares only the promise's state, so it never touches memory freed meanwhile.
std::optional<in_addr> ResolveIPv4(const std::string& host, std::chrono::milliseconds limit)
{
    std::promise<std::optional<in_addr>> promise;
    std::future<std::optional<in_addr>> answer = promise.get_future();
    try {
        std::thread([host, promise = std::move(promise)]() mutable {
            promise.set_value(ResolveIPv4Now(host));
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;  // no thread to be had: no name either
    }
    if (answer.wait_for(limit) != std::future_status::ready) return std::nullopt;
    return answer.get();
}

} // namespace

ClientSocket::~ClientSocket()
{
    Close();
}

ClientSocket::ConnectResult ClientSocket::Connect(const std::string& host, std::uint16_t port,
                                                  std::chrono::milliseconds limit)
{
    Close();
    // Resolving the name counts against the limit like connecting does.
    const auto start = std::chrono::steady_clock::now();
    const std::optional<in_addr> resolved = host.empty() ? std::nullopt : ResolveIPv4(host, limit);
    if (!resolved) return ConnectResult::ResolveFailed;
    const in_addr address = *resolved;
    limit = std::max(std::chrono::milliseconds(0),
                     limit - std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start));

    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0) return ConnectResult::ConnectFailed;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr = address;
    if (connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        if (errno != EINPROGRESS) {
            Close();
            return ConnectResult::ConnectFailed;
        }
        pollfd pfd{m_fd, POLLOUT, 0};
        int rc;
        do {
            rc = poll(&pfd, 1, static_cast<int>(limit.count()));
        } while (rc < 0 && errno == EINTR);
        int error = 0;
        socklen_t length = sizeof error;
        if (rc != 1 || getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            Close();
            return ConnectResult::ConnectFailed;
        }
    }
    const int flags = fcntl(m_fd, F_GETFL);
    if (flags < 0 || fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        Close();
        return ConnectResult::ConnectFailed;
    }
    return ConnectResult::Connected;
}

bool ClientSocket::SetNonBlocking()
{
    if (m_fd < 0) return false;
    const int flags = fcntl(m_fd, F_GETFL);
    return flags >= 0 && fcntl(m_fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

long ClientSocket::Send(const char* data, std::size_t count)
{
    if (m_fd < 0) return -1;
    return static_cast<long>(send(m_fd, data, count, MSG_NOSIGNAL));
}

ClientSocket::Readiness ClientSocket::WaitReadable(std::chrono::milliseconds timeout)
{
    if (m_fd < 0) return Readiness::Failed;
    // poll rather than select: no FD_SETSIZE limit on the descriptor number.
    pollfd pfd{m_fd, POLLIN, 0};
    const int rc = poll(&pfd, 1, static_cast<int>(timeout.count()));
    if (rc < 0) return errno == EINTR ? Readiness::TimedOut : Readiness::Failed;
    return rc == 0 ? Readiness::TimedOut : Readiness::Readable;
}

ClientSocket::Received ClientSocket::Receive(char* buffer, std::size_t capacity)
{
    Received result;
    if (m_fd < 0) {
        result.count = -1;
        return result;
    }
    const ssize_t n = recv(m_fd, buffer, capacity, 0);
    result.count = static_cast<long>(n);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) result.wouldBlock = true;
    return result;
}

void ClientSocket::Close()
{
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

} // namespace platform

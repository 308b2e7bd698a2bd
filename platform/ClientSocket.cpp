#include "platform/ClientSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

bool ResolveIPv4(const std::string& host, in_addr& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return false;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
    freeaddrinfo(found);
    return true;
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
    in_addr address{};
    if (host.empty() || !ResolveIPv4(host, address)) return ConnectResult::ResolveFailed;

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

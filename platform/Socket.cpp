#include "platform/Socket.h"

#include <cerrno>
#include <utility>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

Socket::~Socket()
{
    Close();
}

Socket::Socket(Socket&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

Socket& Socket::operator=(Socket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, -1);
    }
    return *this;
}

void Socket::Close()
{
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
}

int NetworkSubsystem::Start()
{
    return 0;
}

int CreateTcpSocket(Socket& socket)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle < 0) return errno;
    socket = Socket(handle);
    return 0;
}

int SetNonBlocking(const Socket& socket)
{
    const int flags = ::fcntl(socket.NativeHandle(), F_GETFL);
    if (flags < 0) return errno;
    if (::fcntl(socket.NativeHandle(), F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    return 0;
}

int AllowAddressReuse(const Socket& socket)
{
    const int on = 1;
    if (::setsockopt(socket.NativeHandle(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) return errno;
    return 0;
}

int BindAnyIPv4(const Socket& socket, std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(socket.NativeHandle(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        return errno;
    }
    return 0;
}

int Listen(const Socket& socket, int backlog)
{
    if (::listen(socket.NativeHandle(), backlog) != 0) return errno;
    return 0;
}

std::uint16_t LocalPort(const Socket& socket)
{
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket.NativeHandle(), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

Readiness WaitAny(std::span<PollItem> items, std::chrono::milliseconds timeout)
{
    std::vector<pollfd> fds;
    fds.reserve(items.size());
    for (const PollItem& item : items) {
        const short events = static_cast<short>((item.wantRead ? POLLIN : 0) | (item.wantWrite ? POLLOUT : 0));
        fds.push_back(pollfd{item.handle, events, 0});
    }
    // poll rather than select: select cannot take descriptors above FD_SETSIZE.
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(timeout.count()));
    for (std::size_t i = 0; i < items.size(); ++i) {
        const short found = ready > 0 ? fds[i].revents : 0;
        items[i].readable = (found & POLLIN) != 0;
        items[i].writable = (found & POLLOUT) != 0;
        // POLLHUP comes only when both directions are shut; a half-close gives
        // POLLRDHUP, which is not asked for here.
        items[i].failed = (found & (POLLERR | POLLHUP | POLLNVAL)) != 0;
    }
    if (ready < 0) return Readiness::Failed;
    return ready == 0 ? Readiness::TimedOut : Readiness::Ready;
}

Socket Accept(const Socket& listener, int& error)
{
    Socket accepted(::accept4(listener.NativeHandle(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    error = accepted.IsValid() ? 0 : errno;
    return accepted;
}

bool PeerEndedSending(const Socket& socket)
{
    pollfd p{socket.NativeHandle(), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

bool ConnectionFails(const Socket& socket, std::chrono::milliseconds wait)
{
    pollfd p{socket.NativeHandle(), 0, 0};
    return ::poll(&p, 1, static_cast<int>(wait.count())) > 0 && (p.revents & (POLLERR | POLLHUP)) != 0;
}

int ResetOnClose(const Socket& socket)
{
    const linger immediate{.l_onoff = 1, .l_linger = 0};
    if (::setsockopt(socket.NativeHandle(), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate) != 0) return errno;
    return 0;
}

long SendNoWait(const Socket& socket, const char* data, std::size_t count, int& error)
{
    const ssize_t sent = ::send(socket.NativeHandle(), data, count, MSG_DONTWAIT | MSG_NOSIGNAL);
    error = sent < 0 ? errno : 0;
    return static_cast<long>(sent);
}

} // namespace platform

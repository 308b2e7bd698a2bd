#include "platform/DatagramSender.h"

#include <cerrno>
#include <vector>

#include <sys/socket.h>

namespace platform {

int DatagramSender::Open(const std::string& host, std::uint16_t port, std::string& lookupError)
{
    std::vector<SocketAddress> found;
    if (ResolveAddresses(host, port, SocketType::Datagram, found, lookupError) != 0) return -1;
    int error = 0;
    for (const SocketAddress& entry : found) {
        Socket candidate(::socket(entry.family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        if (!candidate.IsValid()) {
            error = errno;
            continue;
        }
        const int on = 1;
        ::setsockopt(candidate.NativeHandle(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        m_address = entry;
        m_socket = std::move(candidate);
        return 0;
    }
    return error != 0 ? error : EAFNOSUPPORT;
}

int DatagramSender::Send(const char* data, std::size_t size) const
{
    const ssize_t sent = ::sendto(m_socket.NativeHandle(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT,
                                  reinterpret_cast<const sockaddr*>(m_address.bytes.data()), m_address.length);
    return sent < 0 ? errno : 0;
}

} // namespace platform

#include "platform/DatagramSender.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <netdb.h>
#include <sys/socket.h>

namespace platform {

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

} // namespace

int DatagramSender::Open(const std::string& host, std::uint16_t port, std::string& lookupError)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (status != 0) {
        lookupError = gai_strerror(status);
        return -1;
    }
    const std::unique_ptr<addrinfo, AddrInfoDeleter> list(found);
    int error = 0;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof m_address) continue;
        Socket candidate(::socket(entry->ai_family, entry->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                  entry->ai_protocol));
        if (!candidate.IsValid()) {
            error = errno;
            continue;
        }
        const int on = 1;
        ::setsockopt(candidate.NativeHandle(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        std::memcpy(m_address, entry->ai_addr, entry->ai_addrlen);
        m_addressLength = entry->ai_addrlen;
        m_socket = std::move(candidate);
        return 0;
    }
    return error != 0 ? error : EAFNOSUPPORT;
}

int DatagramSender::Send(const char* data, std::size_t size) const
{
    const ssize_t sent = ::sendto(m_socket.NativeHandle(), data, size, MSG_NOSIGNAL | MSG_DONTWAIT,
                                  reinterpret_cast<const sockaddr*>(m_address), m_addressLength);
    return sent < 0 ? errno : 0;
}

} // namespace platform

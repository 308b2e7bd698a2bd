#include "platform/NetworkAddress.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

namespace {

struct AddrInfoDeleter {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
struct IfAddrsDeleter {
    void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

const sockaddr* AsSockaddr(const SocketAddress& address)
{
    return reinterpret_cast<const sockaddr*>(address.bytes.data());
}

int SetOption(const Socket& socket, int level, int name, int value)
{
    if (::setsockopt(socket.NativeHandle(), level, name, &value, sizeof value) != 0) return errno;
    return 0;
}

// The index of the interface named `text` or holding the address `text`; 0 when none.
unsigned InterfaceIndex(const std::string& text)
{
    if (const unsigned byName = if_nametoindex(text.c_str()); byName != 0) return byName;
    in_addr v4{};
    in6_addr v6{};
    const bool isV4 = inet_pton(AF_INET, text.c_str(), &v4) == 1;
    const bool isV6 = !isV4 && inet_pton(AF_INET6, text.c_str(), &v6) == 1;
    if (!isV4 && !isV6) return 0;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return 0;
    const std::unique_ptr<ifaddrs, IfAddrsDeleter> owned(list);
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        const sockaddr* a = entry->ifa_addr;
        if (a == nullptr) continue;
        const bool same =
            (isV4 && a->sa_family == AF_INET &&
             reinterpret_cast<const sockaddr_in*>(a)->sin_addr.s_addr == v4.s_addr) ||
            (isV6 && a->sa_family == AF_INET6 &&
             std::memcmp(&reinterpret_cast<const sockaddr_in6*>(a)->sin6_addr, &v6, sizeof v6) == 0);
        if (same) return if_nametoindex(entry->ifa_name);
    }
    return 0;
}

int SetIPv4Interface(const Socket& socket, const std::string& text)
{
    ip_mreqn request{};
    if (inet_pton(AF_INET, text.c_str(), &request.imr_address) != 1) {
        request.imr_ifindex = static_cast<int>(InterfaceIndex(text));
        if (request.imr_ifindex == 0) return ENODEV;
    }
    if (::setsockopt(socket.NativeHandle(), IPPROTO_IP, IP_MULTICAST_IF, &request, sizeof request) != 0) return errno;
    return 0;
}

int SetIPv6Interface(const Socket& socket, const std::string& text)
{
    const unsigned index = InterfaceIndex(text);
    if (index == 0) {
        in6_addr unused{};
        in_addr unused4{};
        const bool isAddress = inet_pton(AF_INET6, text.c_str(), &unused) == 1 ||
                               inet_pton(AF_INET, text.c_str(), &unused4) == 1;
        return isAddress ? EADDRNOTAVAIL : ENODEV;
    }
    if (::setsockopt(socket.NativeHandle(), IPPROTO_IPV6, IPV6_MULTICAST_IF, &index, sizeof index) != 0) return errno;
    return 0;
}

} // namespace

int ResolveAddresses(const std::string& host, std::uint16_t port, SocketType type, std::vector<SocketAddress>& found,
                     std::string& lookupError)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = type == SocketType::Stream ? SOCK_STREAM : SOCK_DGRAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = getaddrinfo(host.c_str(), service.c_str(), &hints, &list); status != 0) {
        lookupError = gai_strerror(status);
        return -1;
    }
    const std::unique_ptr<addrinfo, AddrInfoDeleter> owned(list);
    found.clear();
    for (const addrinfo* entry = list; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(SocketAddress::bytes)) continue;
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
        SocketAddress address;
        std::memcpy(address.bytes.data(), entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        address.family = entry->ai_family;
        found.push_back(address);
    }
    if (found.empty()) {
        lookupError = gai_strerror(EAI_FAMILY);
        return -1;
    }
    return 0;
}

std::string AddressText(const SocketAddress& address)
{
    char host[INET6_ADDRSTRLEN] = {};
    if (address.family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address.bytes.data());
        inet_ntop(AF_INET, &v4->sin_addr, host, sizeof host);
        return std::string(host) + ":" + std::to_string(ntohs(v4->sin_port));
    }
    const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address.bytes.data());
    inet_ntop(AF_INET6, &v6->sin6_addr, host, sizeof host);
    return "[" + std::string(host) + "]:" + std::to_string(ntohs(v6->sin6_port));
}

bool IsMulticast(const SocketAddress& address)
{
    if (address.family == AF_INET)
        return IN_MULTICAST(ntohl(reinterpret_cast<const sockaddr_in*>(address.bytes.data())->sin_addr.s_addr));
    if (address.family == AF_INET6)
        return IN6_IS_ADDR_MULTICAST(&reinterpret_cast<const sockaddr_in6*>(address.bytes.data())->sin6_addr);
    return false;
}

int CreateStreamSocket(int family, Socket& socket)
{
    const int handle = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (handle < 0) return errno;
    socket = Socket(handle);
    return 0;
}

int BindTo(const Socket& socket, const SocketAddress& address)
{
    if (::bind(socket.NativeHandle(), AsSockaddr(address), address.length) != 0) return errno;
    return 0;
}

int StartConnect(const Socket& socket, const SocketAddress& address)
{
    if (::connect(socket.NativeHandle(), AsSockaddr(address), address.length) == 0) return 0;
    // An interrupted connect goes on in the background, as one under way does.
    return errno == EINTR ? EINPROGRESS : errno;
}

int ConnectOutcome(const Socket& socket)
{
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.NativeHandle(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
}

long ReceiveNoWait(const Socket& socket, char* buffer, std::size_t capacity, int& error)
{
    const ssize_t received = ::recv(socket.NativeHandle(), buffer, capacity, MSG_DONTWAIT);
    error = received < 0 ? errno : 0;
    return static_cast<long>(received);
}

int SetMulticastSending(const Socket& socket, int family, int hops, const std::string& interfaceText)
{
    const bool v4 = family == AF_INET;
    const int level = v4 ? IPPROTO_IP : IPPROTO_IPV6;
    if (const int error = SetOption(socket, level, v4 ? IP_MULTICAST_TTL : IPV6_MULTICAST_HOPS, hops); error != 0)
        return error;
    // A receiver on this machine (a plotter beside the emulator) gets the stream too.
    if (const int error = SetOption(socket, level, v4 ? IP_MULTICAST_LOOP : IPV6_MULTICAST_LOOP, 1); error != 0)
        return error;
    if (interfaceText.empty()) return 0;
    return v4 ? SetIPv4Interface(socket, interfaceText) : SetIPv6Interface(socket, interfaceText);
}

} // namespace platform

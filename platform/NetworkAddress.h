#pragma once

#include "platform/Socket.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

// One resolved IPv4 or IPv6 socket address.
struct SocketAddress {
    std::array<std::byte, 128> bytes{};  // the sockaddr, as large as sockaddr_storage
    unsigned length = 0;
    int family = 0;  // AF_INET or AF_INET6
};

enum class SocketType { Stream, Datagram };

// Resolves `host` (a numeric IPv4 or IPv6 address, or a name) with `port`, in the
// resolver's order. Returns 0; -1 with `lookupError` holding the resolver's text.
int ResolveAddresses(const std::string& host, std::uint16_t port, SocketType type, std::vector<SocketAddress>& found,
                     std::string& lookupError);

// "192.0.2.1:10110" or "[2001:db8::1]:10110".
std::string AddressText(const SocketAddress& address);
// 224.0.0.0/4 or ff00::/8.
bool IsMulticast(const SocketAddress& address);

// The functions below return 0 on success and otherwise the error code (errno).

// A non-blocking, close-on-exec stream socket of `family`.
int CreateStreamSocket(int family, Socket& socket);
int BindTo(const Socket& socket, const SocketAddress& address);
// Starts connecting a non-blocking stream socket: 0 when connected at once, EINPROGRESS
// while under way (the socket turns writable when it is decided), else the error.
int StartConnect(const Socket& socket, const SocketAddress& address);
// How a connect that was under way ended, once the socket is writable or failed.
int ConnectOutcome(const Socket& socket);

// Receives without waiting. Returns the bytes received, 0 when the peer ended its
// sending side, or -1 with `error` set.
long ReceiveNoWait(const Socket& socket, char* buffer, std::size_t capacity, int& error);

// Multicast sending on a datagram socket of `family`: `hops` as TTL (IPv4) or hop limit
// (IPv6), copies looped back to receivers on this machine, and the interface to send
// from, given by one of its addresses or its name (empty: the system's choice). An
// interface that does not exist gives ENODEV, an address of none EADDRNOTAVAIL.
int SetMulticastSending(const Socket& socket, int family, int hops, const std::string& interfaceText);

} // namespace platform

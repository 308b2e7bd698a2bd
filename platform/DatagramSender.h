#pragma once

#include "platform/NetworkAddress.h"
#include "platform/Socket.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// A UDP socket bound to nothing, sending to one resolved destination. Broadcast is
// allowed; sends never wait and their failures are the caller's to ignore.
class DatagramSender {
public:
    // Resolves `host` (numeric IPv4 or IPv6, or a name) and makes the socket. Returns 0,
    // or an errno value; a failed name lookup gives -1 with `lookupError` holding the
    // resolver's text.
    int Open(const std::string& host, std::uint16_t port, std::string& lookupError);
    // Returns 0 when the datagram was handed to the system, else the errno value.
    int Send(const char* data, std::size_t size) const;
    void Close() { m_socket.Close(); }
    bool IsOpen() const { return m_socket.IsValid(); }

    // The destination is a multicast group (224.0.0.0/4, ff00::/8).
    bool IsMulticast() const { return platform::IsMulticast(m_address); }
    // For a multicast destination: hops and interface, as SetMulticastSending takes them.
    int SetMulticast(int hops, const std::string& interfaceText) const
    {
        return SetMulticastSending(m_socket, m_address.family, hops, interfaceText);
    }

private:
    Socket m_socket;
    SocketAddress m_address;  // the destination
};

} // namespace platform

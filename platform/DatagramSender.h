#pragma once

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

private:
    Socket m_socket;
    std::byte m_address[128] = {};  // the destination's sockaddr
    unsigned m_addressLength = 0;
};

} // namespace platform

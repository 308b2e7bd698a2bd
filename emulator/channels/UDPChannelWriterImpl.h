#pragma once

#include "emulator/channels/CChannelWriterBase.h"
#include "platform/DatagramSender.h"

#include <cstdint>
#include <optional>
#include <string>

// Where a UDP output sends: the host as written (an IPv4 or IPv6 address without
// brackets, or a name) and the port.
struct UdpDestination {
    std::string host;
    std::uint16_t port = 0;
};

// Reads "HOST:PORT" or "[IPV6]:PORT"; the port is 1 to 65535 in decimal digits only.
// Nothing when the text is not of that form.
std::optional<UdpDestination> ParseUdpDestination(const std::string& text);

// The UDP channel: each sentence goes out as one datagram to one destination, which
// may be a broadcast address. UDP has no client to lose, so a destination that is
// unreachable or refuses never ends or slows the run: such sends are dropped.
class UDPChannelWriterImpl final : public CChannelWriterBase {
public:
    UDPChannelWriterImpl() = default;

    // Takes "HOST:PORT", resolves it and makes the socket.
    bool Open(const char* target) override;
    // Sends each "\r\n"-terminated sentence of the data as a datagram; a trailing
    // piece without line end goes as one datagram of its own.
    bool Write(const char* data, std::uint32_t count) override;
    bool Close() override;
    bool Flush() override { return true; }
    void Release() override;
    bool SetSerialState(DCB) override { return false; }

private:
    ~UDPChannelWriterImpl() = default;

    platform::DatagramSender m_sender;
};

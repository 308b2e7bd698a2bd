#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A network destination as the output text names it: the host as written (an IPv4 or
// IPv6 address without brackets, or a name) and the port.
struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};

// Reads "HOST:PORT" or "[IPV6]:PORT"; the port is 1 to 65535 in decimal digits only.
// Nothing when the text is not of that form.
std::optional<HostPort> ParseHostPort(const std::string& text);

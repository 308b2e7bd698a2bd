#include "emulator/channels/HostPortText.h"

#include <algorithm>
#include <string_view>

namespace {

constexpr unsigned kMaxPort = 65535;

std::optional<std::uint16_t> ParsePort(std::string_view text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > kMaxPort) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

} // namespace

std::optional<HostPort> ParseHostPort(const std::string& text)
{
    std::string host;
    std::string_view portText;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') return std::nullopt;
        host = text.substr(1, close - 1);
        portText = std::string_view(text).substr(close + 2);
    } else {
        const std::size_t colon = text.find(':');
        // A second colon means an IPv6 address without its brackets: the port would be
        // ambiguous.
        if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) return std::nullopt;
        host = text.substr(0, colon);
        portText = std::string_view(text).substr(colon + 1);
    }
    const bool hostUsable = !host.empty() && std::none_of(host.begin(), host.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == '[' || c == ']';
    });
    const std::optional<std::uint16_t> port = ParsePort(portText);
    if (!hostUsable || !port) return std::nullopt;
    return HostPort{host, *port};
}

#include "emulator/channels/UDPChannelWriterImpl.h"

#include "emulator/channels/ChannelReport.h"

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

std::optional<UdpDestination> ParseUdpDestination(const std::string& text)
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
    return UdpDestination{host, *port};
}

bool UDPChannelWriterImpl::Open(const char* target)
{
    const std::string text = target != nullptr ? target : "";
    const std::optional<UdpDestination> destination = ParseUdpDestination(text);
    if (!destination) {
        ReportChannelLine("Error : [UDP] invalid destination, HOST:PORT expected. (" + text + ")");
        m_stopEvent.Set();
        return false;
    }
    std::string lookupError;
    const int error = m_sender.Open(destination->host, destination->port, lookupError);
    if (error == -1) {
        ReportChannelLine("Error : [UDP] cannot resolve host " + destination->host + ": " + lookupError);
        m_stopEvent.Set();
        return false;
    }
    if (error != 0) {
        ReportChannelLine("Error : [UDP] error creating socket, code = " + std::to_string(error));
        m_stopEvent.Set();
        return false;
    }
    return true;
}

bool UDPChannelWriterImpl::Write(const char* data, std::uint32_t count)
{
    if (!m_sender.IsOpen() || !IsAlive()) return false;
    const std::string_view text(data, count);
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find("\r\n", start);
        const std::size_t next = end == std::string_view::npos ? text.size() : end + 2;
        // Refused, unreachable or full: the datagram is lost, as it would be on the air.
        m_sender.Send(text.data() + start, next - start);
        start = next;
    }
    return true;
}

bool UDPChannelWriterImpl::Close()
{
    m_sender.Close();
    m_stopEvent.Set();
    return true;
}

void UDPChannelWriterImpl::Release()
{
    Close();
    delete this;
}

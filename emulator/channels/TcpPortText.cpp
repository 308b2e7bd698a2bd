#include "emulator/channels/TcpPortText.h"

#include <sstream>

std::optional<std::uint32_t> ParseTcpPortText(const std::string& text)
{
    std::istringstream stream{text};
    std::uint32_t port = 0;
    if (!(stream >> port)) return std::nullopt;
    return port;
}

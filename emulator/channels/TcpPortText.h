#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The port number at the start of the text of a TCP output, read as an unsigned decimal
// number the way a C++ stream reads one: leading white space is skipped and whatever
// follows the number is ignored. Nothing when the text does not start with a number.
std::optional<std::uint32_t> ParseTcpPortText(const std::string& text);

#include "emulator/channels/TcpPortText.h"
#include "fuzz/FuzzCheck.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

// A port number is read only from text that starts, after white space, with a digit or
// a sign followed by a digit.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto port = ParseTcpPortText(text);
    if (port) {
        std::size_t at = 0;
        while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
        KVL_FUZZ_CHECK(at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])));
    }
    return 0;
}

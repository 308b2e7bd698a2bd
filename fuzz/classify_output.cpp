#include "emulator/channels/ChannelSelection.h"
#include "fuzz/FuzzCheck.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>

// The output option's text: UDP when it starts with "UDP*" (any case); else TCP when
// "TCP*" (any case) occurs, its port text being all after the first occurrence, a client
// when that text has a colon (a host part) and a server otherwise; serial only for "COM"
// and digits; a COM name maps to a serial device path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const OutputClassification result = ClassifyOutput(text);

    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper.rfind("UDP*", 0) == 0) {
        KVL_FUZZ_CHECK(result.kind == OutputKind::Udp);
        KVL_FUZZ_CHECK(result.portText == text.substr(4));
        return 0;
    }
    const std::size_t tcp = upper.find("TCP*");
    if (tcp != std::string::npos) {
        KVL_FUZZ_CHECK(result.portText == text.substr(tcp + 4));
        const bool hostPart = result.portText.find(':') != std::string::npos;
        KVL_FUZZ_CHECK(result.kind == (hostPart ? OutputKind::TcpClient : OutputKind::Tcp));
        return 0;
    }
    KVL_FUZZ_CHECK(result.kind != OutputKind::Tcp && result.kind != OutputKind::TcpClient);
    if (result.kind == OutputKind::Serial) {
        KVL_FUZZ_CHECK(upper.rfind("COM", 0) == 0);
        KVL_FUZZ_CHECK(SerialDevicePath(text).rfind("/dev/ttyS", 0) == 0);
    }
    return 0;
}

#include "emulator/channels/ChannelSelection.h"

#include "emulator/channels/CBasicFileWriter.h"
#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "emulator/channels/UDPChannelWriterImpl.h"

#include <algorithm>
#include <cctype>
#include <regex>
#include <string_view>

namespace {

// The group is lazy and matches nothing: the port text is taken from just after "TCP*".
const std::regex kTcpPattern(R"(TCP\*(d*?))", std::regex::ECMAScript | std::regex::icase);

constexpr std::string_view kUdpPrefix = "UDP*";
constexpr std::string_view kSerialDevicePrefix = "/dev/ttyS";
constexpr std::string_view kSerialNamePrefix = "COM";
constexpr std::size_t kSerialNamePrefixLength = kSerialNamePrefix.size();

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// The whole text is "COM" in any letter case followed by decimal digits only. Checked
// by hand: the library's regex matcher recurses once per character and overflows the
// stack on a name of tens of thousands of digits.
bool IsSerialName(const std::string& output)
{
    if (!StartsWithIgnoringCase(output, kSerialNamePrefix)) return false;
    return std::all_of(output.begin() + kSerialNamePrefixLength, output.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// One less than a non-negative decimal number written as text, of any length.
std::string DecrementDecimal(const std::string& digits)
{
    std::string value = digits.substr(std::min(digits.find_first_not_of('0'), digits.size()));
    if (value.empty()) return "-1";
    std::size_t i = value.size() - 1;
    while (value[i] == '0') value[i--] = '9';
    --value[i];
    if (value.size() > 1 && value.front() == '0') value.erase(0, 1);
    return value;
}

} // namespace

OutputClassification ClassifyOutput(const std::string& output)
{
    OutputClassification result;
    std::smatch tcp;
    if (StartsWithIgnoringCase(output, kUdpPrefix)) {
        result.kind = OutputKind::Udp;
        result.portText = output.substr(kUdpPrefix.size());
    } else if (std::regex_search(output, tcp, kTcpPattern)) {
        result.kind = OutputKind::Tcp;
        result.portText = output.substr(static_cast<std::size_t>(tcp.position(0) + tcp.length(0)));
    } else if (IsSerialName(output)) {
        result.kind = OutputKind::Serial;
    }
    return result;
}

std::string SerialDevicePath(const std::string& comName)
{
    const std::string digits = comName.size() > kSerialNamePrefixLength ? comName.substr(kSerialNamePrefixLength) : "";
    if (digits.empty()) return std::string(kSerialDevicePrefix);
    return std::string(kSerialDevicePrefix) + DecrementDecimal(digits);
}

bool SelectAndOpenChannel(std::string& output, const SerialLineSettings& serial, IChannelWriter*& writer)
{
    return SelectAndOpenChannel(output, serial, writer, SerialDevicePath);
}

bool SelectAndOpenChannel(std::string& output, const SerialLineSettings& serial, IChannelWriter*& writer,
                          const SerialDeviceResolver& resolveDevice)
{
    const OutputClassification classification = ClassifyOutput(output);
    if (classification.kind == OutputKind::Tcp) {
        writer = new TCPServerChannelWriterImpl;
        output = classification.portText;
        const std::string target = output;
        return writer->Open(target.c_str());
    }
    if (classification.kind == OutputKind::Udp) {
        writer = new UDPChannelWriterImpl;
        output = classification.portText;
        const std::string target = output;
        return writer->Open(target.c_str());
    }

    auto* fileWriter = new CBasicFileWriter;
    writer = fileWriter;
    if (classification.kind == OutputKind::File) {
        const std::string target = output;
        return fileWriter->Open(target.c_str());
    }

    const std::string device = resolveDevice(output);
    if (!fileWriter->OpenDevice(device.c_str())) return false;

    DCB state;
    if (!fileWriter->GetDefaultSerialState(state)) {
        ReportChannelLine("Error  : [SERIAL] error getting default COM-port parameters, code = " +
                          std::to_string(fileWriter->LastError()));
        fileWriter->Close();
        return false;
    }
    state.BaudRate = static_cast<std::uint32_t>(serial.baudRate);
    state.ByteSize = static_cast<std::uint8_t>(serial.dataBits & 0xFF);
    state.StopBits = serial.stopBits == 1 ? ONESTOPBIT : TWOSTOPBITS;
    if (!fileWriter->SetSerialState(state)) {
        ReportChannelLine("Error  : [SERIAL] error setting  COM-port parameters, code = " +
                          std::to_string(fileWriter->LastError()));
        fileWriter->Close();
        return false;
    }
    return true;
}

#include "emulator/channels/ChannelSelection.h"

#include "emulator/channels/CBasicFileWriter.h"
#include "emulator/channels/ChannelReport.h"
#include "emulator/channels/FanOutChannelWriter.h"
#include "emulator/channels/HostPortText.h"
#include "emulator/channels/RelayChannelWriter.h"
#include "emulator/channels/TCPClientChannelWriterImpl.h"
#include "emulator/channels/TCPServerChannelWriterImpl.h"
#include "emulator/channels/TcpPortText.h"
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
        result.portText = output.substr(static_cast<std::size_t>(tcp.position(0) + tcp.length(0)));
        // A host part means connecting out; a port alone, listening.
        result.kind = result.portText.find(':') == std::string::npos ? OutputKind::Tcp : OutputKind::TcpClient;
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
    return OpenChannel(output, OutputSettings{serial, {}}, writer, resolveDevice);
}

bool OpenChannel(std::string& output, const OutputSettings& settings, IChannelWriter*& writer,
                 const SerialDeviceResolver& resolveDevice)
{
    const SerialLineSettings& serial = settings.serial;
    const OutputClassification classification = ClassifyOutput(output);
    if (classification.kind == OutputKind::Tcp) {
        auto* server = new TCPServerChannelWriterImpl;
        writer = server;
        server->SetClientLimit(static_cast<std::size_t>(std::max(settings.network.tcpClients, 1)));
        server->SetBindAddress(settings.network.tcpBind);
        output = classification.portText;
        const std::string target = output;
        return writer->Open(target.c_str());
    }
    if (classification.kind == OutputKind::TcpClient) {
        writer = new TCPClientChannelWriterImpl;
        output = classification.portText;
        const std::string target = output;
        return writer->Open(target.c_str());
    }
    if (classification.kind == OutputKind::Udp) {
        auto* udp = new UDPChannelWriterImpl;
        writer = udp;
        udp->SetMulticast(settings.network.udpTtl, settings.network.udpInterface);
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

std::string NetworkOptionsProblem(const NetworkOptions& options)
{
    if (options.tcpClients < 1 || options.tcpClients > NetworkOptions::kMaxTcpClients)
        return "Error : [TCP] --tcp-clients " + std::to_string(options.tcpClients) + " is not a number of clients from 1 to " +
               std::to_string(NetworkOptions::kMaxTcpClients) + ".";
    if (options.udpTtl < 0 || options.udpTtl > NetworkOptions::kMaxHops)
        return "Error : [UDP] --udp-ttl " + std::to_string(options.udpTtl) + " is not a TTL from 0 to " +
               std::to_string(NetworkOptions::kMaxHops) + ".";
    return {};
}

std::string OutputTextProblem(const std::string& output)
{
    // The lines the writers' Open would print for the same texts.
    const OutputClassification classification = ClassifyOutput(output);
    switch (classification.kind) {
    case OutputKind::Tcp:
        if (!ParseTcpPortText(classification.portText))
            return "Error : [TCP] invalid port number. (" + classification.portText + ")";
        break;
    case OutputKind::TcpClient:
        if (!ParseHostPort(classification.portText))
            return "Error : [TCP] invalid address, HOST:PORT expected. (" + classification.portText + ")";
        break;
    case OutputKind::Udp:
        if (!ParseHostPort(classification.portText))
            return "Error : [UDP] invalid destination, HOST:PORT expected. (" + classification.portText + ")";
        break;
    case OutputKind::File:
    case OutputKind::Serial:
        break;
    }
    return {};
}

namespace {

// Opens one of several outputs; null when it failed. A writer that may wait for its device gets a thread of
// its own in front of it.
ChannelWriterPtr OpenOneOfSeveral(const std::string& text, const OutputSettings& settings,
                                  const SerialDeviceResolver& resolveDevice)
{
    std::string output = text;
    IChannelWriter* opened = nullptr;
    const bool ok = OpenChannel(output, settings, opened, resolveDevice);
    ChannelWriterPtr writer(opened);
    if (!ok) return nullptr;
    const OutputKind kind = ClassifyOutput(text).kind;
    if (kind != OutputKind::File && kind != OutputKind::Serial) return writer;

    // Files, pipes, terminals and ports are written by a CBasicFileWriter (see OpenChannel).
    auto* fileWriter = static_cast<CBasicFileWriter*>(writer.get());
    auto* relay = new RelayChannelWriter(std::move(writer), [fileWriter](std::uint64_t sentences) {
        fileWriter->TellDropped(sentences);
    });
    ChannelWriterPtr relayed(relay);
    if (!relay->Start()) {
        ReportChannelLine("Error : cannot create the thread of output " + text + ".");
        return nullptr;
    }
    return relayed;
}

} // namespace

bool OpenOutputs(const std::vector<std::string>& outputs, const OutputSettings& settings, IChannelWriter*& writer,
                 const SerialDeviceResolver& resolveDevice)
{
    writer = nullptr;
    if (const std::string problem = NetworkOptionsProblem(settings.network); !problem.empty()) {
        ReportChannelLine(problem);
        return false;
    }
    if (outputs.size() <= 1) {
        std::string output = outputs.empty() ? std::string("CON") : outputs.front();
        IChannelWriter* opened = nullptr;
        const bool ok = OpenChannel(output, settings, opened, resolveDevice);
        ChannelWriterPtr owned(opened);
        if (ok) writer = owned.release();
        return ok;
    }
    for (const std::string& output : outputs) {
        if (const std::string problem = OutputTextProblem(output); !problem.empty()) {
            ReportChannelLine(problem);
            return false;
        }
    }
    // Files last, since opening one empties it: an output that fails before leaves it as it was.
    std::vector<std::size_t> order(outputs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_partition(order.begin(), order.end(),
                          [&](std::size_t i) { return ClassifyOutput(outputs[i]).kind != OutputKind::File; });
    std::vector<FanOutChannelWriter::Output> opened(outputs.size());
    for (const std::size_t i : order) {
        opened[i] = {outputs[i], OpenOneOfSeveral(outputs[i], settings, resolveDevice)};
        // Those opened before close as the list goes: a run that never started.
        if (!opened[i].writer) return false;
    }
    writer = new FanOutChannelWriter(std::move(opened));
    return true;
}

#include "panel/core/CommandLine.h"

#include <boost/lexical_cast.hpp>
#include <cmath>
#include <cstdint>

namespace panel {
namespace {

enum class NumberKind { Unsigned32, Float };

// The numeric fields in composition order, with the message of a failed check.
struct NumericField {
    const wchar_t* option;
    std::wstring FormValues::*text;
    NumberKind kind;
    const wchar_t* message;
};

constexpr NumericField kNumericFields[] = {
    {L"--vessel-mmsi ", &FormValues::mmsi, NumberKind::Unsigned32, L"Invalid parameter : --vessel-mmsi"},
    {L"--vessel-imo ", &FormValues::imo, NumberKind::Unsigned32, L"Invalid parameter : --vessel-imo"},
    {L"--vessel-dima ", &FormValues::dimA, NumberKind::Unsigned32, L"Invalid parameter : --vessel-dima"},
    {L"--vessel-dimb ", &FormValues::dimB, NumberKind::Unsigned32, L"Invalid parameter : --vessel-dimb"},
    {L"--vessel-dimc ", &FormValues::dimC, NumberKind::Unsigned32, L"Invalid parameter : --vessel-dimc"},
    {L"--vessel-dimd ", &FormValues::dimD, NumberKind::Unsigned32, L"Invalid parameter : -vessel-dimd"},
    {L"--vessel-lat ", &FormValues::latitude, NumberKind::Float, L"Invalid parameter : --vessel-lat"},
    {L"--vessel-lon ", &FormValues::longitude, NumberKind::Float, L"Invalid parameter : --vessel-lon"},
    {L"--vessel-sog ", &FormValues::speed, NumberKind::Float, L"Invalid parameter : --vessel-sog"},
    {L"--vessel-cog ", &FormValues::course, NumberKind::Float, L"Invalid parameter : -vessel-cog"},
    {L"--vessel-rot ", &FormValues::rateOfTurn, NumberKind::Float, L"Invalid parameter : --vessel-rot"},
};

// The choice lists in composition order, with the message when nothing is selected.
struct ChoiceField {
    const wchar_t* option;
    std::optional<int> FormValues::*code;
    const wchar_t* message;
};

constexpr ChoiceField kChoiceFields[] = {
    {L"--vessel-status ", &FormValues::navStatus, L"Error obtaining navigational status"},
    {L"--vessel-postdevice ", &FormValues::positioningDevice, L"Error obtaining positioning device type"},
    {L"--vessel-type ", &FormValues::shipType, L"Error obtaining ship type"},
    {L"--vessel-accuracy ", &FormValues::accuracy, L"Error obtaining positioning device accuracy"},
};

struct MessageSwitch {
    bool FormValues::*checked;
    const wchar_t* option;
};

constexpr MessageSwitch kMessageSwitches[] = {
    {&FormValues::msg1, L"--nmea-domsg1 "},   {&FormValues::msg5, L"--nmea-domsg5 "},
    {&FormValues::msg18, L"--nmea-domsg18 "}, {&FormValues::msg19, L"--nmea-domsg19 "},
    {&FormValues::msg24, L"--nmea-domsg24 "},
};

} // namespace

void AppendQuotedValue(std::wstring& out, std::wstring_view value)
{
    out += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : value) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') out.append(backslashes + 1, L'\\');
        out.append(backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    out += L"\" ";
}

namespace {

void AppendQuoted(std::wstring& out, std::wstring_view option, std::wstring_view value)
{
    out += option;
    AppendQuotedValue(out, value);
}

} // namespace

bool IsUnsigned32Text(std::wstring_view text)
{
    // Only digits: a sign would make a negative number wrap round into a large one.
    if (text.empty() || text.front() < L'0' || text.front() > L'9') return false;
    std::uint32_t value = 0;
    return boost::conversion::try_lexical_convert(std::wstring(text), value);
}

bool IsFloatText(std::wstring_view text)
{
    float value = 0;
    if (!boost::conversion::try_lexical_convert(std::wstring(text), value)) return false;
    // "nan" and "inf" convert but are no numbers a vessel can have.
    return std::isfinite(value);
}

bool IsUdpAddressText(std::wstring_view text)
{
    const std::size_t colon = text.rfind(L':');
    if (colon == std::wstring_view::npos) return false;
    std::wstring_view host = text.substr(0, colon);
    const std::wstring_view port = text.substr(colon + 1);
    if (port.empty() || port.size() > 5 || port.find_first_not_of(L"0123456789") != std::wstring_view::npos) return false;
    const int number = std::stoi(std::wstring(port));
    if (number < 1 || number > 65535) return false;
    if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(L"[]:") != std::wstring_view::npos) {
        return false;   // an IPv6 address needs its brackets
    }
    if (host.empty()) return false;
    for (const wchar_t c : host)
        if (c <= L' ' || c == L'"' || c == L'\\' || c == 0x7F) return false;
    return true;
}

std::wstring BuildCommandLine(const FormValues& form)
{
    std::wstring out;
    AppendQuoted(out, L"--vessel-name ", form.name);
    AppendQuoted(out, L"--vessel-call ", form.callSign);
    for (const NumericField& field : kNumericFields) {
        const std::wstring& text = form.*field.text;
        out += field.option;
        out += text;
        out += L' ';
        const bool valid = field.kind == NumberKind::Unsigned32 ? IsUnsigned32Text(text) : IsFloatText(text);
        if (!valid) throw CParamsExcepion(field.message);
    }
    AppendQuoted(out, L"--port-dest ", form.portDest);
    AppendQuoted(out, L"--port-origin ", form.portOrigin);
    for (const ChoiceField& field : kChoiceFields) {
        const std::optional<int>& code = form.*field.code;
        if (!code) throw CParamsExcepion(field.message);
        out += field.option;
        out += std::to_wstring(*code);
        out += L' ';
    }
    for (const MessageSwitch& message : kMessageSwitches) {
        if (form.*message.checked) out += message.option;
    }
    if (!form.appendCrc) out += L"--ignore-crc ";
    if (form.ignoreTimings) out += L"--ignore-timings ";
    if (form.upperCaseChecksum) out += L"--nmea-upper-crc ";
    if (form.ownShip) out += L"--nmea-own-ship ";
    if (!form.outputFile && !form.outputTcp && form.outputUdp && !IsUdpAddressText(form.udpAddress))
        throw CParamsExcepion(L"Invalid parameter : --output");
    out += BuildOutputArguments(form);
    return out;
}

std::wstring BuildOutputArguments(const FormValues& form)
{
    std::wstring out = L"--output ";
    if (form.outputFile) {
        AppendQuotedValue(out, form.fileName);
    } else if (form.outputTcp) {
        out += L"TCP*" + form.tcpPort + L' ';
    } else if (form.outputUdp) {
        out += L"UDP*" + form.udpAddress + L' ';
    } else {
        out += L"COM" + form.comPort + L' ';
        out += L"--output-baudrate " + form.baud + L' ';
        out += L"--output-databits " + form.dataBits + L' ';
        out += L"--output-stopbits " + form.stopBits + L' ';
    }
    return out;
}

std::wstring MakeEmulatorCommandLine(const std::filesystem::path& directory, std::wstring_view arguments)
{
    std::wstring line;
    // Quoted like a free text: the panel's folder is whatever the user named it.
    AppendQuotedValue(line, (directory / std::filesystem::path(kEmulatorFileName)).wstring());
    line += L' ';   // two blanks in all after the program
    line += arguments;
    return line;
}

namespace {

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix)
{
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if ((text[i] >= L'a' && text[i] <= L'z' ? text[i] - L'a' + L'A' : text[i]) != prefix[i]) return false;
    return true;
}

// Names the emulator reads as the console, a serial port or a network output, not as a file:
// "CON", "COM" and digits, "UDP*..." and anything holding "TCP*".
bool IsDeviceOutputName(std::wstring_view name)
{
    if (name.size() == 3 && StartsWithIgnoringCase(name, L"CON")) return true;
    if (StartsWithIgnoringCase(name, L"COM") &&
        name.find_first_not_of(L"0123456789", 3) == std::wstring_view::npos)
        return true;
    if (StartsWithIgnoringCase(name, L"UDP*")) return true;
    for (std::size_t at = 0; at + 4 <= name.size(); ++at)
        if (StartsWithIgnoringCase(name.substr(at), L"TCP*")) return true;
    return false;
}

} // namespace

std::wstring ResolveOutputFileName(std::wstring_view fileName, const std::filesystem::path& userDirectory)
{
    if (fileName.empty() || IsDeviceOutputName(fileName)) return std::wstring(fileName);
    const std::filesystem::path path{std::wstring(fileName)};
    if (path.is_absolute() || userDirectory.empty()) return std::wstring(fileName);
    return (userDirectory / path).wstring();
}

} // namespace panel

#include "panel/core/TrafficOptions.h"

#include <array>
#include <cmath>
#include <cstdlib>

#include "panel/core/CommandLine.h"

namespace panel {
namespace {

constexpr StationKindItem kStationKinds[] = {
    {L"vessel", L"Vessel"},
    {L"base", L"Base station"},
    {L"aton", L"Aid to navigation"},
    {L"sar-aircraft", L"SAR aircraft"},
    {L"sart", L"AIS-SART"},
    {L"mob", L"AIS-MOB"},
    {L"epirb", L"EPIRB-AIS"},
};

constexpr unsigned kMaxPort = 65535;

bool IsPortText(std::wstring_view text)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of(L"0123456789") != std::wstring_view::npos) return false;
    return std::wcstoul(std::wstring(text).c_str(), nullptr, 10) <= kMaxPort;
}

bool IsKnownStationKind(std::wstring_view name)
{
    for (const StationKindItem& item : kStationKinds)
        if (item.name == name) return true;
    return false;
}

void AppendFile(std::wstring& out, std::wstring_view option, const std::wstring& file)
{
    if (file.empty()) return;
    out += option;
    AppendQuotedValue(out, file);
}

void AppendChecked(std::wstring& out, std::wstring_view option, const std::wstring& text, bool valid)
{
    if (text.empty()) return;
    if (!valid) throw CParamsExcepion(L"Invalid parameter : " + std::wstring(option.substr(0, option.size() - 1)));
    out += option;
    out += text;
    out += L' ';
}

void AppendExtraOutput(std::wstring& out, const ExtraOutput& output)
{
    const std::wstring_view value = output.value;
    switch (output.kind) {
    case ExtraOutputKind::File:
        if (value.empty()) break;
        out += L"--output ";
        AppendQuotedValue(out, value);
        return;
    case ExtraOutputKind::Tcp:
        if (!IsPortText(value)) break;
        out += L"--output TCP*" + output.value + L' ';
        return;
    case ExtraOutputKind::Udp:
        if (!IsUdpAddressText(value)) break;
        out += L"--output UDP*" + output.value + L' ';
        return;
    }
    throw CParamsExcepion(L"Invalid parameter : --output");
}

} // namespace

std::span<const StationKindItem> StationKindItems()
{
    return kStationKinds;
}

bool IsAreaText(std::wstring_view text)
{
    std::array<double, 4> degrees{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < degrees.size(); ++i) {
        const std::size_t comma = i + 1 < degrees.size() ? text.find(L',', at) : text.size();
        if (comma == std::wstring_view::npos) return false;
        const std::wstring_view number = text.substr(at, comma - at);
        if (!IsFloatText(number)) return false;
        degrees[i] = std::wcstod(std::wstring(number).c_str(), nullptr);
        at = comma + 1;
    }
    const auto [south, west, north, east] = degrees;
    return south >= -90 && north <= 90 && south < north && std::fabs(west) <= 180 && std::fabs(east) <= 180 &&
           west != east;
}

std::wstring BuildTrafficArguments(const TrafficValues& values)
{
    std::wstring out;
    if (!values.stationKind.empty() && values.stationKind != kStationKinds[0].name) {
        if (!IsKnownStationKind(values.stationKind)) throw CParamsExcepion(L"Invalid parameter : --station-kind");
        out += L"--station-kind " + values.stationKind + L' ';
    }
    AppendFile(out, L"--fleet ", values.fleetFile);
    AppendChecked(out, L"--fleet-random ", values.fleetCount, IsUnsigned32Text(values.fleetCount));
    AppendChecked(out, L"--fleet-area ", values.fleetArea, IsAreaText(values.fleetArea));
    AppendChecked(out, L"--fleet-seed ", values.fleetSeed, IsUnsigned32Text(values.fleetSeed));
    AppendFile(out, L"--scenario ", values.scenarioFile);
    for (const ExtraOutput& output : values.outputs) AppendExtraOutput(out, output);
    if (values.tapPort) out += TapOutputArgument(*values.tapPort);
    return out;
}

std::wstring TapOutputArgument(std::uint16_t port)
{
    return L"--output UDP*127.0.0.1:" + std::to_wstring(port) + L' ';
}

TrafficValues ResolveTrafficFiles(TrafficValues values, const std::filesystem::path& userDirectory)
{
    // Files read are never devices: only a relative name changes.
    const auto resolveInput = [&userDirectory](std::wstring& name) {
        const std::filesystem::path path{name};
        if (!name.empty() && path.is_relative() && !userDirectory.empty()) name = (userDirectory / path).wstring();
    };
    resolveInput(values.fleetFile);
    resolveInput(values.scenarioFile);
    for (ExtraOutput& output : values.outputs)
        if (output.kind == ExtraOutputKind::File) output.value = ResolveOutputFileName(output.value, userDirectory);
    return values;
}

} // namespace panel

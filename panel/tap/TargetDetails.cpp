#include "panel/tap/TargetDetails.h"

#include <cmath>
#include <cstdio>

#include "panel/core/ChoiceLists.h"

namespace tap {

namespace {

constexpr const char* kNotAvailable = "not available";
constexpr double kMsPerSecond = 1000.0;

std::string Printf(const char* format, double a, double b = 0.0)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (const wchar_t c : text) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}

// "70 Cargo, all ships of this type", from the form's list of types.
std::string ShipTypeText(std::uint8_t type)
{
    if (type == kAisShipTypeNotAvailable) return kNotAvailable;
    for (const panel::ChoiceItem& item : panel::ShipTypeItems())
        if (item.value == type) return std::to_string(type) + " " + Narrow(item.text);
    return std::to_string(type);
}

std::string StatusText(std::uint8_t status)
{
    for (const panel::ChoiceItem& item : panel::NavigationStatusItems())
        if (item.value == status) return std::to_string(status) + " " + Narrow(item.text);
    return std::to_string(status);
}

std::string Optional(double value, const char* format)
{
    return std::isfinite(value) ? Printf(format, value) : kNotAvailable;
}

std::string Text(std::string_view text)
{
    return text.empty() ? std::string("-") : std::string(text);
}

void AddCpa(std::vector<DetailRow>& rows, const TapFrame& frame, const Motion& target, bool isOwn)
{
    if (isOwn) return;
    const std::optional<CpaResult> cpa =
        frame.reference ? ComputeCpa(*frame.reference, target) : std::optional<CpaResult>();
    if (!cpa) {
        rows.push_back({"CPA", "no own ship position"});
        rows.push_back({"TCPA", "no own ship position"});
        return;
    }
    rows.push_back({"Range", Printf("%.2f NM, bearing %05.1f\xC2\xB0", cpa->rangeNm, cpa->bearingDeg)});
    rows.push_back({"CPA", Printf("%.2f NM", cpa->cpaNm)});
    rows.push_back({"TCPA", Printf(cpa->tcpaMin < 0 ? "%.1f min (passed)" : "%.1f min", cpa->tcpaMin)});
}

} // namespace

std::string FormatPosition(double latDeg, double lonDeg)
{
    if (!std::isfinite(latDeg) || !std::isfinite(lonDeg)) return kNotAvailable;
    const auto part = [](double value, int width, char positive, char negative) {
        const double magnitude = std::fabs(value);
        double degrees = std::floor(magnitude);
        double minutes = (magnitude - degrees) * 60.0;
        if (minutes >= 59.9995) {   // would print as 60.000
            degrees += 1;
            minutes = 0;
        }
        char text[32];
        std::snprintf(text, sizeof text, "%0*d\xC2\xB0 %06.3f' %c", width, static_cast<int>(degrees), minutes,
                      value < 0 ? negative : positive);
        return std::string(text);
    };
    return part(latDeg, 2, 'N', 'S') + ", " + part(lonDeg, 3, 'E', 'W');
}

std::vector<DetailRow> DescribeTarget(const TapFrame& frame, std::size_t index)
{
    std::vector<DetailRow> rows;
    if (index >= frame.stations) return rows;
    const bool isOwn = frame.ownIndex == index;
    const Target* record = frame.RecordOf(index);
    if (!record) {
        // The AIVDO own ship: what its own reports and GPS sentences tell.
        const OwnShip& own = frame.own;
        rows.push_back({"MMSI", own.mmsi != 0 ? std::to_string(own.mmsi) : kNotAvailable});
        rows.push_back({"Name", Text(own.name.View())});
        rows.push_back({"Kind", "own ship (AIVDO, GPS)"});
        rows.push_back({"Position", FormatPosition(own.latitudeDeg, own.longitudeDeg)});
        rows.push_back({"SOG", Optional(own.speedKnots, "%.1f kn")});
        rows.push_back({"COG", Optional(own.courseDeg, "%.1f\xC2\xB0")});
        rows.push_back({"Heading", Optional(own.headingDeg, "%.0f\xC2\xB0")});
        rows.push_back({"Last heard", Printf("%.0f s ago", (frame.nowMs - own.lastHeardMs) / kMsPerSecond)});
        return rows;
    }
    const Target& t = *record;
    rows.push_back({"MMSI", std::to_string(t.mmsi)});
    rows.push_back({"Name", Text(t.name.View())});
    rows.push_back({"Kind", std::string(StationKindName(t.kind)) + (isOwn ? " (own ship)" : "")});
    const bool aton = t.kind == StationKind::AtonReal || t.kind == StationKind::AtonVirtual;
    rows.push_back({"Type", aton ? "aid type " + std::to_string(t.shipType) : ShipTypeText(t.shipType)});
    rows.push_back({"Call sign", Text(t.callSign.View())});
    rows.push_back({"Position", FormatPosition(t.latitudeDeg, t.longitudeDeg)});
    rows.push_back({"SOG", Optional(t.speedKnots, "%.1f kn")});
    rows.push_back({"COG", Optional(t.courseDeg, "%.1f\xC2\xB0")});
    rows.push_back({"Heading", Optional(t.headingDeg, "%.0f\xC2\xB0")});
    rows.push_back({"Status", StatusText(t.navStatus)});
    rows.push_back({"Destination", Text(t.destination.View())});
    rows.push_back({"Last message", "type " + std::to_string(t.lastMessageType) +
                                        Printf(", %.0f s ago", (frame.nowMs - t.lastHeardMs) / kMsPerSecond)});
    AddCpa(rows, frame, t.AsMotion(), isOwn);
    if (IsLost(t, frame.nowMs)) {
        const double limitS = LostAfterS(t.kind, t.carrierSense, t.navStatus, t.speedKnots);
        rows.push_back({"Lost", Printf("no position for %.0f s (limit %.0f s)",
                                       (frame.nowMs - t.lastPositionMs) / kMsPerSecond, limitS)});
    }
    return rows;
}

} // namespace tap

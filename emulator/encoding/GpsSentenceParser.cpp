#include "emulator/encoding/GpsSentenceParser.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr unsigned kSecondsPerDay = 86400;

// An empty field gives no value; any other must be a finite decimal number.
bool Number(std::string_view text, std::optional<double>& value)
{
    value.reset();
    if (text.empty()) return true;
    double v = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

bool Unsigned(std::string_view text, unsigned& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::string_view At(std::span<const std::string_view> fields, std::size_t i)
{
    return i < fields.size() ? fields[i] : std::string_view{};
}

// ddmm.mmmm (latitude) or dddmm.mmmm (longitude) and its hemisphere letter.
bool Angle(std::string_view text, std::string_view hemisphere, double maxDeg, char positive, char negative,
           std::optional<double>& deg)
{
    std::optional<double> raw;
    if (!Number(text, raw)) return false;
    if (!raw) return hemisphere.empty();
    if (*raw < 0 || hemisphere.size() != 1 || (hemisphere[0] != positive && hemisphere[0] != negative))
        return false;
    const double whole = std::floor(*raw / 100.0);
    const double minutes = *raw - whole * 100.0;
    const double value = whole + minutes / 60.0;
    if (minutes >= 60.0 || value > maxDeg) return false;
    deg = hemisphere[0] == negative ? -value : value;
    return true;
}

// Latitude and longitude fields: both or neither.
bool Position(std::span<const std::string_view> f, std::size_t first, OwnShipSentence& out)
{
    return Angle(At(f, first), At(f, first + 1), 90, 'N', 'S', out.latitudeDeg) &&
           Angle(At(f, first + 2), At(f, first + 3), 180, 'E', 'W', out.longitudeDeg) &&
           out.latitudeDeg.has_value() == out.longitudeDeg.has_value();
}

// hhmmss[.ss] as seconds since midnight; 60 seconds allowed for a leap second.
bool TimeOfDay(std::string_view text, std::optional<double>& seconds)
{
    std::optional<double> raw;
    if (!Number(text, raw)) return false;
    if (!raw) return true;
    const double hours = std::floor(*raw / 10000.0);
    const double minutes = std::floor((*raw - hours * 10000.0) / 100.0);
    const double secs = *raw - hours * 10000.0 - minutes * 100.0;
    if (*raw < 0 || hours >= 24 || minutes >= 60 || secs >= 61) return false;
    seconds = std::min(hours * 3600 + minutes * 60 + secs, kSecondsPerDay - 1e-3);
    return true;
}

bool Bounded(std::string_view text, double low, double high, std::optional<double>& value)
{
    if (!Number(text, value)) return false;
    if (value && (*value < low || *value > high)) return false;
    if (value && *value == 360.0 && high == 360.0) value = 0.0;  // a full circle is north
    return true;
}

// NMEA 2.3 mode indicator: N says the data are not valid.
bool ModeValid(std::string_view mode) { return mode != "N"; }

GpsParseStatus Rmc(std::span<const std::string_view> f, OwnShipSentence& out)
{
    out.kind = GpsSentenceKind::Rmc;
    if (!TimeOfDay(At(f, 0), out.utcSecondsOfDay)) return GpsParseStatus::Malformed;
    const std::string_view date = At(f, 8);
    if (!date.empty()) {
        unsigned ddmmyy = 0;
        if (date.size() != 6 || !Unsigned(date, ddmmyy)) return GpsParseStatus::Malformed;
        const unsigned yy = ddmmyy % 100;
        out.utcDate.day = static_cast<std::uint8_t>(ddmmyy / 10000);
        out.utcDate.month = static_cast<std::uint8_t>(ddmmyy / 100 % 100);
        out.utcDate.year = static_cast<std::uint16_t>(yy < 80 ? 2000 + yy : 1900 + yy);  // NMEA's two-digit year
    }
    if (At(f, 1) != "A" || !ModeValid(At(f, 11))) return GpsParseStatus::Ok;  // void: time only
    if (!Position(f, 2, out) || !Bounded(At(f, 6), 0, 1e6, out.speedKnots) || !Bounded(At(f, 7), 0, 360, out.courseDeg))
        return GpsParseStatus::Malformed;
    return GpsParseStatus::Ok;
}

GpsParseStatus Gga(std::span<const std::string_view> f, OwnShipSentence& out)
{
    out.kind = GpsSentenceKind::Gga;
    if (!TimeOfDay(At(f, 0), out.utcSecondsOfDay)) return GpsParseStatus::Malformed;
    unsigned quality = 0;
    if (!At(f, 5).empty() && !Unsigned(At(f, 5), quality)) return GpsParseStatus::Malformed;
    if (quality == 0) return GpsParseStatus::Ok;  // no fix
    if (!Position(f, 1, out)) return GpsParseStatus::Malformed;
    return GpsParseStatus::Ok;
}

GpsParseStatus Vtg(std::span<const std::string_view> f, OwnShipSentence& out)
{
    out.kind = GpsSentenceKind::Vtg;
    if (!ModeValid(At(f, 8))) return GpsParseStatus::Ok;
    if (!Bounded(At(f, 0), 0, 360, out.courseDeg) || !Bounded(At(f, 4), 0, 1e6, out.speedKnots))
        return GpsParseStatus::Malformed;
    return GpsParseStatus::Ok;
}

GpsParseStatus Zda(std::span<const std::string_view> f, OwnShipSentence& out)
{
    out.kind = GpsSentenceKind::Zda;
    if (!TimeOfDay(At(f, 0), out.utcSecondsOfDay)) return GpsParseStatus::Malformed;
    unsigned day = 0, month = 0, year = 0;
    if (!At(f, 1).empty() || !At(f, 2).empty() || !At(f, 3).empty()) {
        if (!Unsigned(At(f, 1), day) || !Unsigned(At(f, 2), month) || !Unsigned(At(f, 3), year) || day < 1 ||
            day > 31 || month < 1 || month > 12 || year > 9999)
            return GpsParseStatus::Malformed;
        out.utcDate.day = static_cast<std::uint8_t>(day);
        out.utcDate.month = static_cast<std::uint8_t>(month);
        out.utcDate.year = static_cast<std::uint16_t>(year);
    }
    return GpsParseStatus::Ok;
}

GpsParseStatus Hdt(std::span<const std::string_view> f, OwnShipSentence& out)
{
    out.kind = GpsSentenceKind::Hdt;
    if (!Bounded(At(f, 0), 0, 360, out.headingDeg)) return GpsParseStatus::Malformed;
    return GpsParseStatus::Ok;
}

struct FormatterRow {
    std::string_view formatter;
    GpsParseStatus (*parse)(std::span<const std::string_view>, OwnShipSentence&);
};
constexpr FormatterRow kFormatters[] = {
    {"RMC", Rmc}, {"GGA", Gga}, {"VTG", Vtg}, {"ZDA", Zda}, {"HDT", Hdt},
};

} // namespace

GpsParseStatus ParseGpsSentence(std::string_view formatter, std::span<const std::string_view> fields,
                                OwnShipSentence& out)
{
    for (const FormatterRow& row : kFormatters) {
        if (row.formatter != formatter) continue;
        OwnShipSentence parsed;
        const GpsParseStatus status = row.parse(fields, parsed);
        // An RMC date that names no real day is a broken sentence, not a void one.
        if (status == GpsParseStatus::Ok && parsed.utcDate.year != 0 &&
            (parsed.utcDate.day < 1 || parsed.utcDate.day > 31 || parsed.utcDate.month < 1 ||
             parsed.utcDate.month > 12))
            return GpsParseStatus::Malformed;
        if (status == GpsParseStatus::Ok) out = parsed;
        return status;
    }
    return GpsParseStatus::Unsupported;
}

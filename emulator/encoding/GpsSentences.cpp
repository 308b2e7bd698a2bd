#include "emulator/encoding/GpsSentences.h"

#include "emulator/encoding/BitFields.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kKmPerNauticalMile = 1.852;
constexpr int kSatellitesInUse = 9;  // a receiver with open sky
constexpr double kHdop = 0.9;
constexpr double kMaxPrintedSpeed = 99999.9;  // keeps the sentences within 82 characters

// Degrees as NMEA's d(d)dmm.mmmm and a hemisphere letter. The minutes are rounded to
// 1e-4 before the split, so 59.99999' becomes the next whole degree, not 60.0000'.
std::string Angle(double deg, int degreeDigits, char positive, char negative)
{
    const long long tenThousandths = std::llround(std::fabs(deg) * 60.0 * 10000.0);
    const long long degrees = tenThousandths / (60 * 10000);
    const long long minuteUnits = tenThousandths % (60 * 10000);
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, degrees, minuteUnits / 10000,
                  minuteUnits % 10000, deg < 0 ? negative : positive);
    return text;
}

std::string Format(const char* pattern, double value)
{
    char text[32];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

bool PositionValid(const OwnShipFix& fix)
{
    return std::isfinite(fix.latitudeDeg) && std::isfinite(fix.longitudeDeg) && std::fabs(fix.latitudeDeg) <= 90.0 &&
           std::fabs(fix.longitudeDeg) <= 180.0;
}

} // namespace

std::string FrameNmea(const std::string& body, const SentenceOptions& options)
{
    std::string line = "$" + body;
    if (options.checksum) line += "*" + NmeaChecksum(body, options.upperCaseChecksum);
    return line + "\r\n";
}

void AppendGpsSentences(const OwnShipFix& fix, const SentenceOptions& options, std::string& out)
{
    const platform::LocalTime& t = fix.utc;
    char time[16];
    std::snprintf(time, sizeof time, "%02u%02u%02u.%02u", t.hour % 24, t.minute % 60, t.second % 60,
                  (t.millisecond % 1000) / 10);
    char date[16];
    std::snprintf(date, sizeof date, "%02u%02u%02u", t.day % 100, t.month % 100, t.year % 100);
    char zdaDate[24];
    std::snprintf(zdaDate, sizeof zdaDate, "%02u,%02u,%04u", t.day % 100, t.month % 100, t.year % 10000);

    const bool valid = PositionValid(fix);
    const std::string position =
        valid ? Angle(fix.latitudeDeg, 2, 'N', 'S') + "," + Angle(fix.longitudeDeg, 3, 'E', 'W') : ",,,";
    const double speed = std::isfinite(fix.speedKnots) ? std::clamp(std::fabs(fix.speedKnots), 0.0, kMaxPrintedSpeed)
                                                       : 0.0;
    double course = std::isfinite(fix.courseDeg) ? std::fmod(fix.courseDeg, 360.0) : 0.0;
    if (course < 0) course += 360.0;
    const std::string knots = Format("%.1f", speed);
    // A course that rounds up to 360.0 is written as 0.0.
    const std::string track = Format("%.1f", std::round(course * 10.0) >= 3600.0 ? 0.0 : course);

    out += FrameNmea("GPRMC," + std::string(time) + (valid ? ",A," : ",V,") + position + "," + knots + "," + track +
                         "," + date + ",,," + (valid ? "A" : "N"),
                     options);
    out += FrameNmea("GPGGA," + std::string(time) + "," + position + (valid ? ",1," : ",0,") +
                         Format("%02.0f", valid ? kSatellitesInUse : 0) + "," + Format("%.1f", kHdop) +
                         ",0.0,M,0.0,M,,",
                     options);
    out += FrameNmea("GPVTG," + track + ",T,,M," + knots + ",N," + Format("%.1f", speed * kKmPerNauticalMile) + ",K," +
                         (valid ? "A" : "N"),
                     options);
    out += FrameNmea("GPZDA," + std::string(time) + "," + zdaDate + ",00,00", options);
    out += FrameNmea("HEHDT," + track + ",T", options);
}

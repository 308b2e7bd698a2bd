#include "emulator/encoding/StationMessages.h"

#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/FieldLayout.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr unsigned kSixBitWidth = 6;
// NMEA 0183 allows 82 characters a sentence: "!AIVDM,n,n,n,A," + 60 + ",0*hh\r\n" is 82.
constexpr unsigned kMaxPayloadChars = 60;

// One report and the position fields of its 1/10000-minute position.
template <class Fields>
struct Context {
    const Fields& fields;
    PositionFields position;
};
template <class Fields>
Context<Fields> ContextOf(const Fields& fields)
{
    return {fields, EncodePosition(fields.latitudeDeg, fields.longitudeDeg)};
}

std::int32_t Int(unsigned value) { return static_cast<std::int32_t>(value); }
const char* Bit(bool on) { return on ? "1" : "0"; }

template <class C> std::string Zeros(const C&, unsigned w) { return std::string(w, '0'); }
template <class C> std::string Mmsi(const C& c, unsigned w) { return IntToBits(Int(c.fields.mmsi), w); }
template <class C> std::string Accuracy(const C& c, unsigned) { return Bit(c.fields.accuracy); }
template <class C> std::string Raim(const C& c, unsigned) { return Bit(c.fields.raim); }
template <class C> std::string Longitude(const C& c, unsigned) { return c.position.longitude; }
template <class C> std::string Latitude(const C& c, unsigned) { return c.position.latitude; }
template <class C> std::string Epfd(const C& c, unsigned w) { return IntToBits(c.fields.epfd, w); }
template <class C> std::string Second(const C& c, unsigned w) { return IntToBits(Int(c.fields.second), w); }
template <class C> std::string NavStatus(const C& c, unsigned w) { return IntToBits(c.fields.navStatus, w); }
template <class C> std::string Course(const C& c, unsigned) { return EncodeCourse(c.fields.courseDeg); }
template <class C> std::string Assigned(const C& c, unsigned) { return Bit(c.fields.assigned); }

// Message 4: base station report, 168 bits.
using Base = Context<BaseStationReport>;
std::string Year(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.year), w); }
std::string Month(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.month), w); }
std::string Day(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.day), w); }
std::string Hour(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.hour), w); }
std::string Minute(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.minute), w); }
std::string UtcSecond(const Base& c, unsigned w) { return IntToBits(Int(c.fields.utc.second), w); }

constexpr FieldRow<Base> kMsg4Layout[] = {
    {0,   6,  "Message ID",                        "000100",    nullptr},
    {6,   2,  "Repeat indicator",                  "00",        nullptr},
    {8,   30, "MMSI",                              nullptr,     Mmsi<Base>},
    {38,  14, "UTC year",                          nullptr,     Year},
    {52,  4,  "UTC month",                         nullptr,     Month},
    {56,  5,  "UTC day",                           nullptr,     Day},
    {61,  5,  "UTC hour",                          nullptr,     Hour},
    {66,  6,  "UTC minute",                        nullptr,     Minute},
    {72,  6,  "UTC second",                        nullptr,     UtcSecond},
    {78,  1,  "Position accuracy",                 nullptr,     Accuracy<Base>},
    {79,  28, "Longitude",                         nullptr,     Longitude<Base>},
    {107, 27, "Latitude",                          nullptr,     Latitude<Base>},
    {134, 4,  "Type of position fixing device",    nullptr,     Epfd<Base>},
    {138, 1,  "Transmission control, long range",  "0",         nullptr},
    {139, 9,  "Spare",                             "000000000", nullptr},
    {148, 1,  "RAIM flag",                         nullptr,     Raim<Base>},
    {149, 19, "Communication state (SOTDMA)",      nullptr,     Zeros<Base>},
};
static_assert(IsContiguous(kMsg4Layout, 168));

// Message 9: standard SAR aircraft position report, 168 bits.
using Sar = Context<SarAircraftReport>;
constexpr int kSarSpeedCapKnots = 1022;  // "1022 knots or higher"; 1023 is not available
std::string Altitude(const Sar& c, unsigned w) { return IntToBits(AltitudeField(c.fields.altitudeMetres), w); }
std::string WholeKnots(const Sar& c, unsigned w)
{
    const float knots = std::fabs(c.fields.speedKnots);
    if (std::isnan(knots)) return IntToBits(kSarSpeedCapKnots + 1, w);
    const float rounded = std::round(knots);
    return IntToBits(rounded >= kSarSpeedCapKnots ? kSarSpeedCapKnots : static_cast<std::int32_t>(rounded), w);
}
std::string NotReady(const Sar& c, unsigned) { return Bit(!c.fields.dataTerminalReady); }

constexpr FieldRow<Sar> kMsg9Layout[] = {
    {0,   6,  "Message ID",                        "001001",  nullptr},
    {6,   2,  "Repeat indicator",                  "00",      nullptr},
    {8,   30, "MMSI",                              nullptr,   Mmsi<Sar>},
    {38,  12, "Altitude (GNSS)",                   nullptr,   Altitude},
    {50,  10, "Speed over ground, knots",          nullptr,   WholeKnots},
    {60,  1,  "Position accuracy",                 nullptr,   Accuracy<Sar>},
    {61,  28, "Longitude",                         nullptr,   Longitude<Sar>},
    {89,  27, "Latitude",                          nullptr,   Latitude<Sar>},
    {116, 12, "Course over ground",                nullptr,   Course<Sar>},
    {128, 6,  "Time stamp",                        nullptr,   Second<Sar>},
    {134, 1,  "Altitude sensor (GNSS)",            "0",       nullptr},
    {135, 7,  "Spare",                             "0000000", nullptr},
    {142, 1,  "DTE",                               nullptr,   NotReady},
    {143, 3,  "Spare",                             "000",     nullptr},
    {146, 1,  "Assigned mode flag",                nullptr,   Assigned<Sar>},
    {147, 1,  "RAIM flag",                         nullptr,   Raim<Sar>},
    {148, 1,  "Communication state selector",      "0",       nullptr},
    {149, 19, "Communication state (SOTDMA)",      nullptr,   Zeros<Sar>},
};
static_assert(IsContiguous(kMsg9Layout, 168));

// Message 14: safety-related broadcast, a 40-bit header and the text.
using Safety = Context<SafetyBroadcast>;
constexpr FieldRow<Safety> kMsg14HeaderLayout[] = {
    {0,  6,  "Message ID",                         "001110", nullptr},
    {6,  2,  "Repeat indicator",                   "00",     nullptr},
    {8,  30, "Source ID",                          nullptr,  Mmsi<Safety>},
    {38, 2,  "Spare",                              "00",     nullptr},
};
static_assert(IsContiguous(kMsg14HeaderLayout, 40));

// Message 21: aid-to-navigation report, 272 bits and the name extension.
using Aton = Context<AidToNavigationReport>;
constexpr unsigned kAtonNameChars = 20;
std::string AtonType(const Aton& c, unsigned w) { return IntToBits(c.fields.atonType, w); }
std::string AtonName(const Aton& c, unsigned w) { return TextToSixBit(std::string(c.fields.name), w / kSixBitWidth); }
template <int Index>
std::string AtonDimension(const Aton& c, unsigned w) { return IntToBits(c.fields.dims[Index], w); }
std::string OffPosition(const Aton& c, unsigned) { return Bit(c.fields.offPosition); }
std::string AtonStatus(const Aton& c, unsigned w) { return IntToBits(c.fields.atonStatus, w); }
std::string Virtual(const Aton& c, unsigned) { return Bit(c.fields.virtualAton); }

constexpr FieldRow<Aton> kMsg21Layout[] = {
    {0,   6,   "Message ID",                       "010101", nullptr},
    {6,   2,   "Repeat indicator",                 "00",     nullptr},
    {8,   30,  "MMSI",                             nullptr,  Mmsi<Aton>},
    {38,  5,   "Type of aid to navigation",        nullptr,  AtonType},
    {43,  120, "Name of aid to navigation",        nullptr,  AtonName},
    {163, 1,   "Position accuracy",                nullptr,  Accuracy<Aton>},
    {164, 28,  "Longitude",                        nullptr,  Longitude<Aton>},
    {192, 27,  "Latitude",                         nullptr,  Latitude<Aton>},
    {219, 9,   "Dimension to bow A",               nullptr,  AtonDimension<0>},
    {228, 9,   "Dimension to stern B",             nullptr,  AtonDimension<1>},
    {237, 6,   "Dimension to port C",              nullptr,  AtonDimension<2>},
    {243, 6,   "Dimension to starboard D",         nullptr,  AtonDimension<3>},
    {249, 4,   "Type of position fixing device",   nullptr,  Epfd<Aton>},
    {253, 6,   "Time stamp",                       nullptr,  Second<Aton>},
    {259, 1,   "Off-position indicator",           nullptr,  OffPosition},
    {260, 8,   "AtoN status",                      nullptr,  AtonStatus},
    {268, 1,   "RAIM flag",                        nullptr,  Raim<Aton>},
    {269, 1,   "Virtual AtoN flag",                nullptr,  Virtual},
    {270, 1,   "Assigned mode flag",               nullptr,  Assigned<Aton>},
    {271, 1,   "Spare",                            "0",      nullptr},
};
static_assert(IsContiguous(kMsg21Layout, 272));

// Message 27: long-range AIS broadcast, 96 bits, position in 1/10 minute.
struct LongRangeContext {
    const LongRangeReport& fields;
};
using Long = LongRangeContext;
constexpr double kTenthsOfMinutePerDegree = 600.0;
constexpr std::int32_t kLongRangeLonNotAvailable = 108600;  // 181 degrees
constexpr std::int32_t kLongRangeLatNotAvailable = 54600;   // 91 degrees
constexpr int kLongRangeSpeedCapKnots = 62;                 // 63 is not available
constexpr int kLongRangeCourseNotAvailable = 511;
bool PositionValid(const LongRangeReport& r) { return std::fabs(r.latitudeDeg) < 90.0 && std::fabs(r.longitudeDeg) < 180.0; }
std::string TenthsOfMinute(double deg, std::int32_t notAvailable, bool valid, unsigned w)
{
    return IntToBits(valid ? static_cast<std::int32_t>(std::round(deg * kTenthsOfMinutePerDegree)) : notAvailable, w);
}
std::string LongLongitude(const Long& c, unsigned w)
{
    return TenthsOfMinute(c.fields.longitudeDeg, kLongRangeLonNotAvailable, PositionValid(c.fields), w);
}
std::string LongLatitude(const Long& c, unsigned w)
{
    return TenthsOfMinute(c.fields.latitudeDeg, kLongRangeLatNotAvailable, PositionValid(c.fields), w);
}
std::string LongSpeed(const Long& c, unsigned w)
{
    const float knots = std::fabs(c.fields.speedKnots);
    if (std::isnan(knots)) return IntToBits(kLongRangeSpeedCapKnots + 1, w);
    const float rounded = std::round(knots);
    return IntToBits(rounded >= kLongRangeSpeedCapKnots ? kLongRangeSpeedCapKnots : static_cast<std::int32_t>(rounded), w);
}
std::string LongCourse(const Long& c, unsigned w)
{
    if (!std::isfinite(c.fields.courseDeg)) return IntToBits(kLongRangeCourseNotAvailable, w);
    const double degrees = std::fmod(std::fmod(std::round(c.fields.courseDeg), 360.0) + 360.0, 360.0);
    return IntToBits(static_cast<std::int32_t>(degrees), w);
}
std::string NotGnss(const Long& c, unsigned) { return Bit(!c.fields.gnssCurrent); }

constexpr FieldRow<Long> kMsg27Layout[] = {
    {0,  6,  "Message ID",                         "011011", nullptr},
    {6,  2,  "Repeat indicator (always 3)",        "11",     nullptr},
    {8,  30, "MMSI",                               nullptr,  Mmsi<Long>},
    {38, 1,  "Position accuracy",                  nullptr,  Accuracy<Long>},
    {39, 1,  "RAIM flag",                          nullptr,  Raim<Long>},
    {40, 4,  "Navigational status",                nullptr,  NavStatus<Long>},
    {44, 18, "Longitude, 1/10 minute",             nullptr,  LongLongitude},
    {62, 17, "Latitude, 1/10 minute",              nullptr,  LongLatitude},
    {79, 6,  "Speed over ground, knots",           nullptr,  LongSpeed},
    {85, 9,  "Course over ground, degrees",        nullptr,  LongCourse},
    {94, 1,  "GNSS position status",               nullptr,  NotGnss},
    {95, 1,  "Spare",                              "0",      nullptr},
};
static_assert(IsContiguous(kMsg27Layout, 96));

// Message 1 as a distress beacon sends it, 168 bits.
using Beacon = Context<BeaconPositionReport>;
std::string BeaconSpeed(const Beacon& c, unsigned) { return EncodeSpeed(c.fields.speedKnots); }

constexpr FieldRow<Beacon> kBeaconMsg1Layout[] = {
    {0,   6,  "Message ID",                        "000001",    nullptr},
    {6,   2,  "Repeat indicator",                  "00",        nullptr},
    {8,   30, "MMSI",                              nullptr,     Mmsi<Beacon>},
    {38,  4,  "Navigational status",               nullptr,     NavStatus<Beacon>},
    {42,  8,  "Rate of turn (not available)",      "10000000",  nullptr},
    {50,  10, "Speed over ground",                 nullptr,     BeaconSpeed},
    {60,  1,  "Position accuracy",                 nullptr,     Accuracy<Beacon>},
    {61,  28, "Longitude",                         nullptr,     Longitude<Beacon>},
    {89,  27, "Latitude",                          nullptr,     Latitude<Beacon>},
    {116, 12, "Course over ground",                nullptr,     Course<Beacon>},
    {128, 9,  "True heading (not available)",      "111111111", nullptr},
    {137, 6,  "Time stamp",                        nullptr,     Second<Beacon>},
    {143, 2,  "Special manoeuvre indicator",       "00",        nullptr},
    {145, 3,  "Spare",                             "000",       nullptr},
    {148, 1,  "RAIM flag",                         nullptr,     Raim<Beacon>},
    {149, 19, "Communication state (SOTDMA)",      nullptr,     Zeros<Beacon>},
};
static_assert(IsContiguous(kBeaconMsg1Layout, 168));

// Frames a message in as many sentences as its payload needs; a message of more than
// one sentence takes the next sequential message identifier.
void AppendSentences(const std::string& bits, const SentenceFraming& framing, SequentialMessageId* ids,
                     std::string& out)
{
    const auto chars = static_cast<unsigned>((bits.size() + kSixBitWidth - 1) / kSixBitWidth);
    const unsigned fillBits = chars * kSixBitWidth - static_cast<unsigned>(bits.size());
    const std::string talker = framing.ownShip ? "AIVDO," : "AIVDM,";
    const std::string channel(1, framing.channel);
    const unsigned total = chars <= kMaxPayloadChars || ids == nullptr ? 1 : (chars + kMaxPayloadChars - 1) / kMaxPayloadChars;
    const std::string id = total == 1 ? std::string() : std::to_string(ids->Next());
    for (unsigned part = 0; part < total; ++part) {
        const unsigned first = part * kMaxPayloadChars;
        const unsigned partChars = total == 1 ? chars : std::min(kMaxPayloadChars, chars - first);
        const bool last = part + 1 == total;
        const std::string prefix =
            talker + std::to_string(total) + "," + std::to_string(part + 1) + "," + id + "," + channel + ",";
        const std::string fill = "," + std::to_string(last ? fillBits : 0);
        out += FrameSentence(prefix, bits.substr(static_cast<std::size_t>(first) * kSixBitWidth), partChars, fill,
                             framing.checksum, framing.upperCaseChecksum);
    }
}

} // namespace

int AltitudeField(int altitudeMetres)
{
    if (altitudeMetres < 0) return kAltitudeNotAvailable;
    return altitudeMetres >= kAltitudeCeilingMetres ? kAltitudeCeilingMetres : altitudeMetres;
}

void AppendBaseStationReport(const BaseStationReport& report, const SentenceFraming& framing, std::string& out)
{
    AppendSentences(BuildBits(kMsg4Layout, ContextOf(report)), framing, nullptr, out);
}

void AppendSarAircraftReport(const SarAircraftReport& report, const SentenceFraming& framing, std::string& out)
{
    AppendSentences(BuildBits(kMsg9Layout, ContextOf(report)), framing, nullptr, out);
}

void AppendSafetyBroadcast(const SafetyBroadcast& report, const SentenceFraming& framing, SequentialMessageId& ids,
                           std::string& out)
{
    const Safety context{report, {}};
    const std::string_view text = report.text.substr(0, kSafetyTextMaxChars);
    const std::string bits =
        BuildBits(kMsg14HeaderLayout, context) + TextToSixBit(std::string(text), static_cast<unsigned>(text.size()));
    AppendSentences(bits, framing, &ids, out);
}

void AppendAidToNavigationReport(const AidToNavigationReport& report, const SentenceFraming& framing,
                                 SequentialMessageId& ids, std::string& out)
{
    std::string bits = BuildBits(kMsg21Layout, ContextOf(report));
    // The name extension: the characters after the 20th, up to 14, then spare bits to the
    // next byte boundary.
    if (report.name.size() > kAtonNameChars) {
        const std::string_view extension = report.name.substr(kAtonNameChars, kAtonNameMaxChars - kAtonNameChars);
        bits += TextToSixBit(std::string(extension), static_cast<unsigned>(extension.size()));
        if (bits.size() % 8 != 0) bits.append(8 - bits.size() % 8, '0');
    }
    AppendSentences(bits, framing, &ids, out);
}

void AppendLongRangeReport(const LongRangeReport& report, const SentenceFraming& framing, std::string& out)
{
    AppendSentences(BuildBits(kMsg27Layout, LongRangeContext{report}), framing, nullptr, out);
}

void AppendBeaconPositionReport(const BeaconPositionReport& report, const SentenceFraming& framing, std::string& out)
{
    AppendSentences(BuildBits(kBeaconMsg1Layout, ContextOf(report)), framing, nullptr, out);
}

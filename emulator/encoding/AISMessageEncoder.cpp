#include "emulator/encoding/AISMessageEncoder.h"

#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/FieldLayout.h"
#include "emulator/model/IVessel.h"

#include <string>

namespace {

// Everything one composition reads: the vessel, the local time (read once per call of
// the messages that carry it) and the position fields (one EncodePosition per message).
struct ComposeContext {
    const IVessel& vessel;
    platform::LocalTime time;
    PositionFields position;
};

using Row = FieldRow<ComposeContext>;

template <int Value>
std::string Const(const ComposeContext&, unsigned width) { return IntToBits(Value, width); }
std::string Zeros(const ComposeContext&, unsigned width) { return std::string(width, '0'); }

std::string Mmsi(const ComposeContext& c, unsigned w) { return IntToBits(c.vessel.GetMMSI(), w); }
std::string NavStatus(const ComposeContext& c, unsigned w) { return IntToBits(c.vessel.GetNavStatus(), w); }
std::string RateOfTurn(const ComposeContext& c, unsigned) { return EncodeRateOfTurn(c.vessel.GetRateOfTurn()); }
std::string Speed(const ComposeContext& c, unsigned) { return EncodeSpeed(c.vessel.GetSpeedOverGround()); }
std::string Accuracy(const ComposeContext& c, unsigned) { return c.vessel.GetPositionAccuracy() ? "1" : "0"; }
std::string Longitude(const ComposeContext& c, unsigned) { return c.position.longitude; }
std::string Latitude(const ComposeContext& c, unsigned) { return c.position.latitude; }
std::string Course(const ComposeContext& c, unsigned) { return EncodeCourse(c.vessel.GetCourseOverGround()); }
std::string Heading(const ComposeContext& c, unsigned) { return EncodeHeading(c.vessel.GetHeading(1)); }
std::string Second(const ComposeContext& c, unsigned w) { return IntToBits(static_cast<std::int32_t>(c.time.second), w); }
std::string Month(const ComposeContext& c, unsigned w) { return IntToBits(static_cast<std::int32_t>(c.time.month), w); }
std::string Day(const ComposeContext& c, unsigned w) { return IntToBits(static_cast<std::int32_t>(c.time.day), w); }
std::string Hour(const ComposeContext& c, unsigned w) { return IntToBits(static_cast<std::int32_t>(c.time.hour), w); }
std::string Minute(const ComposeContext& c, unsigned w) { return IntToBits(static_cast<std::int32_t>(c.time.minute), w); }
std::string Imo(const ComposeContext& c, unsigned w) { return IntToBits(c.vessel.GetIMONumber(), w); }
std::string CallSign(const ComposeContext& c, unsigned w) { return TextToSixBit(c.vessel.GetCallSign(), w / 6); }
std::string ShipName(const ComposeContext& c, unsigned w) { return TextToSixBit(c.vessel.GetShipName(), w / 6); }
std::string Destination(const ComposeContext& c, unsigned w) { return TextToSixBit(c.vessel.GetDestination(), w / 6); }
std::string VendorId(const ComposeContext&, unsigned w) { return TextToSixBit("KVLAIS", w / 6); }
std::string ShipType(const ComposeContext& c, unsigned w) { return IntToBits(c.vessel.GetShipType(), w); }
std::string Epfd(const ComposeContext& c, unsigned w) { return IntToBits(c.vessel.GetEPFDType(), w); }

template <int Index>
std::string Dimension(const ComposeContext& c, unsigned w)
{
    int dims[4] = {};
    c.vessel.GetDimensions(dims[0], dims[1], dims[2], dims[3]);
    return IntToBits(dims[Index], w);
}

// Message 1: class A position report, 168 bits.
constexpr Row kMsg1Layout[] = {
    {0,   6,  "Message ID",                  "000001", nullptr},
    {6,   2,  "Repeat indicator",            "11",     nullptr},
    {8,   30, "MMSI",                        nullptr,  Mmsi},
    {38,  4,  "Navigational status",         nullptr,  NavStatus},
    {42,  8,  "Rate of turn",                nullptr,  RateOfTurn},
    {50,  10, "Speed over ground",           nullptr,  Speed},
    {60,  1,  "Position accuracy",           nullptr,  Accuracy},
    {61,  28, "Longitude",                   nullptr,  Longitude},
    {89,  27, "Latitude",                    nullptr,  Latitude},
    {116, 12, "Course over ground",          nullptr,  Course},
    {128, 9,  "True heading",                nullptr,  Heading},
    {137, 6,  "Time stamp (not available)",  nullptr,  Const<60>},
    {143, 2,  "Special manoeuvre indicator", "00",     nullptr},
    {145, 3,  "Spare",                       "000",    nullptr},
    {148, 1,  "RAIM flag",                   "0",      nullptr},
    {149, 19, "Radio status",                nullptr,  Zeros},
};

// Message 18: class B CS position report, 168 bits.
constexpr Row kMsg18Layout[] = {
    {0,   6,  "Message ID",                  "010010", nullptr},
    {6,   2,  "Repeat indicator",            "11",     nullptr},
    {8,   30, "MMSI",                        nullptr,  Mmsi},
    {38,  8,  "Spare (regional)",            nullptr,  Zeros},
    {46,  10, "Speed over ground",           nullptr,  Speed},
    {56,  1,  "Position accuracy",           nullptr,  Accuracy},
    {57,  28, "Longitude",                   nullptr,  Longitude},
    {85,  27, "Latitude",                    nullptr,  Latitude},
    {112, 12, "Course over ground",          nullptr,  Course},
    {124, 9,  "True heading",                nullptr,  Heading},
    {133, 6,  "Time stamp (second)"     ,     nullptr,  Second},
    {139, 2,  "Spare (regional)",            nullptr,  Zeros},
    {141, 1,  "Class B unit flag (CS)",      "1",      nullptr},
    {142, 1,  "Class B display flag",        "1",      nullptr},
    {143, 1,  "Class B DSC flag",            "1",      nullptr},
    {144, 1,  "Class B band flag",           "0",      nullptr},
    {145, 1,  "Class B message 22 flag",     "0",      nullptr},
    {146, 1,  "Mode flag",                   "0",      nullptr},
    {147, 1,  "RAIM flag",                   "0",      nullptr},
    {148, 1,  "Communication state selector","0",      nullptr},
    {149, 19, "Communication state",         nullptr,  Zeros},
};

// Message 19: class B extended position report, 312 bits.
constexpr Row kMsg19Layout[] = {
    {0,   6,   "Message ID",                 "010011", nullptr},
    {6,   2,   "Repeat indicator",           "11",     nullptr},
    {8,   30,  "MMSI",                       nullptr,  Mmsi},
    {38,  8,   "Spare (regional)",           nullptr,  Zeros},
    {46,  10,  "Speed over ground",          nullptr,  Speed},
    {56,  1,   "Position accuracy",          nullptr,  Accuracy},
    {57,  28,  "Longitude",                  nullptr,  Longitude},
    {85,  27,  "Latitude",                   nullptr,  Latitude},
    {112, 12,  "Course over ground",         nullptr,  Course},
    {124, 9,   "True heading",               nullptr,  Heading},
    {133, 6,   "Time stamp (second)"     ,    nullptr,  Second},
    {139, 4,   "Spare (regional)",           nullptr,  Zeros},
    {143, 120, "Name",                       nullptr,  ShipName},
    {263, 8,   "Type of ship and cargo",     nullptr,  ShipType},
    {271, 9,   "Dimension to bow A",         nullptr,  Dimension<0>},
    {280, 9,   "Dimension to stern B",       nullptr,  Dimension<1>},
    {289, 6,   "Dimension to port C",        nullptr,  Dimension<2>},
    {295, 6,   "Dimension to starboard D",   nullptr,  Dimension<3>},
    {301, 4,   "Position fixing device",     nullptr,  Epfd},
    {305, 1,   "RAIM flag",                  "0",      nullptr},
    {306, 1,   "DTE",                        "0",      nullptr},
    {307, 1,   "Assigned mode flag",         "0",      nullptr},
    {308, 4,   "Spare",                      "0000",   nullptr},
};

// Message 5: class A static and voyage related data, 424 bits. The ETA is the local
// time of the call; the last bit is 1.
constexpr Row kMsg5Layout[] = {
    {0,   6,   "Message ID",                 "000101", nullptr},
    {6,   2,   "Repeat indicator",           "11",     nullptr},
    {8,   30,  "MMSI",                       nullptr,  Mmsi},
    {38,  2,   "AIS version indicator",      "00",     nullptr},
    {40,  30,  "IMO number",                 nullptr,  Imo},
    {70,  42,  "Call sign",                  nullptr,  CallSign},
    {112, 120, "Name",                       nullptr,  ShipName},
    {232, 8,   "Type of ship and cargo",     nullptr,  ShipType},
    {240, 9,   "Dimension to bow A",         nullptr,  Dimension<0>},
    {249, 9,   "Dimension to stern B",       nullptr,  Dimension<1>},
    {258, 6,   "Dimension to port C",        nullptr,  Dimension<2>},
    {264, 6,   "Dimension to starboard D",   nullptr,  Dimension<3>},
    {270, 4,   "Position fixing device",     nullptr,  Epfd},
    {274, 4,   "ETA month",                  nullptr,  Month},
    {278, 5,   "ETA day",                    nullptr,  Day},
    {283, 5,   "ETA hour",                   nullptr,  Hour},
    {288, 6,   "ETA minute",                 nullptr,  Minute},
    {294, 8,   "Maximum static draught",     nullptr,  Const<50>},  // 5.0 m
    {302, 120, "Destination",                nullptr,  Destination},
    {422, 1,   "DTE",                        "0",      nullptr},
    {423, 1,   "Last bit (spare)",           "1",      nullptr},
};

// Message 24 part A: name, 168 bits.
constexpr Row kMsg24ALayout[] = {
    {0,   6,   "Message ID",                 "011000",   nullptr},
    {6,   2,   "Repeat indicator",           "11",       nullptr},
    {8,   30,  "MMSI",                       nullptr,    Mmsi},
    {38,  2,   "Part number (A)",            "00",       nullptr},
    {40,  120, "Name",                       nullptr,    ShipName},
    {160, 8,   "Spare",                      "00000000", nullptr},
};

// Message 24 part B: type, vendor, call sign and dimensions, 168 bits.
constexpr Row kMsg24BLayout[] = {
    {0,   6,  "Message ID",                  "011000", nullptr},
    {6,   2,  "Repeat indicator",            "11",     nullptr},
    {8,   30, "MMSI",                        nullptr,  Mmsi},
    {38,  2,  "Part number (B)",             "01",     nullptr},
    {40,  8,  "Type of ship and cargo",      nullptr,  ShipType},
    {48,  42, "Vendor ID",                   nullptr,  VendorId},
    {90,  42, "Call sign",                   nullptr,  CallSign},
    {132, 9,  "Dimension to bow A",          nullptr,  Dimension<0>},
    {141, 9,  "Dimension to stern B",        nullptr,  Dimension<1>},
    {150, 6,  "Dimension to port C",         nullptr,  Dimension<2>},
    {156, 6,  "Dimension to starboard D",    nullptr,  Dimension<3>},
    {162, 6,  "Spare",                       "000000", nullptr},
};

static_assert(IsContiguous(kMsg1Layout, 168));
static_assert(IsContiguous(kMsg18Layout, 168));
static_assert(IsContiguous(kMsg19Layout, 312));
static_assert(IsContiguous(kMsg5Layout, 424));
static_assert(IsContiguous(kMsg24ALayout, 168));
static_assert(IsContiguous(kMsg24BLayout, 168));

const char* const kSingleA = "AIVDM,1,1,,A,";
const char* const kSingleB = "AIVDM,1,1,,B,";
const char* const kFirstOfTwoA = "AIVDM,2,1,0,A,";
const char* const kSecondOfTwoA = "AIVDM,2,2,0,A,";
const char* const kNoFill = ",0";
const char* const kTwoFillBits = ",2";

constexpr unsigned kChars168 = 28;       // 168-bit messages
constexpr unsigned kChars312 = 52;       // message 19
constexpr unsigned kMsg5FirstChars = 60; // bits 0-359
constexpr unsigned kMsg5SecondStart = 360;
constexpr unsigned kMsg5SecondChars = 11; // bits 360-423 and two fill bits

ComposeContext WithoutClock(const IVessel& vessel)
{
    double lat = 0, lon = 0;
    vessel.GetPosition(lat, lon);
    return {vessel, {}, EncodePosition(lat, lon)};
}

} // namespace

std::string CAISMessageEncoder::Frame(const char* prefix, const std::string& bits, unsigned chars,
                                      const char* fill) const
{
    std::string talkerPrefix = prefix;
    // The own ship's messages come from its own transponder: "VDO" instead of "VDM".
    if (m_bOwnShip) talkerPrefix[4] = 'O';
    return FrameSentence(talkerPrefix, bits, chars, fill, m_bChecksumEnabled, m_bUpperCaseChecksum);
}

std::string& CAISMessageEncoder::ComposeMsg1(std::string& out) const
{
    const ComposeContext context = WithoutClock(*m_pVessel);
    out = Frame(kSingleA, BuildBits(kMsg1Layout, context), kChars168, kNoFill);
    return out;
}

std::string& CAISMessageEncoder::ComposeMsg5(std::string& out) const
{
    ComposeContext context = WithoutClock(*m_pVessel);
    context.time = m_localTime();
    const std::string bits = BuildBits(kMsg5Layout, context);
    out = Frame(kFirstOfTwoA, bits, kMsg5FirstChars, kNoFill)
        + Frame(kSecondOfTwoA, bits.substr(kMsg5SecondStart), kMsg5SecondChars, kTwoFillBits);
    return out;
}

std::string& CAISMessageEncoder::ComposeMsg18(std::string& out) const
{
    ComposeContext context = WithoutClock(*m_pVessel);
    context.time = m_localTime();
    out = Frame(kSingleB, BuildBits(kMsg18Layout, context), kChars168, kNoFill);
    return out;
}

std::string& CAISMessageEncoder::ComposeMsg19(std::string& out) const
{
    ComposeContext context = WithoutClock(*m_pVessel);
    context.time = m_localTime();
    out = Frame(kSingleB, BuildBits(kMsg19Layout, context), kChars312, kNoFill);
    return out;
}

std::string& CAISMessageEncoder::ComposeMsg24(std::string& out) const
{
    const ComposeContext context = WithoutClock(*m_pVessel);
    out = Frame(kSingleB, BuildBits(kMsg24ALayout, context), kChars168, kNoFill)
        + Frame(kSingleB, BuildBits(kMsg24BLayout, context), kChars168, kNoFill);
    return out;
}

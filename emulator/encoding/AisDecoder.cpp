#include "emulator/encoding/AisDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr double kTenThousandthMinutesPerDeg = 600000.0;  // positions of messages 1-4, 9, 18, 19, 21
constexpr double kTenthMinutesPerDeg = 600.0;             // positions of message 27
constexpr std::uint32_t kSpeedTenthsNotAvailable = 1023;
constexpr std::uint32_t kCourseTenthsNotAvailable = 3600;
constexpr std::uint32_t kMaxHeadingDeg = 359;  // 511 = not available
constexpr unsigned kNameChars = 20;
constexpr unsigned kMaxSafetyTextChars = 161;  // message 14 in five slots

// The payload's six-bit values; bits are read most significant first.
class SixBits {
public:
    bool Assign(std::string_view armoured, unsigned fillBits)
    {
        if (fillBits > 5 || armoured.size() > kMaxAisPayloadChars) return false;
        for (std::size_t i = 0; i < armoured.size(); ++i) {
            const unsigned c = static_cast<unsigned char>(armoured[i]);
            // '0'..'W' carry 0..39, '`'..'w' carry 40..63.
            if (c >= '0' && c <= 'W') m_values[i] = static_cast<std::uint8_t>(c - '0');
            else if (c >= '`' && c <= 'w') m_values[i] = static_cast<std::uint8_t>(c - '`' + 40);
            else return false;
        }
        const unsigned bits = static_cast<unsigned>(armoured.size()) * 6;
        m_bitCount = bits >= fillBits ? bits - fillBits : 0;
        return true;
    }
    unsigned BitCount() const { return m_bitCount; }
    unsigned Bit(unsigned index) const { return (m_values[index / 6] >> (5 - index % 6)) & 1U; }

private:
    std::array<std::uint8_t, kMaxAisPayloadChars> m_values{};
    unsigned m_bitCount = 0;
};

// Reads fields in layout order. Each read names the field's documented start bit, which
// must equal the end of the previous field: a wrong width or start shows up as a slip
// instead of shifting every field after it. Reads past the end mark the message short.
class FieldCursor {
public:
    explicit FieldCursor(const SixBits& bits) : m_bits(bits) {}

    std::uint32_t U(unsigned start, unsigned width)
    {
        if (start != m_next) m_slip = true;
        m_next = start + width;
        if (m_next > m_bits.BitCount()) {
            m_short = true;
            return 0;
        }
        std::uint32_t value = 0;
        for (unsigned i = start; i < m_next; ++i) value = (value << 1) | m_bits.Bit(i);
        return value;
    }
    std::int32_t S(unsigned start, unsigned width)
    {
        const std::uint32_t raw = U(start, width);
        const std::uint32_t sign = 1U << (width - 1);
        return static_cast<std::int32_t>(raw ^ sign) - static_cast<std::int32_t>(sign);
    }
    bool Flag(unsigned start) { return U(start, 1) != 0; }
    // Characters up to the first '@' (the padding), trailing blanks kept.
    std::string RawText(unsigned start, unsigned chars, bool* ended = nullptr)
    {
        std::string text;
        bool stop = false;
        for (unsigned i = 0; i < chars; ++i) {
            const char c = SixBitChar(U(start + 6 * i, 6));
            if (c == '@') stop = true;
            if (!stop) text += c;
        }
        if (ended) *ended = stop;
        return text;
    }
    std::string Text(unsigned start, unsigned chars) { return TrimRight(RawText(start, chars)); }
    // Bits left after the fields read so far.
    unsigned Remaining() const { return m_bits.BitCount() > m_next ? m_bits.BitCount() - m_next : 0; }
    // A value no sender may use (a part number of message 24 beyond B).
    void Reject() { m_short = true; }
    bool Short() const { return m_short; }
    bool Slipped() const { return m_slip; }

    static std::string TrimRight(std::string text)
    {
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text;
    }

private:
    const SixBits& m_bits;
    unsigned m_next = 0;
    bool m_short = false;
    bool m_slip = false;
};

std::optional<double> Speed(std::uint32_t tenths)
{
    if (tenths == kSpeedTenthsNotAvailable) return std::nullopt;
    return tenths / 10.0;
}

std::optional<double> Course(std::uint32_t tenths)
{
    if (tenths >= kCourseTenthsNotAvailable) return std::nullopt;
    return tenths / 10.0;
}

std::optional<std::uint16_t> Heading(std::uint32_t deg)
{
    if (deg > kMaxHeadingDeg) return std::nullopt;
    return static_cast<std::uint16_t>(deg);
}

// ROT indicator = 4.733 * sqrt(rate in degrees per minute), signed; +-127 says "turning
// at more than 5 degrees per 30 s" without a rate.
std::optional<double> RateOfTurn(std::int32_t raw)
{
    if (raw == kAisRateOfTurnNotAvailable || raw == 127 || raw == -127) return std::nullopt;
    const double root = raw / 4.733;
    return raw < 0 ? -root * root : root * root;
}

// 181 degrees of longitude and 91 of latitude mean "not available"; anything else off
// the earth is treated the same way.
AisPosition Position(bool accurate, std::int32_t lon, std::int32_t lat, double unitsPerDeg)
{
    AisPosition p;
    p.accurate = accurate;
    if (std::abs(lon) <= 180.0 * unitsPerDeg) p.longitudeDeg = lon / unitsPerDeg;
    if (std::abs(lat) <= 90.0 * unitsPerDeg) p.latitudeDeg = lat / unitsPerDeg;
    return p;
}

AisDimensions Dimensions(FieldCursor& c, unsigned start)
{
    AisDimensions d;
    d.toBowM = static_cast<std::uint16_t>(c.U(start, 9));
    d.toSternM = static_cast<std::uint16_t>(c.U(start + 9, 9));
    d.toPortM = static_cast<std::uint8_t>(c.U(start + 18, 6));
    d.toStarboardM = static_cast<std::uint8_t>(c.U(start + 24, 6));
    return d;
}

template <typename Message>
Message WithHeader(FieldCursor& c, const AisHeader& origin)
{
    Message m;
    static_cast<AisHeader&>(m) = origin;
    m.type = static_cast<std::uint8_t>(c.U(0, 6));
    m.repeat = static_cast<std::uint8_t>(c.U(6, 2));
    m.mmsi = c.U(8, 30);
    return m;
}

// One function per layout; each reads its fields in order, by documented start bit.
NmeaMessage PositionReportA(FieldCursor& c, const AisHeader& origin)  // Table 46
{
    auto m = WithHeader<AisPositionReportA>(c, origin);
    m.navStatus = static_cast<std::uint8_t>(c.U(38, 4));
    const std::int32_t rot = c.S(42, 8);
    m.rateOfTurnRaw = static_cast<std::int8_t>(rot);
    m.rateOfTurnDegPerMin = RateOfTurn(rot);
    m.speedKnots = Speed(c.U(50, 10));
    const bool accurate = c.Flag(60);
    const std::int32_t lon = c.S(61, 28);
    m.position = Position(accurate, lon, c.S(89, 27), kTenThousandthMinutesPerDeg);
    m.courseDeg = Course(c.U(116, 12));
    m.headingDeg = Heading(c.U(128, 9));
    m.utcSecond = static_cast<std::uint8_t>(c.U(137, 6));
    m.maneuver = static_cast<std::uint8_t>(c.U(143, 2));
    c.U(145, 3);  // spare
    m.raim = c.Flag(148);
    m.radioStatus = c.U(149, 19);
    return m;
}

NmeaMessage BaseStationReport(FieldCursor& c, const AisHeader& origin)  // Table 47
{
    auto m = WithHeader<AisBaseStationReport>(c, origin);
    m.utc.year = static_cast<std::uint16_t>(c.U(38, 14));
    m.utc.month = static_cast<std::uint8_t>(c.U(52, 4));
    m.utc.day = static_cast<std::uint8_t>(c.U(56, 5));
    m.utc.hour = static_cast<std::uint8_t>(c.U(61, 5));
    m.utc.minute = static_cast<std::uint8_t>(c.U(66, 6));
    m.utc.second = static_cast<std::uint8_t>(c.U(72, 6));
    const bool accurate = c.Flag(78);
    const std::int32_t lon = c.S(79, 28);
    m.position = Position(accurate, lon, c.S(107, 27), kTenThousandthMinutesPerDeg);
    m.epfd = static_cast<std::uint8_t>(c.U(134, 4));
    m.longRangeControl = c.Flag(138);
    c.U(139, 9);  // spare
    m.raim = c.Flag(148);
    m.radioStatus = c.U(149, 19);
    return m;
}

NmeaMessage StaticVoyageData(FieldCursor& c, const AisHeader& origin)  // Table 48
{
    auto m = WithHeader<AisStaticVoyageData>(c, origin);
    m.aisVersion = static_cast<std::uint8_t>(c.U(38, 2));
    m.imo = c.U(40, 30);
    m.callSign = c.Text(70, 7);
    m.name = c.Text(112, kNameChars);
    m.shipType = static_cast<std::uint8_t>(c.U(232, 8));
    m.dimensions = Dimensions(c, 240);
    m.epfd = static_cast<std::uint8_t>(c.U(270, 4));
    m.eta.month = static_cast<std::uint8_t>(c.U(274, 4));
    m.eta.day = static_cast<std::uint8_t>(c.U(278, 5));
    m.eta.hour = static_cast<std::uint8_t>(c.U(283, 5));
    m.eta.minute = static_cast<std::uint8_t>(c.U(288, 6));
    const std::uint32_t draught = c.U(294, 8);  // 1/10 m, 0 = not available
    if (draught != 0) m.draughtM = draught / 10.0;
    m.destination = c.Text(302, kNameChars);
    m.dteNotReady = c.Flag(422);
    return m;
}

NmeaMessage SarAircraftReport(FieldCursor& c, const AisHeader& origin)  // Table 49
{
    auto m = WithHeader<AisSarAircraftReport>(c, origin);
    const std::uint32_t altitude = c.U(38, 12);
    if (altitude != 4095) m.altitudeM = static_cast<std::uint16_t>(altitude);
    const std::uint32_t speed = c.U(50, 10);  // whole knots
    if (speed != kSpeedTenthsNotAvailable) m.speedKnots = speed;
    const bool accurate = c.Flag(60);
    const std::int32_t lon = c.S(61, 28);
    m.position = Position(accurate, lon, c.S(89, 27), kTenThousandthMinutesPerDeg);
    m.courseDeg = Course(c.U(116, 12));
    m.utcSecond = static_cast<std::uint8_t>(c.U(128, 6));
    m.altitudeBarometric = c.Flag(134);
    c.U(135, 7);  // spare
    m.dteNotReady = c.Flag(142);
    c.U(143, 3);  // spare
    m.assigned = c.Flag(146);
    m.raim = c.Flag(147);
    m.radioStatus = c.U(148, 20);
    return m;
}

NmeaMessage SafetyBroadcast(FieldCursor& c, const AisHeader& origin)  // Table 63
{
    auto m = WithHeader<AisSafetyBroadcast>(c, origin);
    c.U(38, 2);  // spare
    m.text = c.Text(40, std::min(c.Remaining() / 6, kMaxSafetyTextChars));
    return m;
}

NmeaMessage PositionReportB(FieldCursor& c, const AisHeader& origin)  // Table 70
{
    auto m = WithHeader<AisPositionReportB>(c, origin);
    c.U(38, 8);  // reserved for regional applications
    m.speedKnots = Speed(c.U(46, 10));
    const bool accurate = c.Flag(56);
    const std::int32_t lon = c.S(57, 28);
    m.position = Position(accurate, lon, c.S(85, 27), kTenThousandthMinutesPerDeg);
    m.courseDeg = Course(c.U(112, 12));
    m.headingDeg = Heading(c.U(124, 9));
    m.utcSecond = static_cast<std::uint8_t>(c.U(133, 6));
    c.U(139, 2);  // reserved for regional applications
    m.carrierSense = c.Flag(141);
    m.display = c.Flag(142);
    m.dsc = c.Flag(143);
    m.wholeBand = c.Flag(144);
    m.acceptsMessage22 = c.Flag(145);
    m.assigned = c.Flag(146);
    m.raim = c.Flag(147);
    m.radioStatus = c.U(148, 20);
    return m;
}

NmeaMessage ExtendedReportB(FieldCursor& c, const AisHeader& origin)  // Table 71
{
    auto m = WithHeader<AisExtendedReportB>(c, origin);
    c.U(38, 8);  // reserved for regional applications
    m.speedKnots = Speed(c.U(46, 10));
    const bool accurate = c.Flag(56);
    const std::int32_t lon = c.S(57, 28);
    m.position = Position(accurate, lon, c.S(85, 27), kTenThousandthMinutesPerDeg);
    m.courseDeg = Course(c.U(112, 12));
    m.headingDeg = Heading(c.U(124, 9));
    m.utcSecond = static_cast<std::uint8_t>(c.U(133, 6));
    c.U(139, 4);  // reserved for regional applications
    m.name = c.Text(143, kNameChars);
    m.shipType = static_cast<std::uint8_t>(c.U(263, 8));
    m.dimensions = Dimensions(c, 271);
    m.epfd = static_cast<std::uint8_t>(c.U(301, 4));
    m.raim = c.Flag(305);
    m.dteNotReady = c.Flag(306);
    m.assigned = c.Flag(307);
    return m;
}

NmeaMessage AidToNavigationReport(FieldCursor& c, const AisHeader& origin)  // Table 72
{
    auto m = WithHeader<AisAidToNavigationReport>(c, origin);
    m.aidType = static_cast<std::uint8_t>(c.U(38, 5));
    bool padded = false;
    m.name = c.RawText(43, kNameChars, &padded);
    const bool accurate = c.Flag(163);
    const std::int32_t lon = c.S(164, 28);
    m.position = Position(accurate, lon, c.S(192, 27), kTenThousandthMinutesPerDeg);
    m.dimensions = Dimensions(c, 219);
    m.epfd = static_cast<std::uint8_t>(c.U(249, 4));
    m.utcSecond = static_cast<std::uint8_t>(c.U(253, 6));
    m.offPosition = c.Flag(259);
    m.atonStatus = static_cast<std::uint8_t>(c.U(260, 8));
    m.raim = c.Flag(268);
    m.virtualAid = c.Flag(269);
    m.assigned = c.Flag(270);
    c.U(271, 1);  // spare
    // The extension (up to 14 characters, then spare bits to a byte boundary) continues
    // a name that fills all 20 characters.
    const unsigned extension = std::min(c.Remaining() / 6, 14U);
    const std::string more = c.RawText(272, extension);
    if (!padded) m.name += more;
    m.name = FieldCursor::TrimRight(std::move(m.name));
    return m;
}

NmeaMessage StaticData(FieldCursor& c, const AisHeader& origin)  // Tables 74-76
{
    const AisHeader head = WithHeader<AisHeader>(c, origin);
    const std::uint32_t part = c.U(38, 2);
    if (part > 1) c.Reject();
    if (part == 0) {
        AisStaticDataA a;
        static_cast<AisHeader&>(a) = head;
        a.name = c.Text(40, kNameChars);
        return a;
    }
    AisStaticDataB b;
    static_cast<AisHeader&>(b) = head;
    b.shipType = static_cast<std::uint8_t>(c.U(40, 8));
    b.vendorId = c.Text(48, 3);
    b.unitModel = static_cast<std::uint8_t>(c.U(66, 4));
    b.serialNumber = c.U(70, 20);
    b.callSign = c.Text(90, 7);
    // Auxiliary craft (MMSI 98MIDXXXX) name their mother ship in place of dimensions.
    if (head.mmsi / 10000000 == 98) b.mothershipMmsi = c.U(132, 30);
    else b.dimensions = Dimensions(c, 132);
    b.epfd = static_cast<std::uint8_t>(c.U(162, 4));
    return b;
}

NmeaMessage LongRangeReport(FieldCursor& c, const AisHeader& origin)  // Table 83
{
    auto m = WithHeader<AisLongRangeReport>(c, origin);
    const bool accurate = c.Flag(38);
    m.raim = c.Flag(39);
    m.navStatus = static_cast<std::uint8_t>(c.U(40, 4));
    const std::int32_t lon = c.S(44, 18);
    m.position = Position(accurate, lon, c.S(62, 17), kTenthMinutesPerDeg);
    const std::uint32_t speed = c.U(79, 6);  // whole knots, 63 = not available
    if (speed != 63) m.speedKnots = speed;
    const std::uint32_t course = c.U(85, 9);  // whole degrees, 511 = not available
    if (course < 360) m.courseDeg = course;
    m.positionLatency = c.Flag(94);
    return m;
}

using Layout = NmeaMessage (*)(FieldCursor&, const AisHeader&);
struct LayoutRow {
    std::uint8_t type;
    unsigned minBits;  // up to the end of the last field read
    Layout decode;
};
constexpr LayoutRow kLayouts[] = {
    {1, 168, PositionReportA},   {2, 168, PositionReportA},     {3, 168, PositionReportA},
    {4, 168, BaseStationReport}, {5, 423, StaticVoyageData},    {9, 168, SarAircraftReport},
    {14, 40, SafetyBroadcast},   {18, 168, PositionReportB},    {19, 308, ExtendedReportB},
    {21, 272, AidToNavigationReport}, {24, 40, StaticData},     {27, 95, LongRangeReport},
};

} // namespace

AisDecodeStatus DecodeAisPayload(std::string_view armoured, unsigned fillBits, const AisHeader& origin,
                                 NmeaMessage& out)
{
    if (armoured.size() > kMaxAisPayloadChars) return AisDecodeStatus::TooLong;
    SixBits bits;
    if (!bits.Assign(armoured, fillBits)) return AisDecodeStatus::BadArmour;
    if (bits.BitCount() < 6) return AisDecodeStatus::Malformed;
    FieldCursor peek(bits);
    const std::uint32_t type = peek.U(0, 6);
    for (const LayoutRow& row : kLayouts) {
        if (row.type != type) continue;
        if (bits.BitCount() < row.minBits) return AisDecodeStatus::Malformed;
        FieldCursor cursor(bits);
        NmeaMessage message = row.decode(cursor, origin);
        // A slip is a layout written wrongly here, never the sender's fault; it must not
        // pass as a decoded message.
        if (cursor.Short() || cursor.Slipped()) return AisDecodeStatus::Malformed;
        out = std::move(message);
        return AisDecodeStatus::Ok;
    }
    return AisDecodeStatus::UnsupportedType;
}

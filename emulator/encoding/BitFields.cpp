#include "emulator/encoding/BitFields.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr unsigned kSixBitWidth = 6;
constexpr unsigned kIntBits = 32;

// Position fields, 1/10000 minute of arc.
constexpr double kMinutesPerDegree = 60.0;
constexpr double kPositionUnitMinutes = 0.0001;
constexpr std::int32_t kLongitudeNotAvailable = 108600000;  // 181 degrees
constexpr std::int32_t kLatitudeNotAvailable = 54600000;    // 91 degrees
constexpr unsigned kLatitudeWidth = 27;
constexpr unsigned kLongitudeWidth = 28;

constexpr float kSpeedCapKnots = 102.2F;
constexpr std::int32_t kSpeedCapValue = 1022;
constexpr float kSpeedUnitKnots = 0.1F;

constexpr double kFullCircleDeg = 360.0;

constexpr float kRotMaxDegPerMin = 708.0F;
constexpr std::int32_t kRotMaxIndicator = 126;
constexpr float kRotFactor = 4.733F;

// Truncation toward zero into 32 bits. Values outside the range (and NaN, which the
// command line can deliver) would be undefined behaviour in a plain cast: they are
// clamped, NaN becomes 0, so a field still gets a defined pattern.
std::int32_t TruncToInt32(double x)
{
    if (std::isnan(x)) return 0;
    if (x >= 2147483647.0) return INT32_MAX;
    if (x <= -2147483648.0) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

// Reduces a course or heading of 360 degrees or more into 0..360; below 0 is kept.
double ReduceAngle(double deg)
{
    if (deg >= kFullCircleDeg) deg -= kFullCircleDeg * std::trunc(deg / kFullCircleDeg);
    return deg;
}

} // namespace

std::string IntToBits(std::int32_t value, unsigned width)
{
    const auto pattern = static_cast<std::uint32_t>(value);
    std::string bits(kIntBits, '0');
    for (unsigned i = 0; i < kIntBits; ++i)
        if (pattern & (1U << (kIntBits - 1 - i))) bits[i] = '1';
    if (width < kIntBits) return bits.substr(kIntBits - width);
    return std::string(width - kIntBits, '0') + bits;
}

std::string TextToSixBit(const std::string& text, unsigned chars)
{
    std::string padded = text.substr(0, chars);
    padded.resize(chars, '@');
    std::string bits;
    bits.reserve(static_cast<size_t>(chars) * kSixBitWidth);
    for (const char c : padded) {
        const unsigned byte = static_cast<unsigned char>(c);
        const unsigned code = (byte <= 64 ? byte : byte - 64) & 0x3FU;
        bits += IntToBits(static_cast<std::int32_t>(code), kSixBitWidth);
    }
    return bits;
}

std::string SixBitTextAsSent(const std::string& text, unsigned chars)
{
    std::string sent;
    for (const char c : text.substr(0, chars)) {
        const unsigned byte = static_cast<unsigned char>(c);
        const unsigned code = (byte <= 64 ? byte : byte - 64) & 0x3FU;
        // Codes 0-31 stand for '@'..'_', codes 32-63 for ' '..'?'.
        sent += static_cast<char>(code < 32 ? code + 64 : code);
    }
    return sent;
}

std::uint8_t BitsToValue(const std::string& bits)
{
    unsigned value = 0;
    const size_t n = bits.size() < 8 ? bits.size() : 8;
    for (size_t bit = 0; bit < n; ++bit)
        if (bits[bits.size() - 1 - bit] == '1') value |= 1U << bit;
    return static_cast<std::uint8_t>(value);
}

std::string ArmorPayload(std::string bits, unsigned chars)
{
    if (bits.size() % kSixBitWidth != 0) bits.append(kSixBitWidth - bits.size() % kSixBitWidth, '0');
    std::string payload;
    payload.reserve(chars);
    for (unsigned i = 0; i < chars; ++i) {
        const unsigned v = BitsToValue(bits.substr(static_cast<size_t>(i) * kSixBitWidth, kSixBitWidth));
        // 0..39 become '0'..'W', 40..63 become '`'..'w'.
        payload += static_cast<char>(v < 40 ? v + 48 : v + 56);
    }
    return payload;
}

std::string NmeaChecksum(const std::string& body, bool upperCase)
{
    unsigned sum = 0;
    for (const char c : body) sum ^= static_cast<unsigned char>(c);
    const char* const digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    return {digits[(sum >> 4) & 0xFU], digits[sum & 0xFU]};
}

std::string FrameSentence(const std::string& prefix, const std::string& bits, unsigned chars,
                          const std::string& fill, bool checksumEnabled, bool upperCaseChecksum)
{
    const std::string body = prefix + ArmorPayload(bits, chars) + fill;
    std::string line = "!" + body;
    if (checksumEnabled) line += "*" + NmeaChecksum(body, upperCaseChecksum);
    return line + "\r\n";
}

PositionFields EncodePosition(double latDeg, double lonDeg)
{
    std::int32_t latValue = kLatitudeNotAvailable;
    std::int32_t lonValue = kLongitudeNotAvailable;
    if (std::fabs(latDeg) < 90.0 && std::fabs(lonDeg) < 180.0) {
        lonValue = TruncToInt32(lonDeg * kMinutesPerDegree / kPositionUnitMinutes);
        latValue = TruncToInt32(latDeg * kMinutesPerDegree / kPositionUnitMinutes);
    }
    return {IntToBits(latValue, kLatitudeWidth), IntToBits(lonValue, kLongitudeWidth)};
}

float RoundHalfAway(float x)
{
    if (x > 0) {
        const float sum = x + 0.5F;
        return std::floor(sum);
    }
    const float diff = x - 0.5F;
    return std::ceil(diff);
}

std::string EncodeSpeed(float speedKnots)
{
    const float a = std::fabs(speedKnots);
    std::int32_t value = kSpeedCapValue;
    if (a < kSpeedCapKnots) {
        const float tenths = a / kSpeedUnitKnots;
        value = TruncToInt32(RoundHalfAway(tenths));
    }
    return IntToBits(value, 10);
}

std::string EncodeCourse(double courseDeg)
{
    const std::int32_t value = TruncToInt32(ReduceAngle(courseDeg) * 10.0);  // 1/10 degree
    return IntToBits(value, 12);
}

std::string EncodeHeading(double headingDeg)
{
    const std::int32_t value = TruncToInt32(ReduceAngle(headingDeg));
    return IntToBits(value, 9);
}

std::string EncodeRateOfTurn(float rotDegPerMin)
{
    const float a = std::fabs(rotDegPerMin);
    std::int32_t m = kRotMaxIndicator;
    if (!(a > kRotMaxDegPerMin)) {
        const auto root = static_cast<float>(std::sqrt(static_cast<double>(a)));
        const float product = kRotFactor * root;
        m = TruncToInt32(product);
    }
    return IntToBits(rotDegPerMin < 0 ? -m : m, 8);
}

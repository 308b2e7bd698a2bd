#pragma once

// Bit fields, six-bit armouring and NMEA sentence framing of AIS messages.
// A message under construction is a bit text: one '0' or '1' per bit, most significant
// bit first. None of these operations fails: numbers too large for a field lose their
// high-order bits, texts are cut or padded, impossible positions become "not available".

#include <cstdint>
#include <string>

// The 32-bit two's-complement pattern of `value`, cut to its last `width` bits, or
// zero-padded in front when `width` is more than 32.
std::string IntToBits(std::int32_t value, unsigned width);

// `chars` six-bit characters (6 x chars bits); the text is cut or padded with '@'.
// Lower case is not converted: each byte contributes its low six bits.
std::string TextToSixBit(const std::string& text, unsigned chars);

// The text a decoder reads back from TextToSixBit(text, chars), without the '@'
// padding: bytes outside ' '..'_' come back as other characters ("u" as "5").
std::string SixBitTextAsSent(const std::string& text, unsigned chars);

// The value of the last (at most 8) characters of a bit text; '1' sets a bit.
std::uint8_t BitsToValue(const std::string& bits);

// The armoured payload of the first `chars` six-bit groups, after zero fill bits.
std::string ArmorPayload(std::string bits, unsigned chars);

// NMEA 0183 checksum of a sentence body as two hexadecimal digits, lower case unless
// asked otherwise (strict readers want upper case).
std::string NmeaChecksum(const std::string& body, bool upperCase = false);

// "!" + prefix + payload + fill [+ "*" + checksum] + "\r\n".
std::string FrameSentence(const std::string& prefix, const std::string& bits, unsigned chars,
                          const std::string& fill, bool checksumEnabled, bool upperCaseChecksum = false);

struct PositionFields {
    std::string latitude;   // 27 bits, 1/10000 minute
    std::string longitude;  // 28 bits, 1/10000 minute
};
PositionFields EncodePosition(double latDeg, double lonDeg);

float RoundHalfAway(float x);
std::string EncodeSpeed(float speedKnots);         // 10 bits, 1/10 knot, capped at 1022
std::string EncodeCourse(double courseDeg);        // 12 bits, 1/10 degree
std::string EncodeHeading(double headingDeg);      // 9 bits, whole degrees
std::string EncodeRateOfTurn(float rotDegPerMin);  // 8 bits, AIS ROT indicator

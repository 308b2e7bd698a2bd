#pragma once

// Decodes one whole AIS message (all fragments joined) from its armoured six-bit
// payload. Written from ITU-R M.1371-5 independently of the composers, so that each
// checks the other.

#include "emulator/encoding/AisMessages.h"

#include <cstddef>
#include <string_view>

// Longest payload taken, in armoured characters: five slots of 256 bits with room for
// fill bits; the longest message decoded here (14) needs 168.
constexpr std::size_t kMaxAisPayloadChars = 216;

enum class AisDecodeStatus : std::uint8_t {
    Ok,
    BadArmour,        // a character outside the six-bit armour, or fill bits not 0..5
    TooLong,          // more than kMaxAisPayloadChars
    Malformed,        // fewer bits than the fields need, or a value no sender may use
    UnsupportedType,  // a message type this decoder does not read
};

// `origin` gives the parts of the header that come from the sentence (own ship, channel).
// On Ok, `out` holds the message; otherwise it is left as it was.
AisDecodeStatus DecodeAisPayload(std::string_view armoured, unsigned fillBits, const AisHeader& origin,
                                 NmeaMessage& out);

// Six-bit text value to its character: 0..31 are '@'..'_', 32..63 are ' '..'?'.
constexpr char SixBitChar(unsigned value)
{
    return static_cast<char>(value < 32 ? value + 64 : value);
}

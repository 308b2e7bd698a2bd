#pragma once

#include "emulator/encoding/NmeaReader.h"

#include <random>
#include <string>
#include <vector>

// Feeds a whole text to a fresh reader in random pieces of 1 to 200 bytes, as a TCP
// stream may cut it, and returns every message it decodes.
inline std::vector<NmeaMessage> ReadInPieces(const std::string& text, unsigned seed, NmeaReaderStats* stats = nullptr)
{
    NmeaReader reader;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<std::size_t> size(1, 200);
    std::vector<NmeaMessage> out;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t n = size(rng);
        reader.Feed(std::string_view(text).substr(at, n), out);
        at += n;
    }
    reader.EndLine(out);
    if (stats) *stats = reader.Stats();
    return out;
}

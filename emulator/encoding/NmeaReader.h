#pragma once

// Reads a stream of NMEA 0183 text (AIVDM/AIVDO and the own ship's GPS sentences) in
// pieces of any size and hands out the messages it decodes. Bad input is counted, never
// thrown: a line with a wrong checksum, a broken field or a lost fragment is skipped and
// the next line is read as usual. Memory stays bounded whatever arrives: a partial line
// is capped, and so is the number and age of messages waiting for their next fragment.

#include "emulator/encoding/AisMessages.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct NmeaReaderLimits {
    std::size_t maxLineBytes = 512;          // longer lines are dropped whole (NMEA allows 82)
    std::size_t maxPendingMessages = 16;     // multi-sentence messages being joined at once
    std::uint64_t fragmentLifetimeLines = 64;  // lines a message may wait for its next fragment
};

struct NmeaReaderStats {
    std::uint64_t lines = 0;             // non-blank lines read
    std::uint64_t messages = 0;          // messages handed out
    std::uint64_t badChecksum = 0;       // lines whose checksum did not match
    std::uint64_t malformed = 0;         // not a sentence, a broken field, bad armour, a message too short
    std::uint64_t unsupported = 0;       // other sentences and AIS message types not decoded here
    std::uint64_t overlongLines = 0;     // lines past maxLineBytes
    std::uint64_t droppedFragments = 0;  // sentences of multi-sentence messages that never completed
};

class NmeaReader {
public:
    explicit NmeaReader(const NmeaReaderLimits& limits = {});

    // A piece of a stream: lines end at CR or LF, a line cut between pieces is joined.
    // Appends the messages decoded from the lines the piece completes to `out`.
    void Feed(std::string_view text, std::vector<NmeaMessage>& out);
    // A datagram holds whole lines: its end also ends its last line.
    void FeedDatagram(std::string_view datagram, std::vector<NmeaMessage>& out);
    // Ends the line in progress, if any (the stream ended).
    void EndLine(std::vector<NmeaMessage>& out);

    const NmeaReaderStats& Stats() const { return m_stats; }
    // Bytes held between calls: the partial line and the fragments waiting to be joined.
    std::size_t BufferedBytes() const;

private:
    struct FragmentKey {
        std::array<char, 2> talker{};
        bool ownShip = false;
        char channel = 0;
        char sequence = 0;
        bool operator==(const FragmentKey&) const = default;
    };
    struct Pending {
        FragmentKey key;
        unsigned total = 0;
        unsigned next = 0;  // number of the fragment expected next
        std::uint64_t lastLine = 0;
        std::string payload;
    };

    void Line(std::string_view line, std::vector<NmeaMessage>& out);
    void AisSentence(std::string_view address, const std::string_view* fields, std::size_t count,
                     std::vector<NmeaMessage>& out);
    void Decode(std::string_view payload, unsigned fillBits, const FragmentKey& key, std::vector<NmeaMessage>& out);
    Pending* TakeSlot(const FragmentKey& key);
    void DropPending(std::size_t index);

    NmeaReaderLimits m_limits;
    NmeaReaderStats m_stats;
    std::string m_line;
    bool m_skipping = false;  // inside an overlong line, until its end
    std::vector<Pending> m_pending;
};

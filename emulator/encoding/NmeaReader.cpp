#include "emulator/encoding/NmeaReader.h"

#include "emulator/encoding/AisDecoder.h"
#include "emulator/encoding/GpsSentenceParser.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr std::size_t kMaxFields = 32;     // RMC has 13; more is not a sentence read here
constexpr std::size_t kAddressChars = 5;   // talker (2) + formatter (3)
constexpr std::size_t kAisFields = 7;      // address, count, number, sequence, channel, payload, fill

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f') return lower - 'a' + 10;
    return -1;
}

// A one-digit field within [low, high]; -1 when it is anything else.
int Digit(std::string_view field, int low, int high)
{
    if (field.size() != 1 || field[0] < '0' || field[0] > '9') return -1;
    const int value = field[0] - '0';
    return value >= low && value <= high ? value : -1;
}

bool IsAlpha(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

} // namespace

NmeaReader::NmeaReader(const NmeaReaderLimits& limits) : m_limits(limits)
{
    m_line.reserve(m_limits.maxLineBytes);
}

void NmeaReader::Feed(std::string_view text, std::vector<NmeaMessage>& out)
{
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view part = text.substr(0, end);
        if (!m_skipping) {
            if (m_line.size() + part.size() > m_limits.maxLineBytes) {
                m_skipping = true;
                m_line.clear();
                ++m_stats.overlongLines;
            } else if (end == std::string_view::npos || !m_line.empty()) {
                m_line.append(part);
            }
        }
        if (end == std::string_view::npos) return;
        if (!m_skipping) Line(m_line.empty() ? part : std::string_view(m_line), out);
        m_line.clear();
        m_skipping = false;
        text.remove_prefix(end + 1);
    }
}

void NmeaReader::FeedDatagram(std::string_view datagram, std::vector<NmeaMessage>& out)
{
    Feed(datagram, out);
    EndLine(out);
}

void NmeaReader::EndLine(std::vector<NmeaMessage>& out)
{
    Feed("\n", out);
}

std::size_t NmeaReader::BufferedBytes() const
{
    std::size_t bytes = m_line.size();
    for (const Pending& p : m_pending) bytes += p.payload.size();
    return bytes;
}

void NmeaReader::Line(std::string_view line, std::vector<NmeaMessage>& out)
{
    while (!line.empty() && IsBlank(line.back())) line.remove_suffix(1);
    while (!line.empty() && IsBlank(line.front())) line.remove_prefix(1);
    if (line.empty()) return;
    ++m_stats.lines;

    // Text before the start delimiter (a tag block, noise) is skipped.
    const std::size_t start = line.find_first_of("!$");
    if (start == std::string_view::npos) {
        ++m_stats.malformed;
        return;
    }
    const char delimiter = line[start];
    std::string_view body = line.substr(start + 1);

    // The checksum is optional (senders may leave it out); when present it must match,
    // in either case of its hexadecimal digits.
    const std::size_t star = body.find('*');
    if (star != std::string_view::npos) {
        const std::string_view digits = body.substr(star + 1);
        const int high = digits.size() == 2 ? HexDigit(digits[0]) : -1;
        const int low = digits.size() == 2 ? HexDigit(digits[1]) : -1;
        if (high < 0 || low < 0) {
            ++m_stats.malformed;
            return;
        }
        body = body.substr(0, star);
        unsigned sum = 0;
        for (const char c : body) sum ^= static_cast<unsigned char>(c);
        if (sum != static_cast<unsigned>(high * 16 + low)) {
            ++m_stats.badChecksum;
            return;
        }
    }

    std::array<std::string_view, kMaxFields> fields;
    std::size_t count = 0;
    for (std::size_t from = 0;;) {
        if (count == kMaxFields) {
            ++m_stats.malformed;
            return;
        }
        const std::size_t comma = body.find(',', from);
        fields[count++] = body.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from);
        if (comma == std::string_view::npos) break;
        from = comma + 1;
    }

    const std::string_view address = fields[0];
    if (address.size() != kAddressChars || !IsAlpha(address) || address[0] == 'P') {
        ++(address.size() >= 1 && address[0] == 'P' ? m_stats.unsupported : m_stats.malformed);
        return;
    }
    if (delimiter == '!') {
        AisSentence(address, fields.data(), count, out);
        return;
    }
    OwnShipSentence sentence;
    switch (ParseGpsSentence(address.substr(2), std::span(fields.data() + 1, count - 1), sentence)) {
    case GpsParseStatus::Ok:
        out.emplace_back(sentence);
        ++m_stats.messages;
        break;
    case GpsParseStatus::Malformed: ++m_stats.malformed; break;
    case GpsParseStatus::Unsupported: ++m_stats.unsupported; break;
    }
}

void NmeaReader::AisSentence(std::string_view address, const std::string_view* fields, std::size_t count,
                             std::vector<NmeaMessage>& out)
{
    const std::string_view formatter = address.substr(2);
    if (formatter != "VDM" && formatter != "VDO") {
        ++m_stats.unsupported;
        return;
    }
    if (count != kAisFields) {
        ++m_stats.malformed;
        return;
    }
    const int total = Digit(fields[1], 1, 9);
    const int number = Digit(fields[2], 1, 9);
    const int fill = fields[6].empty() ? 0 : Digit(fields[6], 0, 5);
    const std::string_view sequence = fields[3];
    const std::string_view channel = fields[4];
    if (total < 0 || number < 0 || number > total || fill < 0 || sequence.size() > 1 ||
        (sequence.size() == 1 && Digit(sequence, 0, 9) < 0) || channel.size() > 1 ||
        (channel.size() == 1 && !std::isalnum(static_cast<unsigned char>(channel[0])))) {
        ++m_stats.malformed;
        return;
    }
    FragmentKey key;
    key.talker = {address[0], address[1]};
    key.ownShip = formatter == "VDO";
    key.channel = channel.empty() ? 0 : channel[0];
    key.sequence = sequence.empty() ? 0 : sequence[0];
    const std::string_view payload = fields[5];
    if (total == 1) {
        Decode(payload, static_cast<unsigned>(fill), key, out);
        return;
    }

    // Messages that stopped waiting (a fragment lost on the way) are dropped.
    for (std::size_t i = m_pending.size(); i-- > 0;)
        if (m_stats.lines - m_pending[i].lastLine > m_limits.fragmentLifetimeLines) DropPending(i);

    const auto found = std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending& p) { return p.key == key; });
    if (number == 1) {
        if (found != m_pending.end()) DropPending(static_cast<std::size_t>(found - m_pending.begin()));
        Pending* slot = TakeSlot(key);
        if (!slot) {
            ++m_stats.droppedFragments;
            return;
        }
        slot->total = static_cast<unsigned>(total);
        slot->next = 2;
        slot->lastLine = m_stats.lines;
        slot->payload.assign(payload);
        return;
    }
    if (found == m_pending.end() || found->total != static_cast<unsigned>(total) ||
        found->next != static_cast<unsigned>(number)) {
        if (found != m_pending.end()) DropPending(static_cast<std::size_t>(found - m_pending.begin()));
        ++m_stats.droppedFragments;
        return;
    }
    if (found->payload.size() + payload.size() > kMaxAisPayloadChars) {
        DropPending(static_cast<std::size_t>(found - m_pending.begin()));
        ++m_stats.droppedFragments;
        ++m_stats.malformed;
        return;
    }
    found->payload.append(payload);
    found->lastLine = m_stats.lines;
    ++found->next;
    if (number < total) return;
    const std::string joined = std::move(found->payload);
    m_pending.erase(found);
    Decode(joined, static_cast<unsigned>(fill), key, out);
}

void NmeaReader::Decode(std::string_view payload, unsigned fillBits, const FragmentKey& key,
                        std::vector<NmeaMessage>& out)
{
    AisHeader origin;
    origin.ownShip = key.ownShip;
    origin.channel = key.channel;
    NmeaMessage message;
    switch (DecodeAisPayload(payload, fillBits, origin, message)) {
    case AisDecodeStatus::Ok:
        out.push_back(std::move(message));
        ++m_stats.messages;
        break;
    case AisDecodeStatus::UnsupportedType: ++m_stats.unsupported; break;
    case AisDecodeStatus::BadArmour:
    case AisDecodeStatus::TooLong:
    case AisDecodeStatus::Malformed: ++m_stats.malformed; break;
    }
}

NmeaReader::Pending* NmeaReader::TakeSlot(const FragmentKey& key)
{
    if (m_limits.maxPendingMessages == 0) return nullptr;
    if (m_pending.size() >= m_limits.maxPendingMessages) {
        // The one that waited longest gives way.
        const auto oldest = std::min_element(m_pending.begin(), m_pending.end(),
                                             [](const Pending& a, const Pending& b) { return a.lastLine < b.lastLine; });
        DropPending(static_cast<std::size_t>(oldest - m_pending.begin()));
    }
    Pending& slot = m_pending.emplace_back();
    slot.key = key;
    return &slot;
}

void NmeaReader::DropPending(std::size_t index)
{
    m_stats.droppedFragments += m_pending[index].next - 1;
    m_pending.erase(m_pending.begin() + static_cast<std::ptrdiff_t>(index));
}

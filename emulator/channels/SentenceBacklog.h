#pragma once

#include "emulator/channels/StreamBound.h"

#include <cstddef>
#include <string>
#include <string_view>

// True when a sentence starts a message: anything but the second or later sentence of
// a multi-sentence "!" message (fragment number above 1, as in "!AIVDM,2,2,...").
bool StartsMessage(std::string_view sentence);

// Text a slow device has not taken yet, kept so that it leaves first and in order on
// the next write. Text arrives as whole sentences, each ending with "\r\n". When the
// backlog would pass its bound, whole oldest messages are dropped (all the sentences of
// a two-sentence message 5 go together); a sentence whose head has already gone out is
// never dropped, nor the rest of its message, so the reader never sees a cut one.
// The bound is the floor given at construction, raised by the steps noted to a few
// times the largest recent one.
class SentenceBacklog {
public:
    static constexpr std::size_t kDefaultLimit = 64 * 1024;

    explicit SentenceBacklog(std::size_t limit = kDefaultLimit) : m_bound(limit) {}

    // One step of the stream (one write of `bytes`); the bound follows the steps.
    void NoteStep(std::size_t bytes) { m_bound.NoteStep(bytes); }
    std::size_t Limit() const { return m_bound.Limit(); }

    // Adds text behind what waits; returns the number of bytes dropped to stay bounded.
    std::size_t Append(std::string_view text);

    // Keeps what a device left of `text` after taking its first `taken` bytes, with
    // nothing else waiting; returns the bytes dropped to stay bounded.
    std::size_t KeepUntaken(std::string_view text, std::size_t taken);

    // What waits for the device, oldest first.
    std::string_view Pending() const { return std::string_view(m_text).substr(m_head); }

    // The device took the first `count` bytes of Pending().
    void Consume(std::size_t count);

    bool Empty() const { return m_head == m_text.size(); }
    // The first pending sentence has partly gone out.
    bool FrontStarted() const { return m_frontStarted; }
    // Drops what waits; the sentences in it are counted as dropped.
    void Clear();

    // Sentences dropped since the last call.
    std::size_t TakeDroppedSentences();

private:
    std::size_t Trim();
    // The first message start at or after `at`, a sentence start.
    std::size_t MessageEnd(std::size_t at) const;
    void Drop(std::size_t from, std::size_t to);

    StreamBound m_bound;
    std::string m_text;
    std::size_t m_head = 0;           // bytes of m_text already taken by the device
    bool m_frontStarted = false;      // the first pending sentence is partly sent
    std::size_t m_droppedSentences = 0;
};

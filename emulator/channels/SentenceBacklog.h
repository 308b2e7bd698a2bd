#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Text a slow device has not taken yet, kept so that it leaves first and in order on
// the next write. Text arrives as whole sentences, each ending with "\r\n". When the
// backlog would pass its bound, whole oldest sentences are dropped; a sentence whose
// head has already gone out is never dropped, so the reader never sees a cut one.
class SentenceBacklog {
public:
    static constexpr std::size_t kDefaultLimit = 64 * 1024;

    explicit SentenceBacklog(std::size_t limit = kDefaultLimit) : m_limit(limit) {}

    // Adds text behind what waits; returns the number of bytes dropped to stay bounded.
    std::size_t Append(std::string_view text);

    // What waits for the device, oldest first.
    std::string_view Pending() const { return std::string_view(m_text).substr(m_head); }

    // The device took the first `count` bytes of Pending().
    void Consume(std::size_t count);

    bool Empty() const { return m_head == m_text.size(); }
    void Clear();

private:
    std::size_t m_limit;
    std::string m_text;
    std::size_t m_head = 0;           // bytes of m_text already taken by the device
    bool m_frontStarted = false;      // the first pending sentence is partly sent
};

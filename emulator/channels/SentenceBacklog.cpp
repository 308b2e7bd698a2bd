#include "emulator/channels/SentenceBacklog.h"

namespace {

constexpr std::string_view kSentenceEnd = "\r\n";

} // namespace

std::size_t SentenceBacklog::Append(std::string_view text)
{
    m_text.erase(0, m_head);
    m_head = 0;
    m_text.append(text);
    if (m_text.size() <= m_limit) return 0;

    // The rest of a sentence already begun must go out whole, even past the bound.
    std::size_t keep = 0;
    if (m_frontStarted) {
        // Its rest may be the line feed alone, when the device took the carriage return.
        const std::size_t end = m_text.find('\n');
        if (end == std::string::npos) {
            // Text without line ends is no sentence; nothing of it can be kept whole.
            const std::size_t dropped = m_text.size();
            Clear();
            return dropped;
        }
        keep = end + 1;
    }
    if (keep >= m_limit) {
        const std::size_t dropped = m_text.size() - keep;
        m_text.resize(keep);
        return dropped;
    }
    // Cut from `keep` to the first sentence start that leaves the backlog within bounds.
    const std::size_t need = m_text.size() - m_limit + keep;
    const std::size_t searchFrom = need >= kSentenceEnd.size() ? need - kSentenceEnd.size() : 0;
    const std::size_t end = m_text.find(kSentenceEnd, searchFrom);
    const std::size_t cut = end == std::string::npos ? m_text.size() : end + kSentenceEnd.size();
    m_text.erase(keep, cut - keep);
    return cut - keep;
}

void SentenceBacklog::Consume(std::size_t count)
{
    if (count == 0) return;
    m_head += count;
    if (m_head >= m_text.size()) {
        Clear();
        return;
    }
    m_frontStarted = std::string_view(m_text).substr(0, m_head).ends_with(kSentenceEnd) == false;
}

void SentenceBacklog::Clear()
{
    m_text.clear();
    m_head = 0;
    m_frontStarted = false;
}

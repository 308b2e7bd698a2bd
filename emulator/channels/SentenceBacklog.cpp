#include "emulator/channels/SentenceBacklog.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::string_view kSentenceEnd = "\r\n";

// Sentences in a stretch of text: its line ends, and a piece without one.
std::size_t SentencesIn(std::string_view text)
{
    const auto ends = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    return ends + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

} // namespace

bool StartsMessage(std::string_view sentence)
{
    if (!sentence.starts_with('!')) return true;
    // "!AIVDM,<count>,<number>,...": the number is the third field.
    const std::size_t first = sentence.find(',');
    const std::size_t second = first == std::string_view::npos ? first : sentence.find(',', first + 1);
    const std::size_t third = second == std::string_view::npos ? second : sentence.find(',', second + 1);
    if (third == std::string_view::npos) return true;
    return sentence.substr(second + 1, third - second - 1) == "1";
}

std::size_t SentenceBacklog::Append(std::string_view text)
{
    m_text.erase(0, m_head);
    m_head = 0;
    m_text.append(text);
    return Trim();
}

std::size_t SentenceBacklog::KeepUntaken(std::string_view text, std::size_t taken)
{
    m_text.assign(text.substr(std::min(taken, text.size())));
    m_head = 0;
    // A head cut anywhere but after a sentence end leaves that sentence begun.
    m_frontStarted = taken > 0 && !text.substr(0, taken).ends_with(kSentenceEnd);
    if (m_text.empty()) m_frontStarted = false;
    return Trim();
}

std::size_t SentenceBacklog::Trim()
{
    const std::size_t limit = m_bound.Limit();
    if (m_text.size() <= limit) return 0;

    // The rest of a sentence already begun must go out whole, even past the bound.
    std::size_t keep = 0;
    if (m_frontStarted) {
        // Its rest may be the line feed alone, when the device took the carriage return.
        const std::size_t end = m_text.find('\n');
        if (end == std::string::npos) {
            // Text without line ends is no sentence; nothing of it can be kept whole.
            const std::size_t dropped = m_text.size();
            Drop(0, dropped);
            m_frontStarted = false;
            return dropped;
        }
        keep = end + 1;
        keep = MessageEnd(keep);
    }
    if (keep >= limit) {
        const std::size_t dropped = m_text.size() - keep;
        Drop(keep, m_text.size());
        return dropped;
    }
    // Cut from `keep` to the first sentence start that leaves the backlog within bounds.
    const std::size_t need = m_text.size() - limit + keep;
    const std::size_t searchFrom = need >= kSentenceEnd.size() ? need - kSentenceEnd.size() : 0;
    const std::size_t end = m_text.find(kSentenceEnd, searchFrom);
    const std::size_t cut = MessageEnd(end == std::string::npos ? m_text.size() : end + kSentenceEnd.size());
    Drop(keep, cut);
    return cut - keep;
}

std::size_t SentenceBacklog::MessageEnd(std::size_t at) const
{
    // Later sentences of the message before `at` belong with it.
    while (at < m_text.size() && !StartsMessage(std::string_view(m_text).substr(at))) {
        const std::size_t end = m_text.find('\n', at);
        at = end == std::string::npos ? m_text.size() : end + 1;
    }
    return at;
}

void SentenceBacklog::Drop(std::size_t from, std::size_t to)
{
    m_droppedSentences += SentencesIn(std::string_view(m_text).substr(from, to - from));
    m_text.erase(from, to - from);
}

void SentenceBacklog::Consume(std::size_t count)
{
    if (count == 0) return;
    m_head += count;
    if (m_head >= m_text.size()) {
        m_text.clear();
        m_head = 0;
        m_frontStarted = false;
        return;
    }
    m_frontStarted = std::string_view(m_text).substr(0, m_head).ends_with(kSentenceEnd) == false;
}

void SentenceBacklog::Clear()
{
    m_droppedSentences += SentencesIn(Pending());
    m_text.clear();
    m_head = 0;
    m_frontStarted = false;
}

std::size_t SentenceBacklog::TakeDroppedSentences()
{
    return std::exchange(m_droppedSentences, 0);
}

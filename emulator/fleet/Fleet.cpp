#include "emulator/fleet/Fleet.h"

std::uint32_t TextPool::Intern(const std::string& text)
{
    const auto [it, added] = m_index.try_emplace(text, static_cast<std::uint32_t>(m_texts.size()));
    if (added) m_texts.push_back(text);
    return it->second;
}

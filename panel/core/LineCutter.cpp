#include "panel/core/LineCutter.h"

namespace panel {

std::optional<std::string> LineCutter::NextLine()
{
    const std::size_t end = m_pending.find('\n');
    if (end == std::string::npos) return std::nullopt;
    std::string line = m_pending.substr(0, end + 1);
    m_pending.erase(0, end + 1);
    return line;
}

std::string LineCutter::TakeRest()
{
    std::string rest;
    rest.swap(m_pending);
    return rest;
}

} // namespace panel

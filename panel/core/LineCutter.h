#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace panel {

// Cuts a byte stream into lines as it arrives: a line is everything up to and including a line
// feed (a carriage return before it stays), whichever reads it was split over.
class LineCutter {
public:
    void Append(std::string_view bytes) { m_pending.append(bytes); }

    // The next complete line, or nothing while no line feed is pending.
    std::optional<std::string> NextLine();

    // The rest that never got its line feed; empty afterwards.
    std::string TakeRest();

private:
    std::string m_pending;
};

} // namespace panel

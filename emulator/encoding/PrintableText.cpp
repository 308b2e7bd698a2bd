#include "emulator/encoding/PrintableText.h"

std::string PrintableText(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= ' ' && byte < 0x7F) {
            shown += c;
        } else {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        }
    }
    return shown;
}

std::string PrintableExcerpt(std::string_view text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes) return PrintableText(text);
    return PrintableText(text.substr(0, maxBytes)) + "... (" + std::to_string(text.size()) + " bytes)";
}

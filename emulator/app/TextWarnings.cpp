#include "emulator/app/TextWarnings.h"

#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/StationMessages.h"

#include <algorithm>
#include <string>

namespace {

struct TextOption {
    const char* name;
    std::string VesselSettings::*field;
    unsigned chars;  // six-bit characters of its field
};

const TextOption kTextOptions[] = {
    {"--vessel-name", &VesselSettings::vesselName, 20},
    {"--vessel-call", &VesselSettings::vesselCall, 7},
    {"--port-dest", &VesselSettings::portDest, 20},
    {"--safety-text", &VesselSettings::safetyText, kSafetyTextMaxChars},
};

bool CarriedAsTyped(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= ' ' && byte <= '_';
}

// Control and non-ASCII bytes would garble the terminal; they are shown as \xNN.
std::string Printable(const std::string& text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string shown;
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

// An aid to navigation's name goes on in message 21's name extension.
unsigned CharsOf(const TextOption& option, const VesselSettings& settings)
{
    const bool atonName = option.field == &VesselSettings::vesselName && settings.stationKind == "aton";
    return atonName ? kAtonNameMaxChars : option.chars;
}

// Texts of the other station kinds say so when they are cut; a vessel's are cut silently,
// as they always were.
bool LengthIsSent(const TextOption& option, const VesselSettings& settings)
{
    return option.field == &VesselSettings::safetyText || CharsOf(option, settings) != option.chars;
}

} // namespace

void WarnAboutUnsendableText(const VesselSettings& settings, std::ostream& err)
{
    for (const TextOption& option : kTextOptions) {
        const std::string& text = settings.*option.field;
        const unsigned chars = CharsOf(option, settings);
        if (LengthIsSent(option, settings) && text.size() > chars)
            err << "Warning : " << option.name << " has " << text.size() << " characters; only the first " << chars
                << " are sent" << std::endl;
        if (std::all_of(text.begin(), text.end(), CarriedAsTyped)) continue;
        err << "Warning : " << option.name << " \"" << Printable(text)
            << "\" has characters AIS text cannot carry (only upper case, digits, blank and "
               "punctuation); it is sent as \""
            << SixBitTextAsSent(text, chars) << "\"" << std::endl;
    }
}

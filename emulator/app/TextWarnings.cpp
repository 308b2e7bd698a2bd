#include "emulator/app/TextWarnings.h"

#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/PrintableText.h"
#include "emulator/encoding/StationMessages.h"
#include "emulator/fleet/VesselRanges.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>
#include <variant>

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

using NumericField = std::variant<int VesselSettings::*, std::uint32_t VesselSettings::*, float VesselSettings::*,
                                  double VesselSettings::*>;
struct NumericOption {
    const char* column;  // the option without its dashes
    NumericField field;
};

using S = VesselSettings;
const NumericOption kNumericOptions[] = {
    {"vessel-mmsi", &S::vesselMmsi},     {"vessel-imo", &S::vesselImo},   {"vessel-type", &S::vesselType},
    {"vessel-dima", &S::vesselDimA},     {"vessel-dimb", &S::vesselDimB}, {"vessel-dimc", &S::vesselDimC},
    {"vessel-dimd", &S::vesselDimD},     {"vessel-postdevice", &S::vesselPosDevice},
    {"vessel-status", &S::vesselStatus}, {"vessel-lat", &S::vesselLat},   {"vessel-lon", &S::vesselLon},
    {"vessel-sog", &S::vesselSog},       {"vessel-cog", &S::vesselCog},   {"vessel-rot", &S::vesselRot},
};

// The value as the shortest text that reads back the same, in its own type.
template <class T>
std::string ValueText(T value)
{
    char text[48];
    const auto [end, error] = std::to_chars(std::begin(text), std::end(text), value);
    return error == std::errc() ? std::string(text, end) : std::string("?");
}

bool CarriedAsTyped(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte >= ' ' && byte <= '_';
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
        err << "Warning : " << option.name << " \"" << PrintableText(text)
            << "\" has characters AIS text cannot carry (only upper case, digits, blank and "
               "punctuation); it is sent as \""
            << SixBitTextAsSent(text, chars) << "\"" << std::endl;
    }
}

void WarnAboutOutOfRangeValues(const VesselSettings& settings, std::ostream& err)
{
    for (const NumericOption& option : kNumericOptions) {
        const ValueRange* range = RangeOfColumn(option.column);
        if (range == nullptr) continue;
        std::visit(
            [&](auto member) {
                const auto value = settings.*member;
                if (InRange(*range, static_cast<double>(value))) return;
                err << "Warning : --" << option.column << " " << ValueText(value) << " is "
                    << OutOfRangeText(*range) << std::endl;
            },
            option.field);
    }
}

#include "emulator/app/TextWarnings.h"

#include "emulator/encoding/BitFields.h"
#include "emulator/encoding/PrintableText.h"

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

} // namespace

void WarnAboutUnsendableText(const VesselSettings& settings, std::ostream& err)
{
    for (const TextOption& option : kTextOptions) {
        const std::string& text = settings.*option.field;
        if (std::all_of(text.begin(), text.end(), CarriedAsTyped)) continue;
        err << "Warning : " << option.name << " \"" << PrintableText(text)
            << "\" has characters AIS text cannot carry (only upper case, digits, blank and "
               "punctuation); it is sent as \""
            << SixBitTextAsSent(text, option.chars) << "\"" << std::endl;
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

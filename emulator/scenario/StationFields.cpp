#include "emulator/scenario/StationFields.h"

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <iterator>
#include <type_traits>
#include <variant>

namespace {

using S = StationFields;
using Member = std::variant<std::string S::*, std::uint32_t S::*, int S::*, double S::*, bool S::*>;

// Ranges are those of the AIS fields the values travel in (ITU-R M.1371-5, messages 1, 5,
// 18, 19 and 24), so that a value the file gives is sent as written, never truncated.
struct FieldRow {
    const char* name;
    Member member;
    double min;
    double max;
};

constexpr double kNoLimit = 0.0;
const FieldRow kFields[] = {
    {"vessel-name", &S::vesselName, kNoLimit, kNoLimit},
    {"vessel-call", &S::vesselCall, kNoLimit, kNoLimit},
    {"vessel-mmsi", &S::vesselMmsi, 1, 999999999},     // nine digits
    {"vessel-imo", &S::vesselImo, 0, 1073741823},      // 30 bits
    {"vessel-type", &S::vesselType, 0, 255},
    {"vessel-dima", &S::vesselDimA, 0, 511},           // 9 bits
    {"vessel-dimb", &S::vesselDimB, 0, 511},
    {"vessel-dimc", &S::vesselDimC, 0, 63},            // 6 bits
    {"vessel-dimd", &S::vesselDimD, 0, 63},
    {"vessel-postdevice", &S::vesselPosDevice, 0, 15},
    {"vessel-status", &S::vesselStatus, 0, 15},
    {"vessel-accuracy", &S::vesselAccuracy, kNoLimit, kNoLimit},
    {"vessel-lat", &S::vesselLat, -90, 90},
    {"vessel-lon", &S::vesselLon, -180, 180},
    {"vessel-sog", &S::vesselSog, 0, 102.2},           // 102.2 is "102.2 knots or more"
    {"vessel-cog", &S::vesselCog, 0, 360},
    {"vessel-rot", &S::vesselRot, -720, 720},
    {"port-dest", &S::portDest, kNoLimit, kNoLimit},
    {"port-origin", &S::portOrigin, kNoLimit, kNoLimit},
    {"nmea-domsg1", &S::nmeaDoMsg1, kNoLimit, kNoLimit},
    {"nmea-domsg5", &S::nmeaDoMsg5, kNoLimit, kNoLimit},
    {"nmea-domsg18", &S::nmeaDoMsg18, kNoLimit, kNoLimit},
    {"nmea-domsg19", &S::nmeaDoMsg19, kNoLimit, kNoLimit},
    {"nmea-domsg24", &S::nmeaDoMsg24, kNoLimit, kNoLimit},
};
static_assert(std::size(kFields) <= sizeof(FieldMask) * 8, "one mask bit per field");

const FieldRow* FindRow(const std::string& name)
{
    const auto row = std::find_if(std::begin(kFields), std::end(kFields),
                                  [&](const FieldRow& r) { return name == r.name; });
    return row == std::end(kFields) ? nullptr : row;
}

std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

std::string RangeReason(const nlohmann::json& value, const FieldRow& row)
{
    return value.dump() + " is out of range (" + Figure(row.min) + " to " + Figure(row.max) + ")";
}

// Integers must be written as integers: 244000001.5 is no MMSI.
template <class T>
std::optional<std::string> SetInteger(const nlohmann::json& value, const FieldRow& row, T& target)
{
    if (!value.is_number_integer()) return std::string("must be an integer");
    const double number = value.is_number_unsigned() ? static_cast<double>(value.get<std::uint64_t>())
                                                     : static_cast<double>(value.get<std::int64_t>());
    if (number < row.min || number > row.max) return RangeReason(value, row);
    target = static_cast<T>(number);
    return std::nullopt;
}

} // namespace

const std::vector<std::string>& StationFieldNames()
{
    static const std::vector<std::string> kNames = [] {
        std::vector<std::string> names;
        for (const FieldRow& row : kFields) names.emplace_back(row.name);
        return names;
    }();
    return kNames;
}

FieldMask FieldBit(const std::string& name)
{
    const FieldRow* row = FindRow(name);
    return row == nullptr ? 0 : FieldMask{1} << (row - std::begin(kFields));
}

void ApplyPatch(const StationPatch& patch, StationFields& fields)
{
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        if ((patch.given & (FieldMask{1} << i)) == 0) continue;
        std::visit([&](auto member) { fields.*member = patch.values.*member; }, kFields[i].member);
    }
}

std::string StationFieldText(const StationFields& fields, const std::string& name)
{
    const FieldRow* row = FindRow(name);
    if (row == nullptr) return {};
    return std::visit(
        [&](auto member) -> std::string {
            using T = std::remove_cv_t<std::remove_reference_t<decltype(fields.*member)>>;
            const T& value = fields.*member;
            if constexpr (std::is_same_v<T, std::string>) {
                return value;
            } else if constexpr (std::is_same_v<T, bool>) {
                return value ? "1" : "0";
            } else if constexpr (std::is_same_v<T, double>) {
                char text[32];
                std::snprintf(text, sizeof text, "%.17g", value);  // reads back as the same double
                return text;
            } else {
                return std::to_string(value);
            }
        },
        row->member);
}

std::optional<FieldRange> StationFieldRange(const std::string& name)
{
    const FieldRow* row = FindRow(name);
    if (row == nullptr || std::holds_alternative<std::string S::*>(row->member) ||
        std::holds_alternative<bool S::*>(row->member))
        return std::nullopt;
    return FieldRange{row->min, row->max};
}

std::optional<std::string> SetStationField(const std::string& name, const nlohmann::json& value,
                                           StationFields& fields, bool& known)
{
    const FieldRow* row = FindRow(name);
    known = row != nullptr;
    if (row == nullptr) return std::nullopt;
    return std::visit(
        [&](auto member) -> std::optional<std::string> {
            using T = std::remove_reference_t<decltype(fields.*member)>;
            T& target = fields.*member;
            if constexpr (std::is_same_v<T, std::string>) {
                if (!value.is_string()) return std::string("must be a text");
                target = value.get<std::string>();
            } else if constexpr (std::is_same_v<T, bool>) {
                // The CSV's 0 and 1 are taken too.
                if (value.is_boolean()) {
                    target = value.get<bool>();
                } else if (value.is_number_integer() && (value == 0 || value == 1)) {
                    target = value == 1;
                } else {
                    return std::string("must be true or false (or 1 or 0)");
                }
            } else if constexpr (std::is_same_v<T, double>) {
                if (!value.is_number()) return std::string("must be a number");
                const double number = value.get<double>();
                if (!std::isfinite(number) || number < row->min || number > row->max) return RangeReason(value, *row);
                target = number;
            } else {
                return SetInteger(value, *row, target);
            }
            return std::nullopt;
        },
        row->member);
}

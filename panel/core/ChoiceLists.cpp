#include "panel/core/ChoiceLists.h"

#include <array>
#include <cwctype>

namespace panel {
namespace {

std::vector<ChoiceItem> MakeNavigationStatusItems()
{
    return {
        {0, L"Under way using engine"},
        {1, L"At anchor"},
        {2, L"Not under command"},
        {3, L"Restricted maneuverability"},
        {4, L"Constrained by her draught"},
        {5, L"Moored"},
        {6, L"Aground"},
        {7, L"Engaged in fishing"},
        {8, L"Under way sailing"},
        {9, L"Reserved"},
        {10, L"Reserved"},
        {11, L"Reserved"},
        {12, L"Reserved"},
        {13, L"Reserved"},
        {14, L"AIS-SART"},
        {15, L"Not defined"},
    };
}

std::vector<ChoiceItem> MakePositioningDeviceItems()
{
    return {
        {0, L"Undefined"},
        {1, L"GPS"},
        {2, L"GLONASS"},
        {3, L"combines GPS/GLONASS"},
        {4, L"Loran-C"},
        {5, L"Chayka"},
        {6, L"Integrated navigation system"},
        {7, L"Surveyed"},
    };
}

// Decades of ship types whose texts are a category name and a suffix by the last digit.
struct TypeCategory {
    int firstValue;
    const wchar_t* name;
};

constexpr TypeCategory kTypeCategories[] = {
    {20, L"Wing in ground (WIG)"}, {40, L"High speed craft (HSC)"}, {60, L"Passenger"},
    {70, L"Cargo"},                {80, L"Tanker"},                 {90, L"Other Type"},
};

constexpr std::array<const wchar_t*, 10> kTypeSuffixes = {
    L", all ships of this type",   L", Hazardous category A",     L", Hazardous category B",
    L", Hazardous category C",     L", Hazardous category D",     L", Reserved for future use",
    L", Reserved for future use",  L", Reserved for future use",  L", Reserved for future use",
    L", No additional information",
};

// The one exception to the rule: this category has no "No additional information" item.
constexpr int kWigLastValue = 29;

// Types 30 to 39 and 50 to 59 each have their own text.
constexpr std::array<const wchar_t*, 10> kTypes30 = {
    L"Fishing",     L"Towing", L"Towing: length exceeds 200m or breadth exceeds 25m",
    L"Dredging or underwater ops", L"Diving ops", L"Military Ops", L"Sailing", L"Pleasure Craft",
    L"Reserved",    L"Reserved",
};
constexpr std::array<const wchar_t*, 10> kTypes50 = {
    L"Pilot Vessel", L"Search and Rescue vessel", L"Tug", L"Port Tender", L"Anti-pollution equipment",
    L"Law Enforcement", L"Spare - Local Vessel", L"Spare - Local Vessel", L"Medical Transport",
    L"Ship according to RR Resolution No. 18",
};

std::vector<ChoiceItem> MakeShipTypeItems()
{
    std::vector<ChoiceItem> items;
    const auto addCategory = [&items](const TypeCategory& category) {
        for (int digit = 0; digit < 10; ++digit) {
            const int value = category.firstValue + digit;
            const wchar_t* suffix = value == kWigLastValue ? L", Reserved for future use" : kTypeSuffixes[digit];
            items.push_back({value, std::wstring(category.name) + suffix});
        }
    };
    const auto addOwnTexts = [&items](int firstValue, const std::array<const wchar_t*, 10>& texts) {
        for (int digit = 0; digit < 10; ++digit) items.push_back({firstValue + digit, texts[digit]});
    };
    addCategory(kTypeCategories[0]);
    addOwnTexts(30, kTypes30);
    addCategory(kTypeCategories[1]);
    addOwnTexts(50, kTypes50);
    for (std::size_t i = 2; i < std::size(kTypeCategories); ++i) addCategory(kTypeCategories[i]);
    return items;
}

constexpr std::wstring_view kBaudItems[] = {L"2400", L"4800", L"9600", L"19200", L"38400", L"57600", L"115200"};

} // namespace

std::span<const ChoiceItem> NavigationStatusItems()
{
    static const std::vector<ChoiceItem> items = MakeNavigationStatusItems();
    return items;
}

std::span<const ChoiceItem> PositioningDeviceItems()
{
    static const std::vector<ChoiceItem> items = MakePositioningDeviceItems();
    return items;
}

std::span<const ChoiceItem> AccuracyItems()
{
    static const std::vector<ChoiceItem> items = {{1, L"High"}, {0, L"Low"}};
    return items;
}

std::span<const ChoiceItem> ShipTypeItems()
{
    static const std::vector<ChoiceItem> items = MakeShipTypeItems();
    return items;
}

std::span<const std::wstring_view> BaudItems()
{
    return kBaudItems;
}

std::size_t FindShipTypeIndex(std::span<const ChoiceItem> items, std::wstring_view typeText)
{
    for (std::size_t i = 0; i < items.size(); ++i) {
        const std::wstring& text = items[i].text;
        if (text.size() < typeText.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < typeText.size() && same; ++k)
            same = std::towupper(static_cast<wint_t>(text[k])) == std::towupper(static_cast<wint_t>(typeText[k]));
        if (same) return i;
    }
    return 0;
}

} // namespace panel

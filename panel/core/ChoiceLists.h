#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace panel {

// One item of a choice list: the AIS code the command line passes, and the text shown.
struct ChoiceItem {
    int value;
    std::wstring text;
};

// The fixed lists of the form, items in display order (none is sorted).
std::span<const ChoiceItem> NavigationStatusItems();
std::span<const ChoiceItem> PositioningDeviceItems();
std::span<const ChoiceItem> AccuracyItems();
std::span<const ChoiceItem> ShipTypeItems();   // 80 items, values 20 to 99
std::span<const std::wstring_view> BaudItems(); // texts only; the command line takes the text

// Initial selections, as item values (the Baud list as the item's text).
inline constexpr int kInitialNavigationStatus = 15;     // "Not defined"
inline constexpr int kInitialPositioningDevice = 1;     // "GPS"
inline constexpr int kInitialAccuracy = 1;              // "High"
inline constexpr int kInitialShipType = 99;             // "Other Type, No additional information"
inline constexpr std::wstring_view kInitialBaud = L"38400";

// Index of the first Type of ship item whose text begins with `typeText`, letter case ignored;
// the first item when none does.
std::size_t FindShipTypeIndex(std::span<const ChoiceItem> items, std::wstring_view typeText);

} // namespace panel

#pragma once
#include <cstddef>
// One row of the built-in ship list: eight texts.
struct ShipRecord {
    const wchar_t* name;      // upper case, at most 29 characters
    const wchar_t* callSign;  // at most 8 characters
    const wchar_t* mmsi;      // nine digits or empty
    const wchar_t* imo;       // seven digits or empty
    const wchar_t* type;      // ship type as text
    const wchar_t* length;    // metres, decimal text
    const wchar_t* beam;      // metres, decimal text
    const wchar_t* draught;   // metres, decimal text
};
inline constexpr std::size_t kShipCount = 4299;
inline constexpr std::size_t kPortCount = 992;
extern const ShipRecord g_ships[kShipCount];
extern const wchar_t* const g_ports[kPortCount];

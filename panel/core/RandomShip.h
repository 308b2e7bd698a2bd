#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "panel/core/ChoiceLists.h"

namespace panel {

// Rows picked for one "Random Ship": a ship, a port of destination and a different port of origin.
struct RandomShipIndices {
    std::size_t ship;
    std::size_t destination;
    std::size_t origin;
};

// Draws the rows from three fresh MT19937 generators started from calendar-time readings in
// whole seconds: the ship generator from `shipTime`, the destination generator from `destTime`,
// the origin generator from `originTime` + 1 (the low 32 bits of each). The destination is drawn
// first, then origins until one differs from it, then the ship. Needs portCount >= 2 for two
// different ports; with fewer ports the origin is the destination.
RandomShipIndices DrawRandomShipIndices(std::int64_t shipTime, std::int64_t destTime, std::int64_t originTime,
                                        std::size_t shipCount, std::size_t portCount);

// Half of a length or beam in metres, as the antenna offset amidships and on the centre line:
// the text converted to a float, truncated to whole metres, halved with truncation.
// Empty for a text that is no number.
std::optional<int> HalfDimension(std::wstring_view metresText);

// The ship row's texts that the form takes.
struct ShipRowText {
    std::wstring_view name;
    std::wstring_view callSign;
    std::wstring_view imo;
    std::wstring_view type;
    std::wstring_view length;
    std::wstring_view beam;
};

// What "Random Ship" puts into the form.
struct RandomShipForm {
    std::wstring portDest;
    std::wstring portOrigin;
    std::wstring name;
    std::wstring callSign;
    std::wstring imo;
    std::wstring dimAB;   // A and B, metres
    std::wstring dimCD;   // C and D, metres
    std::size_t shipTypeIndex;   // into ShipTypeItems()
};

RandomShipForm MakeRandomShipForm(const ShipRowText& ship, std::wstring_view portDest, std::wstring_view portOrigin);

} // namespace panel

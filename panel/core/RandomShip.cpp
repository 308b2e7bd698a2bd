#include "panel/core/RandomShip.h"

#include <boost/lexical_cast.hpp>
#include <boost/random/mersenne_twister.hpp>
#include <boost/random/uniform_int_distribution.hpp>
#include <cmath>

namespace panel {
namespace {

boost::random::mt19937 MakeGenerator(std::int64_t timeSeconds)
{
    return boost::random::mt19937(static_cast<std::uint32_t>(timeSeconds));
}

} // namespace

RandomShipIndices DrawRandomShipIndices(std::int64_t shipTime, std::int64_t destTime, std::int64_t originTime,
                                        std::size_t shipCount, std::size_t portCount)
{
    boost::random::mt19937 shipGenerator = MakeGenerator(shipTime);
    boost::random::mt19937 destGenerator = MakeGenerator(destTime);
    boost::random::mt19937 originGenerator = MakeGenerator(originTime + 1);
    boost::random::uniform_int_distribution<std::size_t> shipIndex(0, shipCount - 1);
    boost::random::uniform_int_distribution<std::size_t> destIndex(0, portCount - 1);
    boost::random::uniform_int_distribution<std::size_t> originIndex(0, portCount - 1);

    RandomShipIndices picked{};
    picked.destination = destIndex(destGenerator);
    picked.origin = picked.destination;
    if (portCount >= 2) {
        do picked.origin = originIndex(originGenerator);
        while (picked.origin == picked.destination);
    }
    picked.ship = shipIndex(shipGenerator);
    return picked;
}

std::optional<int> HalfDimension(std::wstring_view metresText)
{
    float metres = 0;
    if (!boost::conversion::try_lexical_convert(std::wstring(metresText), metres)) return std::nullopt;
    // Larger than any ship; also keeps the conversion to int defined.
    constexpr float kLimitM = 1.0e6F;
    if (!std::isfinite(metres) || std::fabs(metres) > kLimitM) return std::nullopt;
    return static_cast<int>(metres) / 2;
}

RandomShipForm MakeRandomShipForm(const ShipRowText& ship, std::wstring_view portDest, std::wstring_view portOrigin)
{
    RandomShipForm form;
    form.portDest = portDest;
    form.portOrigin = portOrigin;
    form.name = ship.name;
    form.callSign = ship.callSign;
    form.imo = ship.imo;
    const std::optional<int> halfLength = HalfDimension(ship.length);
    const std::optional<int> halfBeam = HalfDimension(ship.beam);
    // A row without a usable number leaves the fields empty, which the form then reports.
    if (halfLength) form.dimAB = std::to_wstring(*halfLength);
    if (halfBeam) form.dimCD = std::to_wstring(*halfBeam);
    form.shipTypeIndex = FindShipTypeIndex(ShipTypeItems(), ship.type);
    return form;
}

} // namespace panel

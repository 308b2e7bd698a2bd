#include <gtest/gtest.h>

#include <random>

#include "panel/core/RandomShip.h"
#include "shipdata/ShipTables.h"

namespace {

// The uniform index drawn independently of the panel: buckets of 2^32-1 divided by n
// (one larger when the remainder is n-1), outputs past the last bucket drawn again.
std::uint32_t ReferenceIndex(std::mt19937& generator, std::uint32_t n)
{
    std::uint32_t bucket = 4294967295U / n;
    if (4294967295U % n == n - 1) ++bucket;
    for (;;) {
        const std::uint32_t index = static_cast<std::uint32_t>(generator()) / bucket;
        if (index <= n - 1) return index;
    }
}

panel::RandomShipIndices Reference(std::uint32_t t)
{
    std::mt19937 ship(t), dest(t), origin(t + 1);
    panel::RandomShipIndices expected{};
    expected.destination = ReferenceIndex(dest, kPortCount);
    do expected.origin = ReferenceIndex(origin, kPortCount);
    while (expected.origin == expected.destination);
    expected.ship = ReferenceIndex(ship, kShipCount);
    return expected;
}

TEST(RandomShip, BucketsOfTheReferenceDraw)
{
    EXPECT_EQ(4294967295U / 4299 + (4294967295U % 4299 == 4298 ? 1 : 0), 999061U);
    EXPECT_EQ(4294967295U / 992 + (4294967295U % 992 == 991 ? 1 : 0), 4329604U);
}

TEST(RandomShip, IndicesEqualTheReferenceDraw)
{
    for (const std::int64_t t : {std::int64_t{0}, std::int64_t{1}, std::int64_t{1700000000}, std::int64_t{1735689600},
                                 std::int64_t{4294967295}, std::int64_t{4294967296 + 12345}}) {
        const panel::RandomShipIndices got = panel::DrawRandomShipIndices(t, t, t, kShipCount, kPortCount);
        const panel::RandomShipIndices expected = Reference(static_cast<std::uint32_t>(t));
        EXPECT_EQ(got.ship, expected.ship) << t;
        EXPECT_EQ(got.destination, expected.destination) << t;
        EXPECT_EQ(got.origin, expected.origin) << t;
    }
}

TEST(RandomShip, SameTimeSameRowsAndOriginNeverTheDestination)
{
    std::set<std::size_t> ships;
    for (std::int64_t t = 1700000000; t < 1700000000 + 3000; ++t) {
        const panel::RandomShipIndices a = panel::DrawRandomShipIndices(t, t, t, kShipCount, kPortCount);
        const panel::RandomShipIndices b = panel::DrawRandomShipIndices(t, t, t, kShipCount, kPortCount);
        ASSERT_EQ(a.ship, b.ship);
        ASSERT_EQ(a.destination, b.destination);
        ASSERT_EQ(a.origin, b.origin);
        ASSERT_NE(a.origin, a.destination) << t;
        ASSERT_LT(a.ship, kShipCount);
        ASSERT_LT(a.origin, kPortCount);
        ships.insert(a.ship);
    }
    EXPECT_GT(ships.size(), 2000U);   // spread over the list, not stuck
}

TEST(RandomShip, TwoPortsOnlyStillDiffer)
{
    for (std::int64_t t = 0; t < 200; ++t) {
        const panel::RandomShipIndices picked = panel::DrawRandomShipIndices(t, t, t, 3, 2);
        EXPECT_NE(picked.origin, picked.destination);
    }
}

struct HalfRow {
    const char* name;
    std::wstring text;
    std::optional<int> half;
};

void PrintTo(const HalfRow& row, std::ostream* out) { *out << row.name; }

class HalfDimension : public testing::TestWithParam<HalfRow> {};

TEST_P(HalfDimension, TruncatesThenHalves)
{
    EXPECT_EQ(panel::HalfDimension(GetParam().text), GetParam().half);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HalfDimension,
    testing::Values(HalfRow{"Fraction", L"107.57", 53}, HalfRow{"Odd", L"45", 22}, HalfRow{"Small", L"1.9", 0},
                    HalfRow{"Decimal", L"288.9", 144}, HalfRow{"NotANumber", L"abc", std::nullopt},
                    HalfRow{"Empty", L"", std::nullopt}, HalfRow{"Huge", L"1e30", std::nullopt}),
    [](const testing::TestParamInfo<HalfRow>& info) { return std::string(info.param.name); });

TEST(RandomShip, FormFromARow)
{
    const panel::RandomShipForm form = panel::MakeRandomShipForm(
        {L"AEGEAN PELAGOS", L"SWSU", L"6518140", L"Tug", L"44.4", L"10.2"}, L"ABU  DHABI", L"CAPE  TOWN");
    EXPECT_EQ(form.name, L"AEGEAN PELAGOS");
    EXPECT_EQ(form.callSign, L"SWSU");
    EXPECT_EQ(form.imo, L"6518140");
    EXPECT_EQ(form.dimAB, L"22");
    EXPECT_EQ(form.dimCD, L"5");
    EXPECT_EQ(form.portDest, L"ABU  DHABI");
    EXPECT_EQ(form.portOrigin, L"CAPE  TOWN");
    EXPECT_EQ(panel::ShipTypeItems()[form.shipTypeIndex].value, 52);
}

TEST(RandomShip, EveryBuiltInRowGivesDimensions)
{
    for (std::size_t i = 0; i < kShipCount; ++i) {
        ASSERT_TRUE(panel::HalfDimension(g_ships[i].length)) << i;
        ASSERT_TRUE(panel::HalfDimension(g_ships[i].beam)) << i;
    }
}

} // namespace

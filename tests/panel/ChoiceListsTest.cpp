#include <gtest/gtest.h>

#include "panel/core/ChoiceLists.h"

namespace {

std::wstring ShipTypeText(int value)
{
    for (const panel::ChoiceItem& item : panel::ShipTypeItems())
        if (item.value == value) return item.text;
    return L"<missing>";
}

TEST(ChoiceLists, ShipTypesAreTwentyToNinetyNineInOrder)
{
    const auto items = panel::ShipTypeItems();
    ASSERT_EQ(items.size(), 80U);
    for (std::size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].value, static_cast<int>(20 + i));
}

struct TypeTextRow {
    int value;
    std::wstring text;
};

TEST(ChoiceLists, ShipTypeTexts)
{
    const TypeTextRow rows[] = {
        {20, L"Wing in ground (WIG), all ships of this type"},
        {24, L"Wing in ground (WIG), Hazardous category D"},
        {29, L"Wing in ground (WIG), Reserved for future use"},
        {32, L"Towing: length exceeds 200m or breadth exceeds 25m"},
        {39, L"Reserved"},
        {45, L"High speed craft (HSC), Reserved for future use"},
        {52, L"Tug"},
        {59, L"Ship according to RR Resolution No. 18"},
        {60, L"Passenger, all ships of this type"},
        {73, L"Cargo, Hazardous category C"},
        {85, L"Tanker, Reserved for future use"},
        {99, L"Other Type, No additional information"},
    };
    for (const TypeTextRow& row : rows) EXPECT_EQ(ShipTypeText(row.value), row.text) << row.value;
}

TEST(ChoiceLists, OtherListsAndInitialItems)
{
    ASSERT_EQ(panel::NavigationStatusItems().size(), 16U);
    EXPECT_EQ(panel::NavigationStatusItems()[15].text, L"Not defined");
    EXPECT_EQ(panel::NavigationStatusItems()[11].text, L"Reserved");
    ASSERT_EQ(panel::PositioningDeviceItems().size(), 8U);
    EXPECT_EQ(panel::PositioningDeviceItems()[3].text, L"combines GPS/GLONASS");
    ASSERT_EQ(panel::AccuracyItems().size(), 2U);
    EXPECT_EQ(panel::AccuracyItems()[0].value, 1);
    EXPECT_EQ(panel::AccuracyItems()[1].value, 0);
    ASSERT_EQ(panel::BaudItems().size(), 7U);
    EXPECT_EQ(panel::BaudItems()[4], panel::kInitialBaud);
}

struct TypeMatchRow {
    const char* name;
    std::wstring typeText;
    int expectedValue;
};

// Test names show the row's name, not its bytes.
void PrintTo(const TypeMatchRow& row, std::ostream* out) { *out << row.name; }

class ShipTypeMatch : public testing::TestWithParam<TypeMatchRow> {};

TEST_P(ShipTypeMatch, FirstItemStartingWithTheTextIgnoringCase)
{
    const auto items = panel::ShipTypeItems();
    EXPECT_EQ(items[panel::FindShipTypeIndex(items, GetParam().typeText)].value, GetParam().expectedValue);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ShipTypeMatch,
    testing::Values(TypeMatchRow{"Passenger", L"PASSENGER", 60}, TypeMatchRow{"Tug", L"Tug", 52},
                    TypeMatchRow{"ContainerCarrierFallsBack", L"CONTAINER CARRIER", 20},
                    TypeMatchRow{"CargoPassengerFallsBack", L"Cargo-Passenger vessel", 20},
                    TypeMatchRow{"CargoNoInformation", L"Cargo, No additional information", 79},
                    TypeMatchRow{"TankerAll", L"Tanker, all ships of this type", 80},
                    TypeMatchRow{"LongerThanAnyItem", L"Tug boat of the harbour", 20}),
    [](const testing::TestParamInfo<TypeMatchRow>& info) { return std::string(info.param.name); });

} // namespace

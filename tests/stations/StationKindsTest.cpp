// The station-kind table: MMSI rules at their edges and the words of --station-kind.
#include "emulator/stations/StationKinds.h"

#include <gtest/gtest.h>

namespace {

TEST(StationKinds, MmsiRulesAtTheirEdges)
{
    struct Row {
        std::uint32_t mmsi;
        StationKind kind;
        bool fits;
    };
    const Row rows[] = {
        {2010000, StationKind::BaseStation, true},      // 002010000: MID 201
        {7759999, StationKind::BaseStation, true},      // MID 775
        {1999999, StationKind::BaseStation, false},     // MID 199
        {8000000, StationKind::BaseStation, false},     // MID 800
        {244000001, StationKind::BaseStation, false},   // a ship's
        {992440001, StationKind::AidToNavigation, true},
        {982440001, StationKind::AidToNavigation, false},
        {111244001, StationKind::SarAircraft, true},
        {111144001, StationKind::SarAircraft, false},   // MID 144
        {970000000, StationKind::Sart, true},
        {971999999, StationKind::Sart, false},
        {972123456, StationKind::Mob, true},
        {974123456, StationKind::Mob, false},
        {974999999, StationKind::Epirb, true},
        {4294967295U, StationKind::Epirb, false},       // ten digits
        {0, StationKind::Vessel, true},                 // ships are not checked
    };
    for (const Row& row : rows)
        EXPECT_EQ(MmsiFitsKind(row.mmsi, row.kind), row.fits) << row.mmsi << " as " << StationKindOf(row.kind).name;
}

TEST(StationKinds, EveryWordNamesItsOwnRowAndOthersNone)
{
    EXPECT_EQ(StationKindNames(), "vessel|base|aton|sar-aircraft|sart|mob|epirb");
    for (std::size_t i = 0; i < kStationKindCount; ++i) {
        const auto kind = static_cast<StationKind>(i);
        EXPECT_EQ(ParseStationKind(StationKindOf(kind).name), kind);
    }
    for (const char* word : {"", "Vessel", "base ", "sar", "AIS-SART"}) EXPECT_FALSE(ParseStationKind(word)) << word;
}

} // namespace

#include "emulator/traffic/TargetRules.h"

#include <cmath>
#include <limits>

namespace {

constexpr std::uint8_t kNavStatusAtAnchor = 1;
constexpr std::uint8_t kNavStatusMoored = 5;
constexpr std::uint8_t kNavStatusSartActive = 14;
constexpr double kAnyKnots = std::numeric_limits<double>::infinity();
constexpr double kUnknownSpeedKnots = 14.0;  // the "moving, 0-14 kn" row

struct KindRow {
    StationKind kind;
    std::string_view name;
    std::uint32_t lostAfterS;  // for kinds that report at a fixed rate; 0 = by the speed rows
};
// Lost times of IEC 62388 (ed. 2, AIS target-lost criteria), as shipborne displays
// apply them (e.g. Icom IC-M510 and JRC JMA-900 manuals): 18 min for the slowest
// reporters (AtoN, AIS-SART/MOB/EPIRB), 60 s for SAR aircraft and base stations.
constexpr KindRow kKinds[] = {
    {StationKind::Unknown, "unknown", 1080},        {StationKind::ClassA, "class A", 0},
    {StationKind::ClassB, "class B", 0},            {StationKind::BaseStation, "base station", 60},
    {StationKind::AtonReal, "AtoN", 1080},          {StationKind::AtonVirtual, "virtual AtoN", 1080},
    {StationKind::SarAircraft, "SAR aircraft", 60}, {StationKind::Sart, "AIS-SART", 1080},
    {StationKind::Mob, "AIS-MOB", 1080},            {StationKind::Epirb, "EPIRB-AIS", 1080},
};

enum class SpeedGroup : std::uint8_t { ClassA, ClassBCarrierSense, ClassBSelfOrganised };
struct SpeedRow {
    SpeedGroup group;
    bool anchoredOrMoored;  // the row applies only at anchor or moored
    double maxSpeedKnots;   // the row applies up to this speed
    std::uint32_t lostAfterS;
};
// IEC 62388 ed. 2 target-lost times by speed, first matching row wins. They are about
// six reporting intervals of ITU-R M.1371-5 Annex 1 Table 1 (class A: 3 min at anchor,
// 10 s up to 14 kn, 6 s up to 23 kn, 2 s above; class B: 3 min up to 2 kn, 30 s above).
constexpr SpeedRow kSpeedRows[] = {
    {SpeedGroup::ClassA, true, 3.0, 1080},
    {SpeedGroup::ClassA, false, 14.0, 60},
    {SpeedGroup::ClassA, false, 23.0, 36},
    {SpeedGroup::ClassA, false, kAnyKnots, 30},
    {SpeedGroup::ClassBCarrierSense, false, 2.0, 1080},
    {SpeedGroup::ClassBCarrierSense, false, kAnyKnots, 180},
    {SpeedGroup::ClassBSelfOrganised, false, 2.0, 1080},
    {SpeedGroup::ClassBSelfOrganised, false, 14.0, 180},
    {SpeedGroup::ClassBSelfOrganised, false, 23.0, 90},
    {SpeedGroup::ClassBSelfOrganised, false, kAnyKnots, 30},
};

struct TypeRow {
    std::uint8_t messageType;
    StationKind kind;
};
constexpr TypeRow kTypes[] = {
    {1, StationKind::ClassA},  {2, StationKind::ClassA},       {3, StationKind::ClassA},
    {4, StationKind::BaseStation}, {5, StationKind::ClassA},   {9, StationKind::SarAircraft},
    {18, StationKind::ClassB}, {19, StationKind::ClassB},      {24, StationKind::ClassB},
    {21, StationKind::AtonReal}, {27, StationKind::ClassA},
};

struct PrefixRow {
    std::uint32_t prefix;  // the MMSI's first three digits
    StationKind kind;
};
constexpr PrefixRow kDistressPrefixes[] = {
    {970, StationKind::Sart}, {972, StationKind::Mob}, {974, StationKind::Epirb},
};

} // namespace

std::string_view StationKindName(StationKind kind)
{
    for (const KindRow& row : kKinds)
        if (row.kind == kind) return row.name;
    return "unknown";
}

StationKind KindFromMessage(std::uint8_t messageType, std::uint32_t mmsi, std::uint8_t navStatus, bool virtualAid)
{
    for (const PrefixRow& row : kDistressPrefixes)
        if (mmsi / 1000000 == row.prefix) return row.kind;
    StationKind kind = StationKind::Unknown;
    for (const TypeRow& row : kTypes)
        if (row.messageType == messageType) kind = row.kind;
    if (kind == StationKind::AtonReal && virtualAid) return StationKind::AtonVirtual;
    const bool positionReport = messageType <= 3 || messageType == 27;
    if (positionReport && navStatus == kNavStatusSartActive) return StationKind::Sart;
    return kind;
}

bool IsDistress(StationKind kind)
{
    return kind == StationKind::Sart || kind == StationKind::Mob || kind == StationKind::Epirb;
}

std::uint32_t LostAfterS(StationKind kind, bool carrierSense, std::uint8_t navStatus, double speedKnots)
{
    for (const KindRow& row : kKinds)
        if (row.kind == kind && row.lostAfterS != 0) return row.lostAfterS;
    const SpeedGroup group = kind == StationKind::ClassA ? SpeedGroup::ClassA
                             : carrierSense              ? SpeedGroup::ClassBCarrierSense
                                                         : SpeedGroup::ClassBSelfOrganised;
    const bool anchored = navStatus == kNavStatusAtAnchor || navStatus == kNavStatusMoored;
    const double speed = std::isfinite(speedKnots) ? speedKnots : kUnknownSpeedKnots;
    for (const SpeedRow& row : kSpeedRows)
        if (row.group == group && (!row.anchoredOrMoored || anchored) && speed <= row.maxSpeedKnots)
            return row.lostAfterS;
    return kKinds[0].lostAfterS;
}

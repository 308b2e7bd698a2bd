#include "panel/tap/ChartFeed.h"

#include <cmath>

namespace tap {

namespace {

struct KindRow {
    StationKind picture;
    chart::StationKind chart;
};
constexpr KindRow kKinds[] = {
    {StationKind::Unknown, chart::StationKind::ClassA},
    {StationKind::ClassA, chart::StationKind::ClassA},
    {StationKind::ClassB, chart::StationKind::ClassB},
    {StationKind::BaseStation, chart::StationKind::BaseStation},
    {StationKind::AtonReal, chart::StationKind::AtonReal},
    {StationKind::AtonVirtual, chart::StationKind::AtonVirtual},
    {StationKind::SarAircraft, chart::StationKind::SarAircraft},
    {StationKind::Sart, chart::StationKind::Sart},
    {StationKind::Mob, chart::StationKind::Mob},
    {StationKind::Epirb, chart::StationKind::Epirb},
};

float Chart(double value)
{
    return std::isfinite(value) ? static_cast<float>(value) : chart::kNotAvailable;
}

} // namespace

chart::StationKind ChartKindOf(StationKind kind)
{
    for (const KindRow& row : kKinds)
        if (row.picture == kind) return row.chart;
    return chart::StationKind::ClassA;
}

chart::ChartTarget ToChartTarget(const Target& target, std::int64_t nowMs)
{
    chart::ChartTarget out;
    out.mmsi = target.mmsi;
    // A station heard without a position yet stays off the chart (the scene skips NaN).
    out.latDeg = target.latitudeDeg;
    out.lonDeg = target.longitudeDeg;
    out.sogKnots = Chart(target.speedKnots);
    out.cogDeg = Chart(target.courseDeg);
    out.headingDeg = Chart(target.headingDeg);
    out.kind = ChartKindOf(target.kind);
    out.lost = IsLost(target, nowMs);
    out.name.assign(target.name.View());
    return out;
}

TapFrame MakeFrame(std::vector<Target> targets, const OwnShip& own, std::optional<std::uint32_t> formMmsi,
                   std::int64_t nowMs)
{
    TapFrame frame;
    frame.own = own;
    frame.nowMs = nowMs;
    chart::ChartSnapshot snapshot;
    snapshot.reserve(targets.size() + 1);
    for (const Target& target : targets) {
        snapshot.push_back(ToChartTarget(target, nowMs));
        if (snapshot.back().lost) ++frame.lost;
    }
    if (own.mmsi != 0 || own.HasPosition()) {
        chart::ChartTarget ship;
        ship.mmsi = own.mmsi;
        ship.latDeg = own.latitudeDeg;
        ship.lonDeg = own.longitudeDeg;
        ship.sogKnots = Chart(own.speedKnots);
        ship.cogDeg = Chart(own.courseDeg);
        ship.headingDeg = Chart(own.headingDeg);
        ship.kind = chart::StationKind::OwnShip;
        ship.name.assign(own.name.View());
        frame.ownIndex = snapshot.size();
        snapshot.push_back(std::move(ship));
        if (own.HasPosition()) frame.reference = own.AsMotion();
    } else if (formMmsi) {
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const Target& target = targets[i];
            // Only a vessel: a beacon or a station made from the form keeps its own symbol.
            if (target.mmsi != *formMmsi || (target.kind != StationKind::ClassA && target.kind != StationKind::ClassB))
                continue;
            snapshot[i].kind = chart::StationKind::OwnShip;
            frame.ownIndex = i;
            if (target.HasPosition()) frame.reference = target.AsMotion();
            break;
        }
    }
    frame.stations = snapshot.size();
    frame.targets = std::move(targets);
    frame.scene = chart::ChartScene(std::move(snapshot));
    return frame;
}

} // namespace tap

#include "emulator/scenario/Route.h"

#include <GeographicLib/Geodesic.hpp>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kMpsPerKnot = 1852.0 / 3600.0;

std::string Figure(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// One leg in sailing order, before the turns between legs are known.
struct Leg {
    std::size_t from;
    std::size_t to;
    double speedMps;
};

bool Fail(std::string& error, const std::string& where, const std::string& reason)
{
    error = where.empty() ? reason : where + ": " + reason;
    return false;
}

// The speed of each leg (the closing leg of a loop last).
bool LegSpeeds(const RoutePlan& plan, const std::vector<double>& lengthsM, double fallbackSogKnots,
               std::vector<double>& knots, std::string& error)
{
    const std::vector<RouteWaypoint>& points = plan.waypoints;
    double previous = fallbackSogKnots;
    for (std::size_t i = 0; i < lengthsM.size(); ++i) {
        const RouteWaypoint& from = points[i];
        const RouteWaypoint* to = i + 1 < points.size() ? &points[i + 1] : nullptr;
        double speed = previous;
        if (from.sogKnots) {
            speed = *from.sogKnots;
        } else if (to != nullptr && from.timeS && to->timeS) {
            const double seconds = *to->timeS - *from.timeS;
            if (!(seconds > 0.0)) return Fail(error, to->where, "its time is not later than the previous waypoint's");
            speed = lengthsM[i] / seconds / kMpsPerKnot;
            if (speed > kRouteMaxSogKnots)
                return Fail(error, to->where,
                            "the times make the leg to it " + Figure(speed) + " knots (" +
                                Figure(kRouteMaxSogKnots) + " at most)");
        }
        if (!(speed > 0.0))
            return Fail(error, from.where,
                        i == 0 ? "the first leg has no speed: give its sog, times, or the vessel's vessel-sog"
                               : "a leg needs a speed above 0");
        knots.push_back(speed);
        previous = speed;
    }
    return true;
}

} // namespace

std::optional<Route> Route::Build(const RoutePlan& plan, double fallbackSogKnots, std::string& error)
{
    const GeographicLib::Geodesic& earth = GeographicLib::Geodesic::WGS84();
    RoutePlan points = plan;
    if (points.waypoints.size() < 2) {
        Fail(error, plan.where, "a route needs at least two waypoints");
        return std::nullopt;
    }
    const auto distanceM = [&earth](const RouteWaypoint& a, const RouteWaypoint& b) {
        double metres = 0.0;
        earth.Inverse(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg, metres);
        return metres;
    };
    std::vector<double> lengthsM;
    for (std::size_t i = 0; i + 1 < points.waypoints.size(); ++i) {
        lengthsM.push_back(distanceM(points.waypoints[i], points.waypoints[i + 1]));
        if (lengthsM.back() < kRouteMinLegM) {
            Fail(error, points.waypoints[i + 1].where, "is the same point as the waypoint before it");
            return std::nullopt;
        }
    }
    Route route;
    route.m_end = plan.end;
    if (!LegSpeeds(points, lengthsM, fallbackSogKnots, route.m_legSpeedsKnots, error)) return std::nullopt;
    // A loop drawn closed (the last waypoint on the first) closes by itself.
    if (plan.end == RouteEnd::Loop) {
        const std::size_t last = points.waypoints.size() - 1;
        // (Two points on one spot were refused above, so two distinct ones remain.)
        if (distanceM(points.waypoints[last], points.waypoints[0]) < kRouteMinLegM) {
            points.waypoints.pop_back();
        } else {
            route.m_legSpeedsKnots.push_back(route.m_legSpeedsKnots.back());
            if (points.waypoints[last].sogKnots) route.m_legSpeedsKnots.back() = *points.waypoints[last].sogKnots;
        }
    }

    const std::size_t n = points.waypoints.size();
    std::vector<Leg> legs;
    const auto speedOf = [&](std::size_t leg) { return route.m_legSpeedsKnots[leg] * kMpsPerKnot; };
    for (std::size_t i = 0; i + 1 < n; ++i) legs.push_back({i, i + 1, speedOf(i)});
    switch (plan.end) {
    case RouteEnd::Stop: break;
    case RouteEnd::Loop:
        legs.push_back({n - 1, 0, speedOf(n - 1)});
        legs.push_back(legs.front());  // the first leg again, entered by the turn at the first waypoint
        route.m_cycles = true;
        route.m_cycleStart = 1;
        break;
    case RouteEnd::Reverse:
        for (std::size_t i = n - 1; i-- > 0;) legs.push_back({i + 1, i, speedOf(i)});
        route.m_cycles = true;
        route.m_cycleStart = 0;
        break;
    }

    for (const Leg& leg : legs) {
        const RouteWaypoint& a = points.waypoints[leg.from];
        const RouteWaypoint& b = points.waypoints[leg.to];
        Pass pass{};
        earth.Inverse(a.latDeg, a.lonDeg, b.latDeg, b.lonDeg, pass.lengthM, pass.startAzimuthDeg, pass.endAzimuthDeg);
        pass.startLatDeg = a.latDeg;
        pass.startLonDeg = a.lonDeg;
        pass.speedMps = leg.speedMps;
        pass.durationS = pass.lengthM / pass.speedMps;
        route.m_passes.push_back(pass);
    }
    for (std::size_t k = 0; k < route.m_passes.size(); ++k) {
        const bool last = k + 1 == route.m_passes.size();
        if (last && !route.m_cycles) break;
        const std::size_t next = last ? route.m_cycleStart : k + 1;
        Pass& in = route.m_passes[k];
        Pass& out = route.m_passes[next];
        const RouteWaypoint& at = points.waypoints[legs[k].to];
        const std::optional<Turn> turn = MakeTurn(at.latDeg, at.lonDeg, in.endAzimuthDeg, out.startAzimuthDeg,
                                                  std::fmin(in.speedMps, out.speedMps), std::fmin(in.lengthM, out.lengthM));
        if (!turn) continue;
        route.m_turns.push_back(*turn);
        in.turnOut = static_cast<std::int32_t>(route.m_turns.size() - 1);
        out.turnIn = in.turnOut;
    }
    for (std::size_t k = route.m_cycleStart; route.m_cycles && k < route.m_passes.size(); ++k)
        route.m_cycleSeconds += route.m_passes[k].durationS;
    return route;
}

RoutePose Route::PassPose(const Pass& pass, double seconds) const
{
    const double alongM = pass.speedMps * seconds;
    if (pass.turnIn >= 0 && alongM < m_turns[pass.turnIn].reachM) {
        const Turn& turn = m_turns[pass.turnIn];
        return TurnPose(turn, 0.5 + 0.5 * alongM / turn.reachM, pass.speedMps);
    }
    if (pass.turnOut >= 0 && alongM > pass.lengthM - m_turns[pass.turnOut].reachM) {
        const Turn& turn = m_turns[pass.turnOut];
        return TurnPose(turn, 0.5 * (alongM - (pass.lengthM - turn.reachM)) / turn.reachM, pass.speedMps);
    }
    RoutePose pose;
    double azimuthDeg = 0.0;
    GeographicLib::Geodesic::WGS84().Direct(pass.startLatDeg, pass.startLonDeg, pass.startAzimuthDeg, alongM,
                                            pose.latDeg, pose.lonDeg, azimuthDeg);
    pose.courseDeg = std::fmod(azimuthDeg + 360.0, 360.0);
    pose.speedKnots = pass.speedMps / kMpsPerKnot;
    return pose;
}

RoutePose Route::PoseAt(const RouteState& state) const
{
    if (state.pass >= m_passes.size()) {
        // A `stop` route has ended: at the last waypoint, on the last leg's course.
        const Pass& last = m_passes.back();
        RoutePose pose;
        double azimuthDeg = 0.0;
        GeographicLib::Geodesic::WGS84().Direct(last.startLatDeg, last.startLonDeg, last.startAzimuthDeg,
                                                last.lengthM, pose.latDeg, pose.lonDeg, azimuthDeg);
        pose.courseDeg = std::fmod(last.endAzimuthDeg + 360.0, 360.0);
        pose.finished = true;
        return pose;
    }
    return PassPose(m_passes[state.pass], state.secondsIntoPass);
}

RoutePose Route::Advance(RouteState& state, double seconds) const
{
    if (seconds > 0.0 && std::isfinite(seconds)) state.secondsIntoPass += seconds;
    while (state.pass < m_passes.size() && state.secondsIntoPass >= m_passes[state.pass].durationS) {
        state.secondsIntoPass -= m_passes[state.pass].durationS;
        if (++state.pass < m_passes.size()) continue;
        if (!m_cycles) {
            state.secondsIntoPass = 0.0;
            break;
        }
        state.pass = m_cycleStart;
        // A jump of many rounds goes round once.
        state.secondsIntoPass = std::fmod(state.secondsIntoPass, m_cycleSeconds);
    }
    return PoseAt(state);
}

#include "emulator/scenario/Gpx.h"

#include "emulator/scenario/IsoTime.h"

#include <GeographicLib/Geodesic.hpp>
#include <pugixml.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

namespace {

// Element names without a namespace prefix: <gpx:rte> is <rte>.
std::string_view LocalName(const pugi::xml_node& node)
{
    const std::string_view name = node.name();
    const std::size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::vector<pugi::xml_node> Children(const pugi::xml_node& parent, std::string_view name)
{
    std::vector<pugi::xml_node> found;
    for (const pugi::xml_node& child : parent.children())
        if (child.type() == pugi::node_element && LocalName(child) == name) found.push_back(child);
    return found;
}

std::string ChildText(const pugi::xml_node& parent, std::string_view name)
{
    const std::vector<pugi::xml_node> found = Children(parent, name);
    return found.empty() ? std::string() : std::string(found.front().child_value());
}

// Line numbers from the byte offsets pugixml keeps.
class Lines {
public:
    explicit Lines(const std::string& text)
    {
        for (std::size_t i = 0; i < text.size(); ++i)
            if (text[i] == '\n') m_breaks.push_back(static_cast<std::ptrdiff_t>(i));
    }
    std::size_t LineOf(std::ptrdiff_t offset) const
    {
        return static_cast<std::size_t>(std::lower_bound(m_breaks.begin(), m_breaks.end(), offset) - m_breaks.begin()) + 1;
    }

private:
    std::vector<std::ptrdiff_t> m_breaks;
};

std::optional<double> Coordinate(const pugi::xml_node& point, const char* attribute, double limit, std::string& reason)
{
    const pugi::xml_attribute value = point.attribute(attribute);
    if (!value) {
        reason = std::string(attribute) + " is missing";
        return std::nullopt;
    }
    const std::string text = value.value();
    char* end = nullptr;
    errno = 0;
    const double number = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !std::isfinite(number)) {
        reason = std::string(attribute) + " \"" + text + "\" is not a number";
        return std::nullopt;
    }
    if (std::fabs(number) > limit) {
        reason = std::string(attribute) + " " + text + " is out of range (-" + std::to_string(static_cast<int>(limit)) +
                 " to " + std::to_string(static_cast<int>(limit)) + ")";
        return std::nullopt;
    }
    return number;
}

} // namespace

bool ParseGpxRoute(const std::string& text, const std::string& fileName, const std::string& name, RoutePlan& plan,
                   std::string& error)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
    const Lines lines(text);
    if (!parsed) {
        error = fileName + " line " + std::to_string(lines.LineOf(parsed.offset)) + ": not well-formed XML (" +
                parsed.description() + ")";
        return false;
    }
    const pugi::xml_node root = document.document_element();
    if (LocalName(root) != "gpx") {
        error = fileName + ": not a GPX file (the root element is <" + std::string(root.name()) + ">, not <gpx>)";
        return false;
    }
    const auto named = [&](const std::vector<pugi::xml_node>& nodes) {
        return std::find_if(nodes.begin(), nodes.end(),
                            [&](const pugi::xml_node& n) { return name.empty() || ChildText(n, "name") == name; });
    };
    const std::vector<pugi::xml_node> routes = Children(root, "rte");
    const std::vector<pugi::xml_node> tracks = Children(root, "trk");
    std::vector<pugi::xml_node> points;
    const char* pointName = "rtept";
    if (const auto route = named(routes); route != routes.end()) {
        points = Children(*route, "rtept");
    } else if (const auto track = named(tracks); track != tracks.end()) {
        pointName = "trkpt";
        for (const pugi::xml_node& segment : Children(*track, "trkseg")) {
            const std::vector<pugi::xml_node> more = Children(segment, "trkpt");
            points.insert(points.end(), more.begin(), more.end());
        }
    } else {
        error = fileName + (name.empty() ? ": has no route (rte) or track (trk)"
                                         : ": has no route or track named \"" + name + "\"");
        return false;
    }

    std::vector<RouteWaypoint> waypoints;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const pugi::xml_node& point = points[i];
        RouteWaypoint waypoint;
        waypoint.where = fileName + " line " + std::to_string(lines.LineOf(point.offset_debug())) + ", " + pointName +
                         " " + std::to_string(i + 1);
        std::string reason;
        const std::optional<double> lat = Coordinate(point, "lat", 90.0, reason);
        const std::optional<double> lon = lat ? Coordinate(point, "lon", 180.0, reason) : std::nullopt;
        if (!lat || !lon) {
            error = waypoint.where + ": " + reason;
            return false;
        }
        waypoint.latDeg = *lat;
        waypoint.lonDeg = *lon;
        if (!Children(point, "time").empty()) {
            const std::string time = ChildText(point, "time");
            waypoint.timeS = ParseIsoTime(time);
            if (!waypoint.timeS) {
                error = waypoint.where + ": <time> \"" + time + "\" is not an ISO 8601 time";
                return false;
            }
        }
        if (!waypoints.empty() && std::string_view(pointName) == "trkpt") {
            double metres = 0.0;
            const RouteWaypoint& before = waypoints.back();
            GeographicLib::Geodesic::WGS84().Inverse(before.latDeg, before.lonDeg, waypoint.latDeg, waypoint.lonDeg, metres);
            if (metres < kRouteMinLegM) continue;
        }
        waypoints.push_back(std::move(waypoint));
    }
    if (waypoints.size() < 2) {
        error = fileName + ": the " + std::string(pointName == std::string_view("trkpt") ? "track" : "route") +
                " has " + std::to_string(waypoints.size()) + " distinct point(s); a route needs at least two";
        return false;
    }
    plan.waypoints = std::move(waypoints);
    return true;
}

bool ReadGpxRoute(const std::string& path, const std::string& name, RoutePlan& plan, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = path + ": cannot be opened";
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    if (file.bad()) {
        error = path + ": read error";
        return false;
    }
    return ParseGpxRoute(text.str(), path, name, plan, error);
}

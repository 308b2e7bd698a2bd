#pragma once

#include "emulator/scenario/Route.h"

#include <string>

// Reads a route from a GPX file (1.1, and 1.0 which has the same elements): the route
// (rte/rtept) or track (trk/trkseg/trkpt, segments joined) whose <name> is `name`, or
// when `name` is empty the first route, else the first track. Points' <time>s give the
// leg speeds. Track points within a metre of the point before are left out (a logger
// at rest), so the time spent there goes into the next leg's speed. The waypoints come
// out in `plan` (its end left as it was), each naming its line and element; on a fault
// `error` names the file, line, element and reason.
bool ReadGpxRoute(const std::string& path, const std::string& name, RoutePlan& plan, std::string& error);

// The same from text already read; `fileName` is used in messages.
bool ParseGpxRoute(const std::string& text, const std::string& fileName, const std::string& name, RoutePlan& plan,
                   std::string& error);

#include "emulator/scenario/Gpx.h"
#include "fuzz/FuzzCheck.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

// Any text is read or refused with a message naming the file; a route read has at least
// two points, all on the globe, and builds or is refused without a crash.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    RoutePlan plan;
    std::string error;
    if (!ParseGpxRoute(text, "f.gpx", "", plan, error)) {
        KVL_FUZZ_CHECK(error.rfind("f.gpx", 0) == 0);
        return 0;
    }
    KVL_FUZZ_CHECK(plan.waypoints.size() >= 2);
    for (const RouteWaypoint& w : plan.waypoints) KVL_FUZZ_CHECK(std::fabs(w.latDeg) <= 90 && std::fabs(w.lonDeg) <= 180);
    const std::optional<Route> route = Route::Build(plan, 10.0, error);
    if (route) {
        RouteState state;
        const RoutePose pose = Advance(*route, state, 1234.5);
        KVL_FUZZ_CHECK(std::isfinite(pose.latDeg) && std::isfinite(pose.lonDeg) && std::isfinite(pose.speedKnots));
    }
    return 0;
}

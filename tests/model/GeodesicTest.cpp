#include "emulator/model/CVesselModelImpl.h"

#include <GeographicLib/Geodesic.hpp>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <random>
#include <thread>

namespace {

struct DirectCase {
    const char* name;
    double lat, lon, course, distanceKm;
    double expectLat, expectLon, expectCourse;
    double tolerance;
};

TEST(VincentyDirect, KnownVoyages)
{
    const DirectCase cases[] = {
        {"10 knots east along the equator for an hour", 0, 0, 90, 18.52, 0, 0.166368, 90, 1e-6},
        {"north-east from 60N drifts its course", 60, 0, 45, 18.52, 60.117332, 0.235523, 45.204090, 1e-6},
        {"east across the 180th meridian", 0, 179.95, 90, 18.52, 0, -179.883632, 90, 1e-6},
    };
    for (const auto& c : cases) {
        double course = c.course, lat = 0, lon = 0;
        VincentyDirect(c.lat, c.lon, course, c.distanceKm, lat, lon);
        EXPECT_NEAR(lat, c.expectLat, c.tolerance) << c.name;
        EXPECT_NEAR(lon, c.expectLon, c.tolerance) << c.name;
        EXPECT_NEAR(course, c.expectCourse, c.tolerance) << c.name;
    }
    double course = 90, lat = 1, lon = 0;
    VincentyDirect(0, 0, course, 18.52, lat, lon);
    EXPECT_LT(std::fabs(lat), 1e-13);
}

TEST(VincentyDirect, ZeroDistanceKeepsPositionAndNormalisesCourse)
{
    double course = 370.0, lat = 0, lon = 0;
    VincentyDirect(12.5, 190.0, course, 0.0, lat, lon);
    EXPECT_NEAR(lat, 12.5, 1e-9);
    EXPECT_NEAR(lon, -170.0, 1e-9);
    EXPECT_NEAR(course, 10.0, 1e-9);
}

// Distances no vessel runs in one step, reachable with an absurd speed on the command line.
// At the first two the iteration settles into a cycle one unit in the last place wide,
// above the convergence limit, and would never end on its own.
TEST(VincentyDirect, AbsurdDistancesReturnFiniteInRangeResults)
{
    const struct {
        double lat, lon, course, distanceKm;
    } cases[] = {
        {33, 10, 240, 66008825.98},
        {33, 10, 240, 66013307.79},
        {10, 10, 45, 1e30},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.distanceKm << " km");
        // On a thread of its own, so that a call that never returns fails here instead of
        // hanging the suite.
        auto done = std::make_shared<std::promise<std::array<double, 3>>>();
        std::thread([c, done] {
            double course = c.course, lat = 0, lon = 0;
            VincentyDirect(c.lat, c.lon, course, c.distanceKm, lat, lon);
            done->set_value({lat, lon, course});
        }).detach();
        auto result = done->get_future();
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the call did not return";
        const auto [lat, lon, course] = result.get();
        ASSERT_TRUE(std::isfinite(lat) && std::isfinite(lon) && std::isfinite(course));
        EXPECT_GE(lat, -90.0);
        EXPECT_LE(lat, 90.0);
        EXPECT_GE(lon, -180.0);
        EXPECT_LT(lon, 180.0);
        EXPECT_GE(course, 0.0);
        EXPECT_LT(course, 360.0);
    }
}

// Agreement with GeographicLib's geodesic solution for random voyages up to 100 km.
TEST(VincentyDirect, AgreesWithGeographicLib)
{
    const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
    std::mt19937 gen(20261207);
    std::uniform_real_distribution<double> latDist(-85, 85), lonDist(-180, 180), courseDist(0, 360), kmDist(0, 100);
    for (int i = 0; i < 500; ++i) {
        const double lat1 = latDist(gen), lon1 = lonDist(gen), course1 = courseDist(gen), km = kmDist(gen);
        double course = course1, lat2 = 0, lon2 = 0;
        VincentyDirect(lat1, lon1, course, km, lat2, lon2);

        double refLat = 0, refLon = 0, refAzi = 0;
        wgs84.Direct(lat1, lon1, course1, km * 1000.0, refLat, refLon, refAzi);
        double s12 = 0;
        wgs84.Inverse(lat2, lon2, refLat, refLon, s12);
        EXPECT_LT(s12, 0.001) << "start " << lat1 << "," << lon1 << " course " << course1 << " km " << km;
        const double refCourse = std::fmod(refAzi + 360.0, 360.0);
        double diff = std::fabs(course - refCourse);
        diff = std::min(diff, 360.0 - diff);
        EXPECT_LT(diff, 1e-6) << "start " << lat1 << "," << lon1 << " course " << course1 << " km " << km;
        EXPECT_GE(lon2, -180.0);
        EXPECT_LT(lon2, 180.0);
    }
}

} // namespace

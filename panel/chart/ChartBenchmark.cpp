// Draws the chart off screen, with its coast, into an image for 1,000, 10,000 and 100,000 random targets at a few
// zoom levels, each with the view still and with it panned every frame, and prints one line per
// size: "targets=N frame_ms=X", X the median frame time of the slowest of these. Details per
// zoom level, the time to build a scene and the memory used go to stderr.
#include <QApplication>
#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <sys/resource.h>
#include <vector>

#include "panel/chart/ChartRenderer.h"
#include "panel/chart/ChartScene.h"
#include "panel/chart/ChartWidget.h"
#include "panel/chart/GeoCoastline.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kFramesPerZoom = 9;
constexpr QSize kFrameSize(1280, 800);
constexpr double kZoomFactors[] = {1.0, 4.0, 16.0, 64.0};   // from "fit all" inwards

// A random fleet in a 10 by 10 degree box: mostly vessels, some stations and aids to
// navigation, one in a hundred an aircraft or a distress beacon; one in twenty lost.
chart::ChartSnapshot RandomTargets(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> lat(50.0, 60.0);
    std::uniform_real_distribution<double> lon(-2.0, 8.0);
    std::uniform_real_distribution<float> angle(0.0F, 360.0F);
    std::uniform_real_distribution<float> speed(0.0F, 25.0F);
    std::discrete_distribution<int> kind({600, 330, 5, 40, 15, 4, 2, 2, 2, 0});
    std::bernoulli_distribution lost(0.05);
    chart::ChartSnapshot targets(count);
    for (std::size_t i = 0; i < count; ++i) {
        chart::ChartTarget& t = targets[i];
        t.mmsi = 200000000U + static_cast<std::uint32_t>(i);
        t.latDeg = lat(random);
        t.lonDeg = lon(random);
        t.sogKnots = speed(random);
        t.cogDeg = angle(random);
        t.headingDeg = t.cogDeg;
        t.kind = static_cast<chart::StationKind>(kind(random));
        t.lost = lost(random);
        t.name = "VESSEL " + std::to_string(i);
    }
    targets.front().kind = chart::StationKind::OwnShip;
    return targets;
}

double Milliseconds(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long PeakRssMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    chart::ChartSnapshot largest;
    // The North Sea's coasts, as the panel draws them.
    const auto coast = std::make_shared<chart::GeoCoastline>();
    for (const std::size_t count : {std::size_t{1000}, std::size_t{10000}, std::size_t{100000}}) {
        chart::ChartSnapshot targets = RandomTargets(count, 20240601);
        const auto built = Clock::now();
        const chart::ChartScene scene(std::move(targets));
        const double buildMs = Milliseconds(Clock::now() - built);
        chart::ChartRenderer renderer;
        renderer.SetCoastlineSource(coast);
        QImage frame;
        double slowestMs = 0;
        // Each zoom level twice: a still view (live updates) and one panned a little every frame,
        // which draws the background anew each time.
        for (const bool panning : {false, true}) {
            for (const double zoom : kZoomFactors) {
                chart::ChartViewport view(kFrameSize, {}, 1);
                view.Fit(scene.Bounds(), 30, 1 << 20);
                view.ZoomAt(zoom, QPointF(kFrameSize.width() / 2.0, kFrameSize.height() / 2.0));
                std::vector<double> times;
                chart::RenderStats stats;
                for (int i = 0; i < kFramesPerZoom; ++i) {
                    if (panning) view.PanByPixels(QPointF(8, 5));
                    const auto start = Clock::now();
                    stats = renderer.Render(frame, scene, view, std::size_t{0});
                    times.push_back(Milliseconds(Clock::now() - start));
                }
                std::fprintf(stderr, "  targets=%zu zoom=x%g %s visible=%zu %s%s median_ms=%.2f first_ms=%.2f max_ms=%.2f\n",
                             count, zoom, panning ? "panning" : "still", stats.visible, stats.symbols ? "symbols" : "dots",
                             stats.names ? "+names" : "", Median(times), times.front(),
                             *std::max_element(times.begin(), times.end()));
                slowestMs = std::max(slowestMs, Median(times));
            }
        }
        std::fprintf(stderr, "  targets=%zu scene_build_ms=%.2f\n", count, buildMs);
        std::printf("targets=%zu frame_ms=%.2f\n", count, slowestMs);
        std::fflush(stdout);
        if (count == 100000) largest = scene.Targets();
    }

    // The chart widget itself, shown with the largest snapshot: what it costs in memory.
    chart::ChartWidget widget;
    widget.SetCoastlineSource(coast);
    widget.resize(kFrameSize);
    widget.SetSnapshot(std::move(largest));
    widget.show();
    QApplication::processEvents();
    widget.repaint();
    std::fprintf(stderr, "  widget targets=%zu peak_rss_mb=%ld\n", widget.Scene().Targets().size(), PeakRssMb());
    return 0;
}

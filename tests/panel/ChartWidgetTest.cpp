#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <random>
#include <set>

#include "panel/chart/ChartWidget.h"
#include "panel/chart/Symbols.h"
#include "tests/panel/QtTestApp.h"

namespace {

using chart::ChartTarget;
using chart::StationKind;

ChartTarget Target(std::uint32_t mmsi, double lat, double lon, StationKind kind = StationKind::ClassA)
{
    ChartTarget target;
    target.mmsi = mmsi;
    target.latDeg = lat;
    target.lonDeg = lon;
    target.kind = kind;
    return target;
}

chart::ChartSnapshot RandomTargets(std::size_t count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> lat(53.0, 55.0);
    std::uniform_real_distribution<double> lon(3.0, 7.0);
    chart::ChartSnapshot targets;
    for (std::size_t i = 0; i < count; ++i) targets.push_back(Target(300000000U + static_cast<std::uint32_t>(i), lat(random), lon(random)));
    return targets;
}

// Made before the fixture's widget.
struct QtApplicationFirst {
    QtApplicationFirst() { EnsureQtApplication(); }
};

class ChartWidgetTest : public testing::Test, private QtApplicationFirst {
protected:
    void SetUp() override
    {
        m_chart.resize(640, 480);
        m_chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_chart));
    }

    QPoint ScreenOf(const ChartTarget& target) const
    {
        return m_chart.Viewport().ToScreen(chart::ToMercator(target.latDeg, target.lonDeg)).toPoint();
    }
    QImage Frame() { return m_chart.grab().toImage().convertToFormat(QImage::Format_RGB32); }

    chart::ChartWidget m_chart;
};

// The spatial index finds exactly what a full scan finds, for crowded, spread and one-point scenes.
TEST(ChartScene, GridQueryMatchesFullScan)
{
    std::mt19937 random(7);
    std::vector<chart::ChartSnapshot> scenes = {RandomTargets(5000, 1), {Target(1, 10, 10), Target(2, 10, 10)}};
    chart::ChartSnapshot world;
    std::uniform_real_distribution<double> lat(-89.0, 89.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    for (std::uint32_t i = 0; i < 3000; ++i) world.push_back(Target(i, lat(random), lon(random)));
    world.push_back(Target(9000, std::nan(""), 0));   // no position: never placed
    world.push_back(Target(9001, 91, 181));
    scenes.push_back(world);
    for (const chart::ChartSnapshot& targets : scenes) {
        const chart::ChartScene scene(targets);
        std::uniform_real_distribution<double> unit(-0.1, 1.1);
        for (int query = 0; query < 200; ++query) {
            double x0 = unit(random), x1 = unit(random), y0 = unit(random), y1 = unit(random);
            if (query % 2) x1 = x0 + (x1 - x0) * 0.01, y1 = y0 + (y1 - y0) * 0.01;   // small views too
            const chart::MercatorRect rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
            std::set<std::size_t> expected;
            for (std::size_t i = 0; i < targets.size(); ++i) {
                if (!std::isfinite(targets[i].latDeg) || std::abs(targets[i].latDeg) > 90) continue;
                if (rect.Contains(chart::ToMercator(targets[i].latDeg, targets[i].lonDeg))) expected.insert(i);
            }
            std::set<std::size_t> found;
            scene.ForEachIn(rect, [&](const chart::PlacedTarget& placed) {
                EXPECT_TRUE(found.insert(placed.index).second);
                EXPECT_EQ(placed.kind, targets[placed.index].kind);
            });
            ASSERT_EQ(found, expected) << "query " << query << " of " << targets.size();
            EXPECT_EQ(scene.CountIn(rect), expected.size());
        }
    }
}

// A click picks the target under it at every zoom, as long as no other is as near; a click on
// open water picks nothing and lets go of the selection.
TEST_F(ChartWidgetTest, ClickSelectsTheTargetUnderIt)
{
    m_chart.SetSnapshot(RandomTargets(400, 3));
    const auto& targets = m_chart.Scene().Targets();
    QSignalSpy selected(&m_chart, &chart::ChartWidget::TargetSelected);
    QSignalSpy cleared(&m_chart, &chart::ChartWidget::SelectionCleared);
    for (const double zoom : {1.0, 3.0, 8.0}) {
        m_chart.FitAll();
        m_chart.SetViewport([&] {
            chart::ChartViewport view = m_chart.Viewport();
            view.ZoomAt(zoom, QPointF(320, 240));
            return view;
        }());
        int clicked = 0;
        for (const ChartTarget& target : targets) {
            const QPoint at = ScreenOf(target);
            if (!m_chart.rect().adjusted(20, 20, -60, -20).contains(at)) continue;
            bool alone = true;
            for (const ChartTarget& other : targets)
                if (&other != &target && (ScreenOf(other) - at).manhattanLength() < 30) alone = false;
            if (!alone) continue;
            selected.clear();
            QTest::mouseClick(&m_chart, Qt::LeftButton, {}, at + QPoint(3, -2));
            ASSERT_EQ(selected.count(), 1) << "zoom " << zoom << " mmsi " << target.mmsi;
            EXPECT_EQ(selected.at(0).at(0).toUInt(), target.mmsi);
            EXPECT_EQ(m_chart.SelectedMmsi(), target.mmsi);
            // Just out of reach of the click, nothing is picked.
            EXPECT_FALSE(m_chart.TargetAt(at + QPoint(11, 0)).has_value());
            if (++clicked == 20) break;
        }
        EXPECT_GT(clicked, 3) << "zoom " << zoom;
    }
    selected.clear();
    m_chart.SetSnapshot({Target(1, 54, 5)});
    const QPoint water = ScreenOf(m_chart.Scene().Targets()[0]) + QPoint(40, 40);
    QTest::mouseClick(&m_chart, Qt::LeftButton, {}, water);
    EXPECT_EQ(selected.count(), 0);
    EXPECT_EQ(cleared.count(), 1);
    EXPECT_FALSE(m_chart.SelectedMmsi().has_value());
}

struct FitRow {
    const char* name;
    chart::ChartSnapshot targets;
};

void PrintTo(const FitRow& row, std::ostream* out) { *out << row.name; }

class FitAll : public ChartWidgetTest, public testing::WithParamInterface<FitRow> {};

// After the user has wandered off, "fit all" brings every target back into view.
TEST_P(FitAll, EveryTargetInView)
{
    m_chart.SetSnapshot(GetParam().targets);
    chart::ChartViewport away(m_chart.size(), chart::ToMercator(-40, -120), chart::ChartViewport::kMaxScale);
    m_chart.SetViewport(away);
    m_chart.FitAllAction()->trigger();
    for (const ChartTarget& target : GetParam().targets) {
        if (!std::isfinite(target.latDeg)) continue;
        EXPECT_TRUE(m_chart.rect().contains(ScreenOf(target))) << target.mmsi << " at " << ScreenOf(target).x() << ","
                                                               << ScreenOf(target).y();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FitAll,
    testing::Values(FitRow{"Fleet", RandomTargets(300, 5)}, FitRow{"OneTarget", {Target(1, -33.9, 18.4)}},
                    FitRow{"PoleToPoleAndDateLine", {Target(1, -70, -179.5), Target(2, 80, 179.5), Target(3, 0, 0)}},
                    FitRow{"SamePlaceTwice", {Target(1, 60, 5), Target(2, 60, 5), Target(3, std::nan(""), 0)}}),
    [](const testing::TestParamInfo<FitRow>& info) { return std::string(info.param.name); });

struct KeyRow {
    const char* name;
    Qt::Key key;
    double dxFraction;   // of the view's width, eastwards
    double dyFraction;   // of the view's height, southwards
    double zoom;
};

void PrintTo(const KeyRow& row, std::ostream* out) { *out << row.name; }

class ChartKeys : public ChartWidgetTest, public testing::WithParamInterface<KeyRow> {};

TEST_P(ChartKeys, MoveTheView)
{
    const KeyRow& row = GetParam();
    m_chart.SetSnapshot(RandomTargets(50, 9));
    const chart::ChartViewport before = m_chart.Viewport();
    QTest::keyClick(&m_chart, row.key);
    const chart::ChartViewport after = m_chart.Viewport();
    EXPECT_NEAR(after.Scale() / before.Scale(), row.zoom, 1e-9);
    EXPECT_NEAR((after.Center().x - before.Center().x) * before.Scale(), row.dxFraction * m_chart.width(), 1e-6);
    EXPECT_NEAR((after.Center().y - before.Center().y) * before.Scale(), row.dyFraction * m_chart.height(), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Rows, ChartKeys,
                         testing::Values(KeyRow{"Left", Qt::Key_Left, -0.125, 0, 1}, KeyRow{"Right", Qt::Key_Right, 0.125, 0, 1},
                                         KeyRow{"Up", Qt::Key_Up, 0, -0.125, 1}, KeyRow{"Down", Qt::Key_Down, 0, 0.125, 1},
                                         KeyRow{"Plus", Qt::Key_Plus, 0, 0, 2}, KeyRow{"Minus", Qt::Key_Minus, 0, 0, 0.5}),
                         [](const testing::TestParamInfo<KeyRow>& info) { return std::string(info.param.name); });

// Dragging moves the chart with the mouse; the wheel zooms about the point under it.
TEST_F(ChartWidgetTest, DragPansAndWheelZoomsAboutTheMouse)
{
    m_chart.SetSnapshot(RandomTargets(50, 11));
    const chart::MercatorPoint grabbed = m_chart.Viewport().ToPlane(QPointF(200, 200));
    QTest::mousePress(&m_chart, Qt::LeftButton, {}, QPoint(200, 200));
    QTest::mouseMove(&m_chart, QPoint(230, 190));
    QTest::mouseMove(&m_chart, QPoint(260, 180));
    QTest::mouseRelease(&m_chart, Qt::LeftButton, {}, QPoint(260, 180));
    const QPointF now = m_chart.Viewport().ToScreen(grabbed);
    EXPECT_NEAR(now.x(), 260, 1e-6);
    EXPECT_NEAR(now.y(), 180, 1e-6);

    const double scale = m_chart.Viewport().Scale();
    QWheelEvent wheel(QPointF(100, 300), m_chart.mapToGlobal(QPointF(100, 300)), {}, QPoint(0, 240), Qt::NoButton, {},
                      Qt::NoScrollPhase, false);
    const chart::MercatorPoint under = m_chart.Viewport().ToPlane(QPointF(100, 300));
    QCoreApplication::sendEvent(&m_chart, &wheel);
    EXPECT_NEAR(m_chart.Viewport().Scale() / scale, 1.25 * 1.25, 1e-9);
    EXPECT_NEAR(m_chart.Viewport().ToScreen(under).x(), 100, 1e-6);
    EXPECT_NEAR(m_chart.Viewport().ToScreen(under).y(), 300, 1e-6);
}

// Pixels around a lone target's place, for comparing how it is drawn.
QImage SymbolAt(chart::ChartWidget& chart, const ChartTarget& target)
{
    chart.SetSnapshot({target});
    chart.SetViewport(chart::ChartViewport(chart.size(), chart::ToMercator(target.latDeg, target.lonDeg), 1 << 16));
    const QPoint at(chart.width() / 2, chart.height() / 2);
    return chart.grab().toImage().convertToFormat(QImage::Format_RGB32).copy(at.x() - 20, at.y() - 20, 40, 40);
}

int CountNear(const QImage& image, QColor colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                    std::abs(pixel.blue() - colour.blue()) < 40)
                ++count;
        }
    return count;
}

// Each kind of station has its own symbol; the distress beacons share theirs, in the alarm colour.
TEST_F(ChartWidgetTest, EachKindHasItsOwnSymbol)
{
    const StationKind kinds[] = {StationKind::ClassA,    StationKind::ClassB,     StationKind::BaseStation,
                                 StationKind::AtonReal,  StationKind::AtonVirtual, StationKind::SarAircraft,
                                 StationKind::Sart,      StationKind::OwnShip};
    std::vector<QImage> drawn;
    for (const StationKind kind : kinds) {
        ChartTarget target = Target(1, 54, 5, kind);
        target.headingDeg = 30;
        drawn.push_back(SymbolAt(m_chart, target));
        EXPECT_GT(CountNear(drawn.back(), chart::LookOf(kind).colour), 8) << static_cast<int>(kind);
    }
    for (std::size_t a = 0; a < drawn.size(); ++a)
        for (std::size_t b = a + 1; b < drawn.size(); ++b)
            EXPECT_NE(drawn[a], drawn[b]) << static_cast<int>(kinds[a]) << " and " << static_cast<int>(kinds[b]) << " look alike";
    for (const StationKind kind : {StationKind::Mob, StationKind::Epirb})
        EXPECT_EQ(SymbolAt(m_chart, Target(1, 54, 5, kind)), SymbolAt(m_chart, Target(1, 54, 5, StationKind::Sart)));
    EXPECT_GT(CountNear(SymbolAt(m_chart, Target(1, 54, 5, StationKind::Sart)), QColor(230, 0, 0)), 20);
}

// A lost target loses its colour and gets the cross through it; a lost distress beacon keeps its red.
TEST_F(ChartWidgetTest, LostTargetIsDrawnAsLost)
{
    ChartTarget live = Target(1, 54, 5);
    ChartTarget lost = live;
    lost.lost = true;
    const QImage liveImage = SymbolAt(m_chart, live);
    const QImage lostImage = SymbolAt(m_chart, lost);
    EXPECT_GT(CountNear(liveImage, chart::LookOf(StationKind::ClassA).colour), 8);
    EXPECT_EQ(CountNear(lostImage, chart::LookOf(StationKind::ClassA).colour), 0);
    // The cross's arms reach past the triangle, where the live symbol leaves open water.
    const QPoint arm(20 - 9, 20 + 9);
    EXPECT_LT(CountNear(liveImage.copy(QRect(arm, QSize(2, 2))), chart::LostColour()), 1);
    EXPECT_GT(CountNear(lostImage.copy(QRect(arm - QPoint(1, 1), QSize(3, 3))), chart::LostColour()), 0);

    ChartTarget beacon = Target(2, 54, 5, StationKind::Epirb);
    beacon.lost = true;
    EXPECT_GT(CountNear(SymbolAt(m_chart, beacon), QColor(230, 0, 0)), 20);
}

// Land from the coastline source fills its polygon; the source is asked for the box in view.
TEST_F(ChartWidgetTest, CoastlineFromItsSource)
{
    class Island final : public chart::ICoastlineSource {
    public:
        chart::CoastView Coast(const chart::GeoBox& box, double) const override
        {
            asked = box;
            const chart::CoastPolygon outline = {{54.0, 4.0}, {54.0, 6.0}, {55.0, 6.0}, {55.0, 4.0}};
            return {{outline}, {outline}};
        }
        mutable chart::GeoBox asked;
    };
    auto island = std::make_shared<Island>();
    m_chart.SetCoastlineSource(island);
    m_chart.SetSnapshot({Target(1, 53.0, 3.0), Target(2, 56.0, 7.0)});
    const QImage frame = Frame();
    const QPoint inland = ScreenOf(Target(0, 54.5, 5.0));
    const QPoint sea = ScreenOf(Target(0, 53.5, 6.5));
    EXPECT_EQ(frame.pixelColor(inland), QColor(238, 226, 184));
    EXPECT_EQ(frame.pixelColor(sea), QColor(214, 232, 244));
    EXPECT_LT(island->asked.southDeg, 53.0);
    EXPECT_GT(island->asked.northDeg, 56.0);
    EXPECT_LT(island->asked.westDeg, 3.0);
    EXPECT_GT(island->asked.eastDeg, 7.0);
}

} // namespace

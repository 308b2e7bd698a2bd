#include "panel/chart/ChartRenderer.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstring>
#include <numbers>

#include "panel/chart/Graticule.h"
#include "panel/chart/Raster.h"

namespace chart {

namespace {

const QColor kSeaColour(214, 232, 244);
const QColor kLandColour(238, 226, 184);
const QColor kCoastColour(150, 130, 90);
const QColor kNameColour(20, 30, 40);
constexpr int kDotPx = 3;

QPoint Rounded(QPointF p)
{
    return {static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
}

} // namespace

ChartRenderer::ChartRenderer() : m_coast(std::make_shared<EmptyCoastline>()) {}

void ChartRenderer::SetCoastlineSource(std::shared_ptr<const ICoastlineSource> source)
{
    m_coast = source ? std::move(source) : std::make_shared<EmptyCoastline>();
    m_backgroundValid = false;
}

void ChartRenderer::UpdateBackground(const ChartViewport& view)
{
    if (m_backgroundValid && m_backgroundView == view) return;
    if (m_background.size() != view.Size())
        m_background = QImage(view.Size(), QImage::Format_ARGB32_Premultiplied);
    m_background.fill(kSeaColour);
    QPainter painter(&m_background);

    const double centreLat = FromMercator(view.Center()).latDeg;
    const CoastView coast = m_coast->Coast(view.VisibleBox(), view.NauticalMilesPerPixel(centreLat));
    // Points closer than about a pixel to the last one kept add nothing but drawing time.
    const auto toScreen = [&view](const CoastPolygon& line) {
        constexpr double kMinStepPx = 0.8;
        QPolygonF screen;
        screen.reserve(static_cast<qsizetype>(line.size()));
        for (std::size_t i = 0; i < line.size(); ++i) {
            const QPointF at = view.ToScreen(ToMercator(line[i].latDeg, line[i].lonDeg));
            if (i == 0 || i + 1 == line.size() || std::abs(at.x() - screen.back().x()) + std::abs(at.y() - screen.back().y()) >= kMinStepPx)
                screen << at;
        }
        return screen;
    };
    QPainterPath land;
    land.setFillRule(Qt::OddEvenFill);
    for (const CoastPolygon& outline : coast.land) {
        if (outline.size() < 3) continue;
        land.addPolygon(toScreen(outline));
        land.closeSubpath();
    }
    // Filled without antialiasing, many times faster; the antialiased shorelines hide the steps.
    painter.fillPath(land, kLandColour);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(kCoastColour, 1));
    for (const CoastPolygon& shore : coast.shorelines) {
        if (shore.size() < 2) continue;
        const QPolygonF line = toScreen(shore);
        // A whole island inside one pixel: the fill shows it already.
        const QRectF bounds = line.boundingRect();
        if (bounds.width() < 1 && bounds.height() < 1) continue;
        if (bounds.intersects(QRectF(QPointF(0, 0), QSizeF(view.Size())))) painter.drawPolyline(line);
    }

    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawGraticule(painter, view);
    DrawScaleBar(painter, view);
    m_backgroundView = view;
    m_backgroundValid = true;
}

void ChartRenderer::DrawSymbol(QImage& frame, const ChartTarget& target, QPointF at, const ChartViewport& view)
{
    const SymbolLook& look = LookOf(target.kind);
    RasterTarget raster(frame);
    const QPoint centre = Rounded(at);
    if (look.hasVector && std::isfinite(target.sogKnots) && std::isfinite(target.cogDeg) && target.sogKnots > 0) {
        const double lengthPx = target.sogKnots * kVectorMinutes / 60.0 / view.NauticalMilesPerPixel(target.latDeg);
        const double cog = target.cogDeg * std::numbers::pi / 180.0;
        const QColor colour = target.lost && !IsDistress(target.kind) ? LostColour() : look.colour;
        raster.Line(centre.x(), centre.y(), static_cast<int>(std::lround(at.x() + lengthPx * std::sin(cog))),
                    static_cast<int>(std::lround(at.y() - lengthPx * std::cos(cog))), colour.rgb(), target.lost);
    }
    // Without a heading the symbol points along the course over ground.
    const float orientation = std::isfinite(target.headingDeg) ? target.headingDeg : target.cogDeg;
    const Sprite& sprite = m_sprites.Get(target.kind, target.lost, orientation);
    raster.Blend(sprite.image, centre.x() + sprite.offset.x(), centre.y() + sprite.offset.y());
}

RenderStats ChartRenderer::Render(QImage& frame, const ChartScene& scene, const ChartViewport& view,
                                  std::optional<std::size_t> selected)
{
    RenderStats stats;
    if (view.Size().isEmpty()) return stats;
    UpdateBackground(view);
    if (frame.size() != view.Size() || frame.format() != QImage::Format_ARGB32_Premultiplied)
        frame = QImage(view.Size(), QImage::Format_ARGB32_Premultiplied);
    std::memcpy(frame.bits(), m_background.constBits(), static_cast<std::size_t>(m_background.sizeInBytes()));

    // Symbols reach half a sprite beyond their position: look that far outside the view.
    const double reach = SymbolSprites::kSizePx / 2.0 / view.Scale();
    MercatorRect area = view.VisibleRect();
    area = {area.left - reach, area.top - reach, area.right + reach, area.bottom + reach};
    stats.visible = scene.CountIn(area);
    stats.symbols = stats.visible <= kSymbolBudget;
    const double centreLat = FromMercator(view.Center()).latDeg;
    stats.names = stats.visible <= kNameBudget && view.NauticalMilesPerPixel(centreLat) <= kNamesMaxNmPerPx;

    m_onTop.clear();
    m_named.clear();
    RasterTarget raster(frame);
    QRgb dotColours[kStationKindCount];
    for (int kind = 0; kind < kStationKindCount; ++kind) dotColours[kind] = LookOf(static_cast<StationKind>(kind)).colour.rgb();
    const QRgb lostDot = LostColour().rgb();
    const ChartSnapshot& targets = scene.Targets();
    const double halfWidth = view.Size().width() / 2.0;
    const double halfHeight = view.Size().height() / 2.0;
    const MercatorPoint centre = view.Center();
    const double scale = view.Scale();
    scene.ForEachIn(area, [&](const PlacedTarget& placed) {
        const std::size_t index = placed.index;
        if (stats.names) m_named.push_back(index);
        if (LookOf(placed.kind).alwaysSymbol || index == selected) {
            m_onTop.push_back(index);
            return;
        }
        const QPointF at((placed.point.x - centre.x) * scale + halfWidth, (placed.point.y - centre.y) * scale + halfHeight);
        if (stats.symbols) {
            DrawSymbol(frame, targets[index], at, view);
        } else {
            raster.FillSquare(static_cast<int>(at.x()), static_cast<int>(at.y()), kDotPx,
                              placed.lost ? lostDot : dotColours[static_cast<int>(placed.kind)]);
        }
    });
    // Distress last of all: nothing may hide it.
    std::stable_partition(m_onTop.begin(), m_onTop.end(),
                          [&](std::size_t index) { return !IsDistress(targets[index].kind); });
    for (const std::size_t index : m_onTop)
        DrawSymbol(frame, targets[index], view.ToScreen(ToMercator(targets[index].latDeg, targets[index].lonDeg)), view);

    if (stats.names || selected) {
        QPainter painter(&frame);
        if (stats.names) DrawNames(painter, scene, view);
        if (selected && *selected < targets.size()) {
            const QPointF at = view.ToScreen(ToMercator(targets[*selected].latDeg, targets[*selected].lonDeg));
            constexpr qreal kHalfPx = 15;
            painter.setPen(QPen(Qt::black, 1.5, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(QRectF(at.x() - kHalfPx, at.y() - kHalfPx, 2 * kHalfPx, 2 * kHalfPx));
        }
    }
    return stats;
}

void ChartRenderer::DrawNames(QPainter& painter, const ChartScene& scene, const ChartViewport& view) const
{
    painter.setPen(kNameColour);
    const QFontMetrics metrics(painter.font());
    for (const std::size_t index : m_named) {
        const ChartTarget& target = scene.Targets()[index];
        const QPointF at = view.ToScreen(ToMercator(target.latDeg, target.lonDeg));
        // A station without a name is known by its MMSI.
        const QString text = target.name.empty() ? QString::number(target.mmsi) : QString::fromStdString(target.name);
        painter.drawText(QPointF(at.x() + 12, at.y() + metrics.ascent() / 2.0), text);
    }
}

} // namespace chart

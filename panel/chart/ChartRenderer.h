#pragma once

#include <QImage>
#include <QPainter>
#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

#include "panel/chart/ChartScene.h"
#include "panel/chart/ChartViewport.h"
#include "panel/chart/Coastline.h"
#include "panel/chart/Symbols.h"

namespace chart {

// What a frame showed.
struct RenderStats {
    std::size_t visible = 0;   // targets in view
    bool symbols = false;      // ordinary targets as symbols (else as dots)
    bool names = false;        // names written beside them
};

// Draws the chart in layers: the view's background (sea, land, grid, scale), kept while the view
// stays; then the targets straight into the pixels; then names and the selection mark.
class ChartRenderer {
public:
    // More targets in view than this and ordinary ones become dots; distress beacons, the own
    // ship and the selected target stay symbols.
    static constexpr std::size_t kSymbolBudget = 2500;
    // Names are written when at most this many targets are in view and the chart is close in.
    static constexpr std::size_t kNameBudget = 150;
    static constexpr double kNamesMaxNmPerPx = 0.1;
    // A course-and-speed vector shows where the target will be after this many minutes.
    static constexpr double kVectorMinutes = 6.0;

    ChartRenderer();

    void SetCoastlineSource(std::shared_ptr<const ICoastlineSource> source);
    // The background is drawn anew on the next frame (after the land data changed).
    void InvalidateBackground() { m_backgroundValid = false; }

    // Draws the chart at the view's size into `frame`, made anew when it has another size.
    RenderStats Render(QImage& frame, const ChartScene& scene, const ChartViewport& view,
                       std::optional<std::size_t> selected);

private:
    void UpdateBackground(const ChartViewport& view);
    void DrawSymbol(QImage& frame, const ChartTarget& target, QPointF at, const ChartViewport& view);
    void DrawNames(QPainter& painter, const ChartScene& scene, const ChartViewport& view) const;

    std::shared_ptr<const ICoastlineSource> m_coast;
    SymbolSprites m_sprites;
    QImage m_background;
    ChartViewport m_backgroundView;
    bool m_backgroundValid = false;
    // Reused from frame to frame: targets drawn last (on top), and those that get a name.
    std::vector<std::size_t> m_onTop;
    std::vector<std::size_t> m_named;
};

} // namespace chart

#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "panel/chart/ChartRenderer.h"
#include "panel/chart/ChartScene.h"
#include "panel/chart/ChartViewport.h"
#include "panel/chart/Coastline.h"

class QAction;
class QToolButton;

namespace chart {

// The live chart: draws the last snapshot it was given, pans (drag, arrow keys), zooms (wheel,
// + and -), fits everything in view (Home or its button), and selects the target clicked on.
class ChartWidget : public QWidget {
    Q_OBJECT

public:
    explicit ChartWidget(QWidget* parent = nullptr);
    ~ChartWidget() override;

    // Replaces the targets drawn; the selection follows its MMSI. Until the user moves the view
    // it keeps every target in sight.
    void SetSnapshot(ChartSnapshot targets);
    // The same with the scene already built (a hundred thousand targets take tens of
    // milliseconds to index: a caller may do that off the user-interface thread).
    void SetScene(ChartScene scene);
    void SetCoastlineSource(std::shared_ptr<const ICoastlineSource> source);

    const ChartScene& Scene() const { return m_scene; }
    const ChartViewport& Viewport() const { return m_view; }
    void SetViewport(const ChartViewport& view);
    const RenderStats& LastFrame() const { return m_lastFrame; }

    // Index of the target drawn nearest to `pos`, if one is within reach of a click.
    std::optional<std::size_t> TargetAt(QPoint pos) const;
    std::optional<std::uint32_t> SelectedMmsi() const { return m_selectedMmsi; }
    void Select(std::optional<std::uint32_t> mmsi);

    QAction* FitAllAction() const { return m_fitAll; }
    void FitAll();

signals:
    // A click picked a target.
    void TargetSelected(quint32 mmsi);
    // A click on open water let go of the selection.
    void SelectionCleared();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The user's moves end the automatic fitting; ShowView alone does not.
    void MoveView(const ChartViewport& view);
    void ShowView(const ChartViewport& view);
    void FitScene();

    ChartScene m_scene;
    ChartViewport m_view;
    ChartRenderer m_renderer;
    QImage m_frame;
    RenderStats m_lastFrame;
    std::optional<std::uint32_t> m_selectedMmsi;
    std::optional<std::size_t> m_selectedIndex;
    bool m_viewMovedByUser = false;
    std::optional<QPoint> m_pressAt;   // where the left button went down
    QPoint m_lastDragAt;
    bool m_dragging = false;
    QAction* m_fitAll = nullptr;       // children of this widget
    QToolButton* m_fitAllButton = nullptr;
};

} // namespace chart

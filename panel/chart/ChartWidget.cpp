#include "panel/chart/ChartWidget.h"

#include <QAction>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>
#include <cmath>

namespace chart {

namespace {

constexpr int kHitRadiusPx = 10;
constexpr int kDragThresholdPx = 4;
constexpr int kFitMarginPx = 30;
constexpr double kKeyZoomFactor = 2.0;
constexpr double kWheelZoomFactor = 1.25;   // per notch
constexpr int kWheelNotch = 120;            // angle delta of one notch, in eighths of a degree
constexpr double kKeyPanFraction = 0.125;   // of the view's width or height per arrow key
// Scale for a view of one single target: a few nautical miles across.
constexpr double kSingleTargetScale = 1 << 20;

} // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
    m_view = ChartViewport(size(), {0.5, 0.5}, ChartViewport::kMinScale);

    m_fitAll = new QAction(QStringLiteral("Fit all"), this);
    m_fitAll->setShortcut(Qt::Key_Home);
    m_fitAll->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_fitAll->setToolTip(QStringLiteral("Show every target (Home)"));
    addAction(m_fitAll);
    connect(m_fitAll, &QAction::triggered, this, &ChartWidget::FitAll);
    m_fitAllButton = new QToolButton(this);
    m_fitAllButton->setDefaultAction(m_fitAll);
    m_fitAllButton->setFocusPolicy(Qt::NoFocus);
}

ChartWidget::~ChartWidget() = default;

void ChartWidget::SetSnapshot(ChartSnapshot targets)
{
    SetScene(ChartScene(std::move(targets)));
}

void ChartWidget::SetScene(ChartScene scene)
{
    m_scene = std::move(scene);
    m_selectedIndex = m_selectedMmsi ? m_scene.Find(*m_selectedMmsi) : std::nullopt;
    if (!m_viewMovedByUser) FitScene();
    update();
}

void ChartWidget::SetCoastlineSource(std::shared_ptr<const ICoastlineSource> source)
{
    m_renderer.SetCoastlineSource(std::move(source));
    update();
}

void ChartWidget::SetViewport(const ChartViewport& view)
{
    ChartViewport sized = view;
    sized.SetSize(size());
    MoveView(sized);
}

void ChartWidget::MoveView(const ChartViewport& view)
{
    m_viewMovedByUser = true;
    ShowView(view);
}

void ChartWidget::ShowView(const ChartViewport& view)
{
    if (view == m_view) return;
    m_view = view;
    update();
}

void ChartWidget::FitAll()
{
    m_viewMovedByUser = true;
    FitScene();
}

void ChartWidget::FitScene()
{
    if (m_scene.PlacedCount() == 0) return;
    ChartViewport view = m_view;
    view.SetSize(size());
    view.Fit(m_scene.Bounds(), kFitMarginPx, kSingleTargetScale);
    ShowView(view);
}

std::optional<std::size_t> ChartWidget::TargetAt(QPoint pos) const
{
    const double reach = kHitRadiusPx / m_view.Scale();
    const MercatorPoint at = m_view.ToPlane(pos);
    std::optional<std::size_t> nearest;
    double nearestPx2 = kHitRadiusPx * kHitRadiusPx;
    m_scene.ForEachIn({at.x - reach, at.y - reach, at.x + reach, at.y + reach}, [&](const PlacedTarget& placed) {
        const QPointF screen = m_view.ToScreen(placed.point);
        const double dx = screen.x() - pos.x();
        const double dy = screen.y() - pos.y();
        const double distancePx2 = dx * dx + dy * dy;
        if (distancePx2 <= nearestPx2) {
            nearestPx2 = distancePx2;
            nearest = placed.index;
        }
    });
    return nearest;
}

void ChartWidget::Select(std::optional<std::uint32_t> mmsi)
{
    m_selectedMmsi = mmsi;
    m_selectedIndex = mmsi ? m_scene.Find(*mmsi) : std::nullopt;
    update();
}

void ChartWidget::paintEvent(QPaintEvent*)
{
    m_view.SetSize(size());
    m_lastFrame = m_renderer.Render(m_frame, m_scene, m_view, m_selectedIndex);
    QPainter painter(this);
    painter.drawImage(0, 0, m_frame);
}

void ChartWidget::resizeEvent(QResizeEvent*)
{
    m_view.SetSize(size());
    if (!m_viewMovedByUser) FitScene();
    const QSize button = m_fitAllButton->sizeHint();
    m_fitAllButton->setGeometry(width() - button.width() - 8, 8, button.width(), button.height());
}

void ChartWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
    m_pressAt = event->position().toPoint();
    m_lastDragAt = *m_pressAt;
    m_dragging = false;
}

void ChartWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_pressAt || !(event->buttons() & Qt::LeftButton)) return;
    const QPoint at = event->position().toPoint();
    if (!m_dragging && (at - *m_pressAt).manhattanLength() < kDragThresholdPx) return;
    m_dragging = true;
    ChartViewport view = m_view;
    view.PanByPixels(at - m_lastDragAt);
    m_lastDragAt = at;
    MoveView(view);
}

void ChartWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressAt) return QWidget::mouseReleaseEvent(event);
    const bool click = !m_dragging;
    m_pressAt.reset();
    m_dragging = false;
    if (!click) return;
    const std::optional<std::size_t> hit = TargetAt(event->position().toPoint());
    if (!hit) {
        if (m_selectedMmsi) {
            Select(std::nullopt);
            emit SelectionCleared();
        }
        return;
    }
    const std::uint32_t mmsi = m_scene.Targets()[*hit].mmsi;
    m_selectedMmsi = mmsi;
    m_selectedIndex = hit;
    update();
    emit TargetSelected(mmsi);
}

void ChartWidget::wheelEvent(QWheelEvent* event)
{
    const double notches = event->angleDelta().y() / static_cast<double>(kWheelNotch);
    if (notches == 0) return;
    ChartViewport view = m_view;
    view.ZoomAt(std::pow(kWheelZoomFactor, notches), event->position());
    MoveView(view);
    event->accept();
}

void ChartWidget::keyPressEvent(QKeyEvent* event)
{
    ChartViewport view = m_view;
    const double stepX = width() * kKeyPanFraction;
    const double stepY = height() * kKeyPanFraction;
    const QPointF middle(width() / 2.0, height() / 2.0);
    // An arrow moves the view that way over the chart, so the chart itself moves the other way.
    switch (event->key()) {
    case Qt::Key_Left: view.PanByPixels({stepX, 0}); break;
    case Qt::Key_Right: view.PanByPixels({-stepX, 0}); break;
    case Qt::Key_Up: view.PanByPixels({0, stepY}); break;
    case Qt::Key_Down: view.PanByPixels({0, -stepY}); break;
    case Qt::Key_Plus:
    case Qt::Key_Equal: view.ZoomAt(kKeyZoomFactor, middle); break;
    case Qt::Key_Minus: view.ZoomAt(1.0 / kKeyZoomFactor, middle); break;
    default: QWidget::keyPressEvent(event); return;
    }
    MoveView(view);
}

} // namespace chart

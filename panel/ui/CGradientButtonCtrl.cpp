#include "panel/ui/CGradientButtonCtrl.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kWhite(255, 255, 255);
const QColor kYellow(255, 255, 0);
const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QColor kOutline(128, 128, 128);

} // namespace

const GradientColours kIdleColours{kWhite, kYellow, kWhite, kGreen};
const GradientColours kRunningColours{kWhite, kRed, kWhite, kYellow};

CGradientButtonCtrl::CGradientButtonCtrl(const GradientColours& colours, QWidget* parent)
    : QAbstractButton(parent), m_colours(colours)
{
    setAttribute(Qt::WA_Hover);
    setAttribute(Qt::WA_OpaquePaintEvent);   // every pixel is painted: nothing to erase first
    setFocusPolicy(Qt::TabFocus);            // a click does not take the focus from the form
}

void CGradientButtonCtrl::SetColours(const GradientColours& colours)
{
    m_colours = colours;
    repaint();
}

void CGradientButtonCtrl::SetCaptionFont(const QString& face, int weight, int heightPx)
{
    m_fontFace = face;
    m_fontWeight = weight;
    m_fontHeightPx = heightPx;
    update();
}

QFont CGradientButtonCtrl::CaptionFont() const
{
    if (m_fontHeightPx == 0) return QApplication::font();
    QFont font(m_fontFace);
    font.setStyleHint(QFont::SansSerif);   // a Swiss face where the named one is missing
    font.setWeight(static_cast<QFont::Weight>(m_fontWeight));
    // The height is the character cell's (ascent plus descent), not the em size.
    font.setPixelSize(m_fontHeightPx);
    const int cellPx = QFontMetrics(font).height();
    if (cellPx > m_fontHeightPx) font.setPixelSize(std::max(1, m_fontHeightPx * m_fontHeightPx / cellPx));
    return font;
}

void CGradientButtonCtrl::SetTextColour(const QColor& colour)
{
    m_textColour = colour;
    update();
}

void CGradientButtonCtrl::SetCheck(int state)
{
    m_checked = state == 1 || state == 2;
    repaint();
}

bool CGradientButtonCtrl::IsHot() const
{
    return m_checked || (m_hover && isEnabled());
}

QSize CGradientButtonCtrl::sizeHint() const
{
    const QFontMetrics metrics(CaptionFont());
    return QSize(metrics.horizontalAdvance(text()) + 16, metrics.height() + 10);
}

void CGradientButtonCtrl::paintEvent(QPaintEvent*)
{
    const qreal ratio = devicePixelRatioF();
    const QSize canvasSize = size() * ratio;
    if (m_canvas.size() != canvasSize) {
        m_canvas = QPixmap(canvasSize);
        m_canvas.setDevicePixelRatio(ratio);
    }
    const int w = width();
    const int h = height();
    const bool hot = IsHot();
    const QColor& top = hot ? m_colours.hotTop : m_colours.normalTop;
    const QColor& bottom = hot ? m_colours.hotBottom : m_colours.normalBottom;

    {
        QPainter canvas(&m_canvas);
        QLinearGradient gradient(0, 0, 0, h - 1);
        gradient.setColorAt(0, top);
        gradient.setColorAt(1, bottom);
        gradient.setSpread(QGradient::RepeatSpread);
        canvas.fillRect(QRect(0, 0, w, h), gradient);
        canvas.setPen(QPen(kOutline, 1));
        canvas.setBrush(Qt::NoBrush);
        canvas.drawRect(QRect(0, 0, w - 1, h - 1));
        // Where the face is wider than the one the button was made for, the caption shrinks
        // until it fits instead of being cut off.
        QFont captionFont = CaptionFont();
        constexpr int kMarginPx = 3;
        constexpr int kSmallestPx = 6;
        while (captionFont.pixelSize() > kSmallestPx && QFontMetrics(captionFont).horizontalAdvance(text()) > w - 2 * kMarginPx)
            captionFont.setPixelSize(captionFont.pixelSize() - 1);
        canvas.setFont(captionFont);
        canvas.setPen(m_textColour);
        canvas.drawText(QRect(0, 0, w, h), Qt::AlignCenter | Qt::TextSingleLine, text());
    }
    QPainter screen(this);
    screen.drawPixmap(0, 0, m_canvas);
}

void CGradientButtonCtrl::enterEvent(QEnterEvent* event)
{
    m_hover = true;
    repaint();
    QAbstractButton::enterEvent(event);
}

void CGradientButtonCtrl::leaveEvent(QEvent* event)
{
    m_hover = false;
    repaint();
    QAbstractButton::leaveEvent(event);
}

void CGradientButtonCtrl::Fire()
{
    repaint();
    emit clicked(false);
}

void CGradientButtonCtrl::mousePressEvent(QMouseEvent* event)
{
    // Qt delivers no mouse events to a disabled widget; the check keeps that promise here too.
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    m_firedSinceRelease = true;
    Fire();
}

void CGradientButtonCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) m_firedSinceRelease = false;
}

void CGradientButtonCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled()) {
        event->ignore();
        return;
    }
    if (!m_firedSinceRelease) Fire();
}

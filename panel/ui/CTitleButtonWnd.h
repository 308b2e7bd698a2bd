#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QPainterPath>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <memory>

#include "panel/ui/CGradientButtonCtrl.h"

// A small window with rounded corners that holds one button and, on a click, posts its
// message to the owner. The row of these sits along the top edge of the owner, each at a fixed
// distance from the owner's right edge (where a window manager gives no room for buttons in
// the caption bar itself).
template <class TButton>
class CTitleButtonWnd : public QWidget {
public:
    static constexpr int kHeightPx = 26;   // a caption bar's height with its frame

    explicit CTitleButtonWnd(int widthPx) : m_widthPx(widthPx)
    {
        m_button.setParent(this);
        m_button.SetCaptionFont(QStringLiteral("Arial"), 700, 16);
        m_button.SetTextColour(Qt::black);
        QObject::connect(&m_button, &QAbstractButton::clicked, this, [this] { OnClick(); });
        hide();
    }

    // Places the window on `owner`, with the caption on its button; a click posts `message`
    // to the owner. `offsetPx` is the distance from the owner's right edge to the left edge.
    void Create(QWidget* owner, const QString& caption, int offsetPx, QEvent::Type message)
    {
        m_owner = owner;
        m_offsetPx = offsetPx;
        m_message = message;
        setParent(owner);
        m_button.setText(caption);
        Place();
        show();
    }

    bool IsCreated() const { return !m_owner.isNull(); }

    // Measures the offset from `rightPx` instead of the owner's right edge (an owner that has
    // grown beside the area the buttons belong to).
    void SetRightEdge(int rightPx) { m_rightEdgePx = rightPx; }

    // Recomputes the position from the owner's current size.
    void Place()
    {
        if (!m_owner) return;
        setGeometry((m_rightEdgePx >= 0 ? m_rightEdgePx : m_owner->width()) - m_offsetPx, 0, m_widthPx, kHeightPx);
        m_button.setGeometry(rect());
        QPainterPath rounded;
        rounded.addRoundedRect(QRectF(rect()), kCornerRadiusPx, kCornerRadiusPx);
        setMask(QRegion(rounded.toFillPolygon().toPolygon()));
    }

    TButton& Button() { return m_button; }
    int OffsetPx() const { return m_offsetPx; }
    int WidthPx() const { return m_widthPx; }
    QEvent::Type Message() const { return m_message; }

private:
    // Corner ellipses of 8 x 8 pixels.
    static constexpr qreal kCornerRadiusPx = 4.0;

    // The class's own colours; an owner usually replaces them.
    static GradientColours DefaultColours()
    {
        return {QColor(35, 117, 211), QColor(1, 97, 137), QColor(77, 77, 77), QColor(51, 51, 51)};
    }

    void OnClick()
    {
        m_button.repaint();
        if (!m_owner) return;
        m_owner->activateWindow();
        QCoreApplication::postEvent(m_owner, std::make_unique<QEvent>(m_message).release());
    }

    int m_widthPx;
    int m_offsetPx = 0;
    int m_rightEdgePx = -1;   // the owner's right edge
    QEvent::Type m_message = QEvent::None;
    QPointer<QWidget> m_owner;
    TButton m_button{DefaultColours()};
};

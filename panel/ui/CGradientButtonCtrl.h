#pragma once

#include <QAbstractButton>
#include <QColor>
#include <QPixmap>
#include <QString>

// The four gradient colours of a button: top and bottom while the mouse is away, and while
// it is over the enabled button or the button is checked.
struct GradientColours {
    QColor normalTop;
    QColor normalBottom;
    QColor hotTop;
    QColor hotBottom;
};

// The dialog's two sets: idle (white to yellow, white to green under the mouse) and running
// (white to red, white to yellow).
extern const GradientColours kIdleColours;
extern const GradientColours kRunningColours;

// A push button painted with a vertical colour gradient and a grey outline. It acts on the
// press of the mouse button, not on the release, and on each press of a double click; it has
// no pressed look. A disabled button keeps its normal colours and does not react.
class CGradientButtonCtrl : public QAbstractButton {
    Q_OBJECT

public:
    explicit CGradientButtonCtrl(const GradientColours& colours, QWidget* parent = nullptr);

    // Writes the four colours and repaints at once.
    void SetColours(const GradientColours& colours);
    const GradientColours& Colours() const { return m_colours; }

    // Caption font: face, weight (700 is bold) and height in pixels; height 0 takes the
    // application's default font.
    void SetCaptionFont(const QString& face, int weight, int heightPx);
    QFont CaptionFont() const;
    void SetTextColour(const QColor& colour);

    // The check state: 1 checked, 2 indeterminate (both paint hot), 0 unchecked.
    void SetCheck(int state);
    int GetCheck() const { return m_checked ? 1 : 0; }

    // True while the hot colours are painted.
    bool IsHot() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void Fire();

    GradientColours m_colours;
    QColor m_textColour = Qt::black;
    int m_fontWeight = 700;
    int m_fontHeightPx = 14;
    QString m_fontFace = QStringLiteral("Arial");
    bool m_checked = false;
    bool m_hover = false;
    // A double click arrives as press, release, press and double click on some platforms,
    // and as press, release and double click on others: it acts twice either way.
    bool m_firedSinceRelease = false;
    QPixmap m_canvas;
};

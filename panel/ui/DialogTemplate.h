#pragma once

#include <QFont>
#include <QRect>
#include <span>

#include "panel/ui/ControlIds.h"

enum class ControlKind {
    GroupBox,
    Label,
    Edit,
    UpperCaseEdit,
    DigitsEdit,
    DropDownList,
    CheckBox,
    RadioButton,
    PushButton,
    Picture,            // the antenna diagram, drawn at its own pixel size
    ReadOnlyMultiLine,
    ListBox,
    GradientButton,
};

// A rectangle in dialog units: a quarter of the font's average character width across,
// an eighth of its height down.
struct DialogRect {
    int x;
    int y;
    int cx;
    int cy;
};

struct TemplateItem {
    int id;
    ControlKind kind;
    const wchar_t* text;
    DialogRect rect;
};

inline constexpr int kDialogWidthDlu = 477;
inline constexpr int kDialogHeightDlu = 353;
// The traffic controls, right of the original form: the dialog grows by their width.
inline constexpr DialogRect kTrafficGroupRect = {479, 7, 150, 341};
inline constexpr int kWideDialogWidthDlu = 634;

// The main dialog's controls in creation order (group boxes first, so that they lie below).
std::span<const TemplateItem> MainDialogTemplate();

// Dialog units to pixels for one font.
class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}
    // The font's own base units: its average character width and its height.
    static DialogUnits ForFont(const QFont& font);

    QRect ToPixels(const DialogRect& rect) const;
    int X(int dlu) const { return (dlu * m_baseX + 2) / 4; }
    int Y(int dlu) const { return (dlu * m_baseY + 4) / 8; }
    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }

private:
    int m_baseX;
    int m_baseY;
};

#pragma once

#include <QColor>
#include <QImage>
#include <array>
#include <vector>

#include "panel/chart/ChartTarget.h"

class QPainter;

namespace chart {

// How one kind of station is shown (IEC 62288 shapes, day colours).
struct SymbolLook {
    void (*draw)(QPainter& painter, QColor colour, bool lost);   // centred on (0, 0), pointing north
    QColor colour;
    bool turnsWithHeading;   // drawn along its heading (or course when it sends none)
    bool hasVector;          // gets a course-and-speed vector
    bool alwaysSymbol;       // drawn as a symbol even when the chart is crowded
};

const SymbolLook& LookOf(StationKind kind);
// Lost targets are drawn in this colour, dashed and crossed through.
QColor LostColour();

// Each symbol in its own function, drawn with the painter's pen width of about 1.5 pixels.
void DrawVessel(QPainter& painter, QColor colour, bool lost);        // class A: isosceles triangle, heading line
void DrawSmallVessel(QPainter& painter, QColor colour, bool lost);   // class B: the same, smaller
void DrawBaseStation(QPainter& painter, QColor colour, bool lost);   // square with a centre dot
void DrawRealAton(QPainter& painter, QColor colour, bool lost);      // diamond with a centre cross
void DrawVirtualAton(QPainter& painter, QColor colour, bool lost);   // the same, dashed
void DrawSarAircraft(QPainter& painter, QColor colour, bool lost);   // aircraft seen from above
void DrawDistress(QPainter& painter, QColor colour, bool lost);      // circle with a cross inside
void DrawOwnShip(QPainter& painter, QColor colour, bool lost);       // two concentric circles, heading line
void DrawLostCross(QPainter& painter);                               // the lost mark over any symbol

// A rendered symbol, cut down to its painted pixels, and where that piece sits relative to the
// station's position.
struct Sprite {
    QImage image;
    QPoint offset;
};

// Every symbol rendered once per kind, state and heading step, and blitted from then on.
class SymbolSprites {
public:
    static constexpr int kSizePx = 40;            // square canvas, the position at its centre
    static constexpr int kHeadingSteps = 72;      // 5 degrees apart

    SymbolSprites();
    const Sprite& Get(StationKind kind, bool lost, float headingDeg);

private:
    // Made on first use: most kinds appear at only a few headings.
    std::vector<Sprite> m_sprites;
};

} // namespace chart

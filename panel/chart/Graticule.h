#pragma once

#include <QString>
#include <vector>

#include "panel/chart/ChartViewport.h"

class QPainter;

namespace chart {

// Spacing of the latitude/longitude lines for a view: the finest step from a table of round
// values (degrees, then minutes) that keeps lines at least kMinGraticuleSpacingPx apart.
double GraticuleStepDeg(const ChartViewport& view);
inline constexpr int kMinGraticuleSpacingPx = 110;

// "52°30'N", "4°15.5'E": degrees and minutes, decimals of a minute only when the step needs them.
QString FormatLatitude(double latDeg, double stepDeg);
QString FormatLongitude(double lonDeg, double stepDeg);

// The length of the scale bar: a round number of nautical miles no longer than `maxPx` pixels
// at `latDeg`.
double ScaleBarNm(const ChartViewport& view, double latDeg, int maxPx);

// Draws the lines with their labels at the chart's edges, and the scale bar at the bottom left.
void DrawGraticule(QPainter& painter, const ChartViewport& view);
void DrawScaleBar(QPainter& painter, const ChartViewport& view);

} // namespace chart

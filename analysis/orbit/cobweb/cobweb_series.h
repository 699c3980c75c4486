#pragma once

#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {

// The look of the three series of "Graphical Analysis", shared by the window and the batch tool's
// picture: the curve a red line of width 2, the diagonal a green dashed line, the staircase a blue
// line; none with markers.
void StyleCobwebCurve(Tsp_XYLine& curve);
void StyleCobwebDiagonal(Tsp_XYLine& diagonal);
void StyleCobwebStaircase(Tsp_XYLine& staircase);

// Both axes fixed to the interval of the construction, with their tick labels.
void FixCobwebAxes(Tsp_XYPlot& plot, double minimum, double maximum);

}  // namespace kalvora

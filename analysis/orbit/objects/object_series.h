#pragma once

#include "plot/xy_line.h"

namespace kalvora {

// The look of the moving object and of the attractor in "Manifold Analysis", shared by the window
// and the batch tool's picture: navy diamonds of 3 x 3 pixels, no line.
void StyleObjectSeries(Tsp_XYLine& series);

}  // namespace kalvora

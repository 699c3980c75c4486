#pragma once

#include <QPainter>

namespace kalvora {

class Tsp_Axis;
class Tsp_XYPlot;

// What a series needs to draw itself: the painter (already clipped to the field), the field in
// pixels (right and bottom exclusive) and the two axes it is bound to. `exact` is set on a vector
// device (SVG, PDF, a printer): there a point goes where its value maps, not to the nearest whole
// pixel, because the device resolves far finer than the plot's pixel grid.
struct Tsp_DrawContext {
    QPainter& painter;
    Tsp_XYPlot& plot;
    const Tsp_Axis& xAxis;
    const Tsp_Axis& yAxis;
    int fieldLeft;
    int fieldTop;
    int fieldRight;
    int fieldBottom;
    bool exact = false;
};

}  // namespace kalvora

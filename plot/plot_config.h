#pragma once

namespace kalvora {

class Tsp_Axis;
class Tsp_XYPlot;

// The configuration every result window starts from: a plain left-button drag zooms and Ctrl-drag
// pans; margins left 6, right 14, bottom 6, top 14; label formats "#####0.#####" on the left and
// bottom axes and "###0.##" on the others; left and bottom auto-scaled, right and top without ticks
// and labels; 5 ticks; black axis lines of width 1; gray grids, hidden; a black frame; white field
// and background; buffered display on (a window that wants it off switches it off afterwards).
void ApplyStandardPlotConfiguration(Tsp_XYPlot& plot);

// Offsets of the status-bar readout: L = LabelSpace(left, 6, 8) + left Margin + left,
// R = right Margin + right, T = top Margin + top, B = LabelSpace(bottom, 6, 8) + bottom Margin +
// bottom.
struct Tsp_ReadoutOffsets {
    int left;
    int right;
    int top;
    int bottom;
};
// The offsets of the phase-plot, delay-plot, graphical-analysis, iterating-objects, bifurcation
// and Lyapunov windows.
inline constexpr Tsp_ReadoutOffsets kStandardReadoutOffsets{-1, 3, 5, 3};
// The time-series window's own offsets.
inline constexpr Tsp_ReadoutOffsets kTimeSeriesReadoutOffsets{0, 9, 6, 4};

struct Tsp_ReadoutValues {
    double x;
    double y;
};

// The values the result windows show in status panels 0 and 1 for mouse position (mouseX, mouseY):
// a mapping from the axes' ranges, margins and label room with a fixed 6 by 8 character cell,
// independent of the control's own pixel mapping (and of its font). The plot's overload also
// moves the edges by the room of the axis titles the plot shows.
Tsp_ReadoutValues WindowReadout(const Tsp_Axis& leftAxis, const Tsp_Axis& rightAxis,
                                const Tsp_Axis& bottomAxis, const Tsp_Axis& topAxis,
                                int controlWidth, int controlHeight, int mouseX, int mouseY,
                                const Tsp_ReadoutOffsets& offsets = kStandardReadoutOffsets);
Tsp_ReadoutValues WindowReadout(const Tsp_XYPlot& plot, int mouseX, int mouseY,
                                const Tsp_ReadoutOffsets& offsets = kStandardReadoutOffsets);

}  // namespace kalvora

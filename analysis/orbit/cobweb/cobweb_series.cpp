#include "analysis/orbit/cobweb/cobweb_series.h"

namespace kalvora {

namespace {

void StyleLine(Tsp_XYLine& series, Tsp_Color colour, Tsp_PenStyle style, int width) {
    series.LineAttr().SetColor(colour);
    series.LineAttr().SetStyle(style);
    series.LineAttr().SetWidth(static_cast<std::uint16_t>(width));
    series.LineAttr().SetVisible(true);
    series.PointAttr().SetColor(colour);
    series.PointAttr().SetVisible(false);
}

}  // namespace

void StyleCobwebCurve(Tsp_XYLine& curve) {
    StyleLine(curve, clRed, psSolid, 2);
    // As every run series is prepared: single-pixel crosses without fill (hidden here).
    curve.PointAttr().SetKind(ptCross);
    curve.PointAttr().SetHSize(0);
    curve.PointAttr().SetVSize(0);
    curve.PointAttr().SetStyle(bsClear);
}

void StyleCobwebDiagonal(Tsp_XYLine& diagonal) {
    StyleLine(diagonal, clGreen, psDash, 1);
}

void StyleCobwebStaircase(Tsp_XYLine& staircase) {
    StyleLine(staircase, clBlue, psSolid, 1);
}

void FixCobwebAxes(Tsp_XYPlot& plot, double minimum, double maximum) {
    for (Tsp_Axis* axis : {&plot.LeftAxis(), &plot.BottomAxis()}) {
        axis->SetAutoMin(false);
        axis->SetAutoMax(false);
        axis->SetRange(minimum, maximum);
        axis->SetNoTicksLabel(false);
    }
}

}  // namespace kalvora

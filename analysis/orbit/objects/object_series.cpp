#include "analysis/orbit/objects/object_series.h"

namespace kalvora {

void StyleObjectSeries(Tsp_XYLine& series) {
    series.LineAttr().SetColor(clNavy);
    series.LineAttr().SetVisible(false);
    Tsp_PointAttr& marker = series.PointAttr();
    marker.SetColor(clNavy);
    marker.SetKind(ptDiamond);
    marker.SetHSize(3);
    marker.SetVSize(3);
    marker.SetVisible(true);
}

}  // namespace kalvora

#pragma once

#include <functional>

#include "core/point_sink.h"
#include "plot/data_series.h"
#include "plot/point_attr.h"

class QPainter;

namespace kalvora {

// A point series drawn as connected segments (LineAttr visible) and/or point markers (PointAttr
// visible). It is also a PointSink, so a computation can stream its points straight into it:
// addPoint is AddPoint.
class Tsp_XYLine : public Tsp_XYDataSeries, public PointSink {
  public:
    Tsp_XYLine();

    Tsp_PointAttr& PointAttr() { return pointAttr_; }
    const Tsp_PointAttr& PointAttr() const { return pointAttr_; }

    void addPoint(double x, double y) override { AddPoint(x, y); }
    void addPoints(const PlotPoint* points, std::size_t count) override {
        AddPoints(points, count);
    }

    void Draw(const Tsp_DrawContext& context) override;

    // Draws a ptCustom marker centred on pixel (x, y).
    std::function<void(QPainter& painter, int x, int y)> OnDrawCustomPoint;

  private:
    // The vector-device path of Draw: the same segments and markers at unrounded positions.
    void DrawExact(const Tsp_DrawContext& context);

    Tsp_PointAttr pointAttr_;
};

}  // namespace kalvora

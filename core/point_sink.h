#pragma once

#include <vector>

namespace kalvora {

// Computations hand their points to a sink: a plot series, a data file, or a vector in a test.
class PointSink {
  public:
    virtual ~PointSink() = default;
    virtual void addPoint(double x, double y) = 0;
};

class VectorPointSink final : public PointSink {
  public:
    struct Point {
        double x;
        double y;
    };
    void addPoint(double x, double y) override { points.push_back({x, y}); }
    std::vector<Point> points;
};

}  // namespace kalvora

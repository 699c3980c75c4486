#pragma once

#include <cstddef>
#include <vector>

namespace kalvora {

struct XYPoint {
    double x;
    double y;
};

// Computations hand their points to a sink: a plot series, a data file, or a vector in a test.
class PointSink {
  public:
    virtual ~PointSink() = default;
    virtual void addPoint(double x, double y) = 0;
    // Points computed elsewhere and handed on together (a parameter value's points from a
    // worker); a sink that can take them faster than one by one overrides it.
    virtual void addPoints(const XYPoint* points, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            addPoint(points[i].x, points[i].y);
        }
    }
};

class VectorPointSink final : public PointSink {
  public:
    using Point = XYPoint;
    void addPoint(double x, double y) override { points.push_back({x, y}); }
    void addPoints(const XYPoint* more, std::size_t count) override {
        points.insert(points.end(), more, more + count);
    }
    std::vector<Point> points;
};

}  // namespace kalvora

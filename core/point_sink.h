#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalvora {

struct PlotPoint {
    double x;
    double y;
};

// Computations hand their points to a sink: a plot series, a data file, or a vector in a test.
class PointSink {
  public:
    virtual ~PointSink() = default;
    virtual void addPoint(double x, double y) = 0;
    // The same as addPoint for each, in order; a sink may take them faster at once.
    virtual void addPoints(const PlotPoint* points, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            addPoint(points[i].x, points[i].y);
        }
    }

    // A sink that only writes its points as text can let the threads that make them write that
    // text too, so that a run of many points on several workers does not format them all on the
    // one thread that hands them on. appendText writes the points as addPoint would, appending to
    // `text`; it may run on any thread at once and touches nothing of the sink. addText then
    // takes such text, in order, in place of the points.
    virtual bool writesText() const { return false; }
    virtual void appendText(const PlotPoint* points, std::size_t count, std::string& text) const {
        (void)points;
        (void)count;
        (void)text;
    }
    virtual void addText(std::string_view text) { (void)text; }
};

class VectorPointSink final : public PointSink {
  public:
    using Point = PlotPoint;
    void addPoint(double x, double y) override { points.push_back({x, y}); }
    void addPoints(const PlotPoint* added, std::size_t count) override {
        points.insert(points.end(), added, added + count);
    }
    std::vector<Point> points;
};

}  // namespace kalvora

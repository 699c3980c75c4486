#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plot/data_series.h"
#include "plot/point_attr.h"

namespace kalvora {
namespace {

// Records what a series asks of its plot.
class RecordingHost : public Tsp_SeriesHost {
  public:
    void AttachSeries(Tsp_DataSeries&) override { ++attached; }
    void DetachSeries(Tsp_DataSeries&) override { ++detached; }
    void SeriesChanged(Tsp_DataSeries&, bool repaintNow) override {
        ++(repaintNow ? immediateRepaints : laterRepaints);
    }
    void SeriesAppearanceChanged(Tsp_DataSeries&) override { ++appearance; }

    int attached = 0, detached = 0, immediateRepaints = 0, laterRepaints = 0, appearance = 0;
};

class Series : public Tsp_XYDataSeries {
  public:
    void Draw(const Tsp_DrawContext&) override {}
};

struct Bounds {
    double xMin, xMax, yMin, yMax;
};

Bounds BoundsOf(const Series& s) {
    Bounds b{};
    EXPECT_TRUE(s.GetXMin(b.xMin) && s.GetXMax(b.xMax) && s.GetYMin(b.yMin) && s.GetYMax(b.yMax));
    return b;
}

TEST(XYDataSeries, BoundsFollowTheAppendedPoints) {
    Series s;
    double v = 0;
    EXPECT_FALSE(s.GetXMin(v));
    s.AddPoint(2, -1);
    Bounds b = BoundsOf(s);
    EXPECT_EQ(b.xMin, 2);
    EXPECT_EQ(b.xMax, 2);
    s.AddPoint(-3, 5);
    s.AddPoint(7, 0);
    b = BoundsOf(s);
    EXPECT_EQ(b.xMin, -3);
    EXPECT_EQ(b.xMax, 7);
    EXPECT_EQ(b.yMin, -1);
    EXPECT_EQ(b.yMax, 5);
    EXPECT_EQ(s.Count(), 3);
    EXPECT_EQ(s.X(1), -3);
    EXPECT_EQ(s.Y(1), 5);

    s.ClearPoints();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_FALSE(s.GetYMax(v));
    s.AddPoint(10, 20);
    b = BoundsOf(s);
    EXPECT_EQ(b.xMin, 10);
    EXPECT_EQ(b.yMin, 20);
}

TEST(XYDataSeries, NonFinitePointsAreKeptButDoNotStretchTheBounds) {
    Series s;
    s.AddPoint(std::nan(""), 1);
    double v = 0;
    EXPECT_FALSE(s.GetXMin(v));
    s.AddPoint(1, 2);
    s.AddPoint(std::numeric_limits<double>::infinity(), 3);
    s.AddPoint(4, -std::numeric_limits<double>::infinity());
    const Bounds b = BoundsOf(s);
    EXPECT_EQ(s.Count(), 4);  // the data files still hold every point
    EXPECT_EQ(b.xMin, 1);
    EXPECT_EQ(b.xMax, 1);
    EXPECT_EQ(b.yMax, 2);
}

TEST(XYDataSeries, PointsAddedAtOnceEqualThePointsAddedOneByOne) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<PlotPoint> points = {{std::nan(""), 1}, {2, -1}, {inf, 3},
                                           {-3, 5},           {7, 0},  {4, -inf}};
    Series one, batched;
    for (const PlotPoint& p : points) {
        one.AddPoint(p.x, p.y);
    }
    // In pieces, the later ones growing lists that already hold points.
    batched.AddPoints(points.data(), 2);
    batched.AddPoints(points.data() + 2, 0);
    batched.AddPoints(points.data() + 2, points.size() - 2);
    ASSERT_EQ(batched.Count(), one.Count());
    for (int i = 0; i < one.Count(); ++i) {
        EXPECT_EQ(std::isnan(batched.X(i)), std::isnan(one.X(i)));
        EXPECT_TRUE(std::isnan(one.X(i)) || batched.X(i) == one.X(i)) << i;
        EXPECT_EQ(batched.Y(i), one.Y(i)) << i;
    }
    const Bounds a = BoundsOf(one), b = BoundsOf(batched);
    EXPECT_EQ(std::vector<double>({a.xMin, a.xMax, a.yMin, a.yMax}),
              std::vector<double>({b.xMin, b.xMax, b.yMin, b.yMax}));
}

TEST(XYDataSeries, RepaintRequestsHonourLockAndActivity) {
    RecordingHost host;
    Series s;
    s.SetPlot(&host);
    EXPECT_EQ(host.attached, 1);
    s.AddPoint(1, 1);
    EXPECT_EQ(host.immediateRepaints, 1);

    s.SetDrawLocked(true);
    for (int i = 0; i < 1000; ++i) {
        s.AddPoint(i, i);
    }
    s.ClearPoints();
    s.AddPoint(1, 2);
    EXPECT_EQ(host.immediateRepaints, 1);
    EXPECT_EQ(host.laterRepaints, 0);
    s.SetDrawLocked(false);  // one repaint for the whole batch
    EXPECT_EQ(host.laterRepaints, 1);

    s.SetActive(false);
    EXPECT_EQ(host.laterRepaints, 2);  // the plot re-scales without it
    s.AddPoint(3, 3);
    s.ClearPoints();
    s.SetDrawLocked(true);
    s.SetDrawLocked(false);
    EXPECT_EQ(host.immediateRepaints, 1);
    EXPECT_EQ(host.laterRepaints, 2);

    s.SetActive(true);
    EXPECT_EQ(host.laterRepaints, 3);
    s.ClearPoints();  // empty already: nothing to repaint
    EXPECT_EQ(host.laterRepaints, 3);
    s.LineAttr().SetColor(clRed);
    EXPECT_EQ(host.appearance, 1);
}

TEST(XYDataSeries, PlotLinkIsDroppedOnBothSides) {
    RecordingHost first;
    RecordingHost second;
    {
        Series s;
        s.SetPlot(&first);
        s.SetPlot(&first);
        EXPECT_EQ(first.attached, 1);
        s.SetPlot(&second);
        EXPECT_EQ(first.detached, 1);
        EXPECT_EQ(second.attached, 1);
        s.PlotDestroyed();
        EXPECT_EQ(s.Plot(), nullptr);
        s.SetPlot(&second);
    }
    EXPECT_EQ(second.detached, 1);  // destroying the series detaches it
}

TEST(PointAttr, SizeReadsBackAsLeftPlusRightExtent) {
    Tsp_PointAttr attr;
    EXPECT_EQ(attr.HSize(), 5);
    attr.SetHSize(4);
    EXPECT_EQ(attr.HSize(), 5);
    EXPECT_EQ(attr.LeftExtent(), 2);
    EXPECT_EQ(attr.RightExtent(), 3);
    attr.SetHSize(1);
    EXPECT_EQ(attr.HSize(), 1);
    attr.SetVSize(0);
    EXPECT_EQ(attr.VSize(), 1);
    EXPECT_EQ(attr.TopExtent(), 0);
    attr.SetVSize(-7);
    EXPECT_EQ(attr.VSize(), 1);
    int changes = 0;
    attr.OnChange = [&] { ++changes; };
    attr.SetKind(ptCross);
    attr.SetHSize(3);
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace kalvora

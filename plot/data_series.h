#pragma once

#include <cstddef>
#include <vector>

#include "core/point_sink.h"
#include "plot/line_attr.h"
#include "plot/plot_types.h"

namespace kalvora {

class Tsp_DataSeries;
// What a series draws on; defined by the widget layer (plot/xy_plot.h).
struct Tsp_DrawContext;

// The plot as a series sees it. Tsp_XYPlot implements it; the arithmetic layer needs nothing more,
// which keeps the series storage free of widget code.
class Tsp_SeriesHost {
  public:
    // Adds the series to the host's list (once) and, if it is active, auto-scales its axes.
    virtual void AttachSeries(Tsp_DataSeries& series) = 0;
    // Removes the series and auto-scales what it was bound to.
    virtual void DetachSeries(Tsp_DataSeries& series) = 0;
    // The series' data changed: auto-scale its two axes and repaint, at once or later.
    virtual void SeriesChanged(Tsp_DataSeries& series, bool repaintNow) = 0;
    // Only the series' look changed: repaint the field.
    virtual void SeriesAppearanceChanged(Tsp_DataSeries& series) = 0;

  protected:
    ~Tsp_SeriesHost() = default;
};

// Anything drawable in a plot, bound to one X and one Y axis.
class Tsp_DataSeries {
  public:
    Tsp_DataSeries() = default;
    virtual ~Tsp_DataSeries();
    Tsp_DataSeries(const Tsp_DataSeries&) = delete;
    Tsp_DataSeries& operator=(const Tsp_DataSeries&) = delete;

    Tsp_SeriesHost* Plot() const { return plot_; }
    // Detaches from the old plot and attaches to the new one (nullptr: no plot).
    void SetPlot(Tsp_SeriesHost* plot);
    // Called by a plot that is being destroyed: forget it without calling back.
    void PlotDestroyed() { plot_ = nullptr; }

    Tsp_WhatXAxis XAxis() const { return xAxis_; }
    Tsp_WhatYAxis YAxis() const { return yAxis_; }

    // Inactive series are neither drawn nor used for auto-scaling.
    bool Active() const { return active_; }
    void SetActive(bool active);

    virtual void Draw(const Tsp_DrawContext& context) = 0;
    // Each returns false for an empty series, else true and the bound.
    virtual bool GetXMin(double& value) const = 0;
    virtual bool GetXMax(double& value) const = 0;
    virtual bool GetYMin(double& value) const = 0;
    virtual bool GetYMax(double& value) const = 0;

  protected:
    // Asks the plot to auto-scale this series' axes and repaint (no-op without a plot).
    void RequestAutoScale(bool repaintNow);

  private:
    Tsp_SeriesHost* plot_ = nullptr;
    Tsp_WhatXAxis xAxis_ = dsxBottom;
    Tsp_WhatYAxis yAxis_ = dsyLeft;
    bool active_ = true;
};

// A growable list of (x, y) points with cached bounds. Appending is amortised O(1); while
// DrawLocked is set (or the series is inactive) appending never touches the plot, so a computation
// can stream millions of points and repaint once at the end.
class Tsp_XYDataSeries : public Tsp_DataSeries {
  public:
    Tsp_XYDataSeries();

    void AddPoint(double x, double y);
    // AddPoint for each, in order, growing the lists once.
    void AddPoints(const PlotPoint* points, std::size_t count);
    void ClearPoints();
    // Room for n points without further growth (a hint for large runs).
    void Reserve(std::size_t n);

    int Count() const { return static_cast<int>(xs_.size()); }
    double X(int i) const { return xs_[static_cast<std::size_t>(i)]; }
    double Y(int i) const { return ys_[static_cast<std::size_t>(i)]; }
    const std::vector<double>& XValues() const { return xs_; }
    const std::vector<double>& YValues() const { return ys_; }

    bool DrawLocked() const { return drawLocked_; }
    void SetDrawLocked(bool locked);

    Tsp_LineAttr& LineAttr() { return lineAttr_; }
    const Tsp_LineAttr& LineAttr() const { return lineAttr_; }

    // Bounds over the points with finite coordinates; false when there is none.
    bool GetXMin(double& value) const override;
    bool GetXMax(double& value) const override;
    bool GetYMin(double& value) const override;
    bool GetYMax(double& value) const override;

  protected:
    // Called by the owned attributes after every change.
    virtual void AttributeChanged();

  private:
    void ExtendBounds(double x, double y) const;
    void RebuildBounds() const;

    std::vector<double> xs_;
    std::vector<double> ys_;
    Tsp_LineAttr lineAttr_;
    bool drawLocked_ = false;
    // The cache is rebuilt lazily after ClearPoints; appending keeps it valid.
    mutable bool boundsValid_ = true;
    mutable bool hasBounds_ = false;
    mutable double xMin_ = 0, xMax_ = 0, yMin_ = 0, yMax_ = 0;
};

}  // namespace kalvora

#pragma once

#include <string>

#include "plot/scale.h"

namespace kalvora {

class Tsp_XYPlot;

// A scale that belongs to a plot: the free margin outside its labels, a grid, auto-scaling flags
// and tick labels the plot may rewrite (OnGetTickLabel). Every change invalidates what depends on
// it: the whole plot for the line, margin, range and labels, only the field for the grid.
class Tsp_Axis : public Tsp_Scale {
  public:
    Tsp_Axis(Tsp_XYPlot& plot, int flags);

    Tsp_XYPlot& Plot() const { return plot_; }

    // Writing a bound switches that end's auto-scaling off, so later points no longer move it.
    void SetMin(double value) override;
    void SetMax(double value) override;
    void SetTicksCount(int count) override;
    std::string TickLabel(int i) const override;

    int Margin() const { return margin_; }
    void SetMargin(int margin);

    // The name shown along the axis, outside its tick labels (a variable, a parameter, "time");
    // empty for none. The plot shows titles while its ShowAxisTitles is on.
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);

    Tsp_LineAttr& GridAttr() { return gridAttr_; }
    const Tsp_LineAttr& GridAttr() const { return gridAttr_; }

    // The range before the first zoom or pan, kept so that a click can undo them.
    double SavedMin() const { return savedMin_; }
    double SavedMax() const { return savedMax_; }
    void SaveRange();

  protected:
    void FlagsChanged(int oldFlags, int newFlags) override;
    void AppearanceChanged() override;
    void RangeChanged() override;

  private:
    Tsp_XYPlot& plot_;
    double savedMin_ = 0;
    double savedMax_ = 10;
    int margin_ = 4;
    std::string title_;
    Tsp_LineAttr gridAttr_;
};

}  // namespace kalvora

#include "plot/axis.h"

#include "plot/xy_plot.h"

namespace kalvora {

Tsp_Axis::Tsp_Axis(Tsp_XYPlot& plot, int flags) : plot_(plot) {
    SetLabelFormat("###0.##");
    SetTicksCount(5);
    SetSFlags(flags);
    gridAttr_.SetColor(clGray);
    gridAttr_.SetVisible(false);
    LineAttr().OnChange = [this] { plot_.Invalidate(); };
    gridAttr_.OnChange = [this] { plot_.InvalidateField(); };
}

void Tsp_Axis::SetMin(double value) {
    if (value == Min()) {
        return;
    }
    // Cleared without re-running auto-scaling: the bound is being set by hand.
    SetFlagSilently(sfiAutoMin, false);
    SetRange(value, Max());
    plot_.Invalidate();
}

void Tsp_Axis::SetMax(double value) {
    if (value == Max()) {
        return;
    }
    SetFlagSilently(sfiAutoMax, false);
    SetRange(Min(), value);
    plot_.Invalidate();
}

void Tsp_Axis::SetTicksCount(int count) {
    Tsp_Scale::SetTicksCount(count);
    plot_.Invalidate();
}

std::string Tsp_Axis::TickLabel(int i) const {
    std::string text = Tsp_Scale::TickLabel(i);
    if (plot_.OnGetTickLabel) {
        plot_.OnGetTickLabel(const_cast<Tsp_Axis&>(*this), i, TickValue(i), text);
    }
    return text;
}

void Tsp_Axis::SetMargin(int margin) {
    margin_ = margin;
    plot_.Invalidate();
}

void Tsp_Axis::SetTitle(const std::string& title) {
    if (title == title_) {
        return;
    }
    title_ = title;
    plot_.Invalidate();
}

void Tsp_Axis::SaveRange() {
    savedMin_ = Min();
    savedMax_ = Max();
}

void Tsp_Axis::FlagsChanged(int oldFlags, int newFlags) {
    const int autoBits = sfAutoMin | sfAutoMax;
    if ((oldFlags ^ newFlags) & autoBits) {
        if (plot_.AutoScaleAxis(*this)) {
            plot_.Invalidate();
        }
    }
    if ((oldFlags ^ newFlags) & ~autoBits) {
        plot_.Invalidate();
    }
}

void Tsp_Axis::AppearanceChanged() {
    plot_.Invalidate();
}

void Tsp_Axis::RangeChanged() {
    plot_.AxisRangeChanged(*this);
}

}  // namespace kalvora

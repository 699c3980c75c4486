#pragma once

#include "analysis/sweep/lyapunov/tluyapunovset.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// "Largest Lyapunov Exponent Diagram": the exponent over the parameter interval as a blue curve
// over the red zero line. The sweep runs on every core through the computing window.
class TLuyapunovPlot : public PlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 4;

    TLuyapunovPlot(AnalysisHost& host, TLuyapunovSet& settings);

    Tsp_XYLine& curve() { return curve_; }         // `data`
    Tsp_XYLine& null_line() { return nullLine_; }  // the zero line
    Tsp_XYLine& data1() { return spare_; }         // the spare empty series

    // The main-window command: refill the dialog's parameter list and show the dialog.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    // Accept in the parameter window while this window is visible and opened it (tag 4).
    void recomputeAfterAccept();

    const SweepOutcome& lastOutcome() const { return lastOutcome_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool run(const LyapunovSettings& settings);

    TLuyapunovSet& settings_;
    Tsp_XYLine curve_;
    Tsp_XYLine nullLine_;
    Tsp_XYLine spare_;
    SweepOutcome lastOutcome_;
};

}  // namespace kalvora

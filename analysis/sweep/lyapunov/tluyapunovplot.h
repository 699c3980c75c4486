#pragma once

#include <optional>

#include "analysis/sweep/common/sweep_run.h"
#include "analysis/sweep/lyapunov/tluyapunovset.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Lyapunov Exponent".
struct LyapunovWindowSettings {
    LyapunovSettings sweep;
    // Off: the number of parameter steps follows the width of the data area at each sweep.
    bool manualResolution = false;
    std::optional<ScalingGroup::Limits> manualScaling;
};

// "Largest Lyapunov Exponent Diagram": the exponent over the parameter interval as a blue curve
// over the red zero line. The sweep runs on every core through the computing window.
class TLuyapunovPlot : public AnalysisWindow<PlotWindow, LyapunovWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Lyapunov;

    TLuyapunovPlot(AnalysisHost& host, TLuyapunovSet& settings);

    Tsp_XYLine& curve() { return curve_; }         // `data`
    Tsp_XYLine& null_line() { return nullLine_; }  // the zero line
    Tsp_XYLine& data1() { return spare_; }         // the spare empty series

    // The main-window command: refill the dialog's parameter list and show the dialog.
    void open();

    const SweepOutcome& lastOutcome() const { return lastOutcome_; }

  protected:
    LyapunovWindowSettings readDialog() const override;
    void validate(const LyapunovWindowSettings& settings) const override;
    bool prepareSeries(const LyapunovWindowSettings& settings) override;
    bool compute(const LyapunovWindowSettings& settings) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    LyapunovSettings sweepOf(const LyapunovWindowSettings& settings) const;

    TLuyapunovSet& settings_;
    Tsp_XYLine curve_;
    Tsp_XYLine nullLine_;
    Tsp_XYLine spare_;
    SweepOutcome lastOutcome_;
};

}  // namespace kalvora

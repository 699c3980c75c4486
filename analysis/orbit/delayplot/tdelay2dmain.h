#pragma once

#include <QAction>
#include <memory>
#include <optional>

#include "analysis/orbit/common/parameter_sweep.h"
#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/delayplot/tdelay2dsettings.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Delay Plot": every run of the window comes from this value.
struct DelayPlotWindowSettings {
    DelayPlotSettings run;
    bool plotSquares = false;
    bool connectPoints = false;
    std::optional<ScalingGroup::Limits> manualScaling;
    VaryingParameterGroup::Sweep sweep{};
};

// "2-Dimensional Delay Plot": one variable against itself d steps later, with a slider that sweeps
// one parameter. Each run replaces the single plotted series.
class Tdelay2Dmain : public AnalysisWindow<PlotWindow, DelayPlotWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::DelayPlot;

    Tdelay2Dmain(AnalysisHost& host, Tdelay2dsettings& settings);

    ParameterSlider* ScrollBar1;

    // The plotted series, and the spare empty one the picture export passes for the unused slots.
    Tsp_XYLine& plotted() { return *plotted_; }
    Tsp_XYLine& spare() { return *spare_; }

    // The main-window command: refill the settings dialog and show it.
    void open();
    void SettingsClick() override;
    void SaveDataAs1Click();
    // A slider move by the user.
    void ScrollBar1Change();

  protected:
    DelayPlotWindowSettings readDialog() const override;
    void validate(const DelayPlotWindowSettings& settings) const override;
    bool prepareSeries(const DelayPlotWindowSettings& settings) override;
    bool compute(const DelayPlotWindowSettings& settings) override;
    void acceptedRunStarting() override;
    void acceptedRunFinished() override;
    void recomputeStarting() override;
    void resultClosed() override;

  private:
    Tdelay2dsettings& settings_;
    std::unique_ptr<Tsp_XYLine> plotted_;
    std::unique_ptr<Tsp_XYLine> spare_;
    ParameterSweep sweep_;
    long long lastDelaySteps_ = 1;
    // A slider move arrived while a run went on: run again once it has ended.
    bool slideWaiting_ = false;
};

}  // namespace kalvora

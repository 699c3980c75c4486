#pragma once

#include <QAction>
#include <memory>

#include "analysis/orbit/common/parameter_sweep.h"
#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/delayplot/tdelay2dsettings.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// "2-Dimensional Delay Plot": one variable against itself d steps later, with a slider that sweeps
// one parameter. Each run replaces the single plotted series.
class Tdelay2Dmain : public PlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 5;

    Tdelay2Dmain(AnalysisHost& host, Tdelay2dsettings& settings);

    ParameterSlider* ScrollBar1;

    // The plotted series, and the spare empty one the picture export passes for the unused slots.
    Tsp_XYLine& plotted() { return *plotted_; }
    Tsp_XYLine& spare() { return *spare_; }

    // The main-window command: refill the settings dialog and show it.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    void SettingsClick() override;
    void SaveDataAs1Click();
    // A slider move by the user.
    void ScrollBar1Change();
    // Accept in the parameter window while this window is visible and opened it (tag 5).
    void recomputeAfterAccept();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    // Raises the error of settings the next run cannot carry out (a slider step count, a delay, a
    // time or a count that is refused) without changing anything.
    void checkRunnable() const;
    // DelayPlotRun as the window performs it. False when the run was aborted (bad scaling limits),
    // which leaves the settings dialog shown and this window disabled.
    bool run();

    Tdelay2dsettings& settings_;
    std::unique_ptr<Tsp_XYLine> plotted_;
    std::unique_ptr<Tsp_XYLine> spare_;
    ParameterSweep sweep_;
    long long lastDelaySteps_ = 1;
};

}  // namespace kalvora

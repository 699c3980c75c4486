#pragma once

#include <QAction>
#include <functional>
#include <optional>
#include <utility>

#include "analysis/orbit/common/parameter_sweep.h"
#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/phaseplot/tform2dsettings.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Phase Plot": every run of the window comes from this value.
struct PhasePlotWindowSettings {
    PhasePlotSettings run;
    bool plotSquares = false;
    bool connectPoints = false;
    std::optional<ScalingGroup::Limits> manualScaling;
    VaryingParameterGroup::Sweep sweep{};
};

// "Phase Plot": an orbit in the plane of two variables, up to five orbits overlaid, a slider that
// sweeps one parameter and "&Next Iteration Set", which continues the current orbit.
class Tplot2Dmain : public AnalysisWindow<SlotPlotWindow, PhasePlotWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::PhasePlot;

    Tplot2Dmain(AnalysisHost& host, Tform2dsettings& settings);

    QAction* NextIterationSet1;
    ParameterSlider* ScrollBar1;

    // The main-window command: empty the slots, refill the settings dialog and show it.
    void open();
    void NextIterationSetClick();
    // A slider move by the user.
    void ScrollBar1Change();

    // The basins dialog's cycle capture: a short orbit after the basin's transient, drawn with
    // squares from the dialog's axis variables, whose end state goes into the dialog's cycle
    // table. The mode lasts until this window closes.
    struct CycleCapture {
        std::function<std::pair<int, int>()> variables;  // 1-based StateVector entries
        std::function<void(const StateVector& endState)> captured;
    };
    // Sets 100 plotted points after `transient` unplotted ones and squares on, and opens the
    // parameter window under the capture's tag.
    void startCycleCapture(int transient, CycleCapture capture);
    // Accept in the parameter window under the capture's tag: run, plot, bring this window to the
    // front, hand over the end state.
    void recomputeCycleCapture();
    bool inCycleCapture() const { return capture_.has_value(); }
    void SettingsClick() override;

    bool continuation() const { return continuation_; }
    const PhasePlotOrbit& orbit() const { return orbit_; }

  protected:
    void startRunIntoSlot() override;
    void slotRemoved() override;

    PhasePlotWindowSettings readDialog() const override;
    void validate(const PhasePlotWindowSettings& settings) const override;
    bool prepareSeries(const PhasePlotWindowSettings& settings) override;
    bool compute(const PhasePlotWindowSettings& settings) override;
    void acceptedRunStarting() override;
    void acceptedRunFinished() override;
    void recomputeStarting() override;
    void recomputeFinished() override;
    void resultClosed() override;

  private:
    Tform2dsettings& settings_;
    ParameterSweep sweep_;
    PhasePlotOrbit orbit_;
    bool continuation_ = false;
    std::optional<CycleCapture> capture_;
    bool capturing_ = false;
    // A slider move arrived while a run went on: run again once it has ended.
    bool slideWaiting_ = false;

    // Whether the next run continues the kept orbit.
    bool continuing() const;
    // The run's settings, with the basins dialog's variables during a cycle capture.
    PhasePlotSettings runSettings(const PhasePlotWindowSettings& settings) const;
};

}  // namespace kalvora

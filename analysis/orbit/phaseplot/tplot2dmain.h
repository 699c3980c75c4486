#pragma once

#include <QAction>
#include <functional>
#include <optional>
#include <utility>

#include "analysis/orbit/common/parameter_sweep.h"
#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/phaseplot/tform2dsettings.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// "Phase Plot": an orbit in the plane of two variables, up to five orbits overlaid, a slider that
// sweeps one parameter and "&Next Iteration Set", which continues the current orbit.
class Tplot2Dmain : public SlotPlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 2;

    Tplot2Dmain(AnalysisHost& host, Tform2dsettings& settings);

    QAction* NextIterationSet1;
    ParameterSlider* ScrollBar1;

    // The main-window command: empty the slots, refill the settings dialog and show it.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    void NextIterationSetClick();
    // A slider move by the user.
    void ScrollBar1Change();
    // Accept in the parameter window while this window is visible and opened it (tag 2).
    void recomputeAfterAccept();

    // The basins dialog's cycle capture: a short orbit after the basin's transient, drawn with
    // squares from the dialog's axis variables, whose end state goes into the dialog's cycle
    // table. The mode lasts until this window closes.
    struct CycleCapture {
        std::function<std::pair<int, int>()> variables;  // 1-based StateVector entries
        std::function<void(const StateVector& endState)> captured;
    };
    static constexpr int kCycleCaptureTag = 20;
    // Sets 100 plotted points after `transient` unplotted ones, squares on, and opens the
    // parameter window under the capture's tag.
    void startCycleCapture(int transient, CycleCapture capture);
    // Accept in the parameter window under the capture's tag: run, bring this window to the front,
    // plot, hand over the end state.
    void recomputeCycleCapture();
    bool inCycleCapture() const { return capture_.has_value(); }
    void SettingsClick() override;

    bool continuation() const { return continuation_; }
    const PhasePlotOrbit& orbit() const { return orbit_; }

  protected:
    void startRunIntoSlot() override;
    void slotRemoved() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Raises the error of settings the next run cannot carry out (a slider step count, a time or a
    // count that is refused) without changing anything.
    void checkRunnable() const;
    // PhasePlotRun as the window performs it: the slider's step count, then a fresh run (styled,
    // scaled, from the initial values) or a continuation of the kept orbit. False when the run
    // was aborted (bad scaling limits), which leaves the settings dialog shown and this window
    // disabled.
    bool run();
    // The dialog's settings, with the basins dialog's variables during a cycle capture.
    PhasePlotSettings runSettings() const;

    Tform2dsettings& settings_;
    ParameterSweep sweep_;
    PhasePlotOrbit orbit_;
    bool continuation_ = false;
    std::optional<CycleCapture> capture_;
    bool capturing_ = false;
};

}  // namespace kalvora

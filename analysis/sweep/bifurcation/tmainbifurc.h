#pragma once

#include "analysis/sweep/bifurcation/tbifsettings.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// "Bifurcation Diagram": the points of up to five sweeps overlaid, the parameter across, the plot
// variable up. The sweeps run on every core through the computing window; the picture is brought
// up to date about ten times per sweep.
class Tmainbifurc : public SlotPlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 3;

    Tmainbifurc(AnalysisHost& host, Tbifsettings& settings);

    // The main-window command: empty the slots, refill the dialog's lists, show the dialog.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    // Accept in the parameter window while this window is visible and opened it (tag 3).
    void recomputeAfterAccept();

    // The outcome of the last sweep (for the status of a stopped or failed run).
    const SweepOutcome& lastOutcome() const { return lastOutcome_; }

  protected:
    void startRunIntoSlot() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs the dialog's settings into the current slot; false when the run was refused (bad
    // scaling limits), which leaves the settings dialog shown and this window disabled.
    bool run(const BifurcationSettings& settings);

    Tbifsettings& settings_;
    SweepOutcome lastOutcome_;
};

}  // namespace kalvora

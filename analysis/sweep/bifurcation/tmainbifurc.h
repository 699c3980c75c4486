#pragma once

#include <optional>

#include "analysis/sweep/bifurcation/tbifsettings.h"
#include "analysis/sweep/common/sweep_run.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Bifurcation Diagram": every sweep of the window comes from this
// value.
struct BifurcationWindowSettings {
    BifurcationSettings sweep;
    // Off: the number of parameter steps follows the width of the data area at each sweep.
    bool manualResolution = false;
    std::optional<ScalingGroup::Limits> manualScaling;
};

// "Bifurcation Diagram": the points of up to five sweeps overlaid, the parameter across, the plot
// variable up. The sweeps run on every core through the computing window; the picture is brought
// up to date about ten times per sweep.
class Tmainbifurc : public AnalysisWindow<SlotPlotWindow, BifurcationWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Bifurcation;

    Tmainbifurc(AnalysisHost& host, Tbifsettings& settings);

    // The main-window command: empty the slots, refill the dialog's lists, show the dialog.
    void open();

    // The outcome of the last sweep (how far it came, whether it was stopped).
    const SweepOutcome& lastOutcome() const { return lastOutcome_; }

  protected:
    void startRunIntoSlot() override;

    BifurcationWindowSettings readDialog() const override;
    void validate(const BifurcationWindowSettings& settings) const override;
    bool prepareSeries(const BifurcationWindowSettings& settings) override;
    bool compute(const BifurcationWindowSettings& settings) override;
    void acceptedRunStarting() override;
    void recomputeFinished() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // The sweep of these settings with the resolution it runs with now.
    BifurcationSettings sweepOf(const BifurcationWindowSettings& settings) const;

    Tbifsettings& settings_;
    SweepOutcome lastOutcome_;
};

}  // namespace kalvora

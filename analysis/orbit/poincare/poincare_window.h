#pragma once

#include <optional>

#include "analysis/orbit/poincare/poincare_settings_dialog.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Poincaré Section".
struct PoincareWindowSettings {
    PoincareSettings run;
    int xVariable = 1;  // 1-based StateVector entries
    int yVariable = 2;
    std::optional<ScalingGroup::Limits> manualScaling;
};

// "Poincaré Section": the crossings of a flow's orbit through a section, drawn as points in two
// variables, up to five sections overlaid.
class PoincareWindow : public AnalysisWindow<SlotPlotWindow, PoincareWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Poincare;

    PoincareWindow(AnalysisHost& host, PoincareSettingsDialog& settings);

    // The main-window command: empty the slots, refill the dialog, show it.
    void open();

  protected:
    void startRunIntoSlot() override;

    PoincareWindowSettings readDialog() const override;
    void validate(const PoincareWindowSettings& settings) const override;
    bool prepareSeries(const PoincareWindowSettings& settings) override;
    bool compute(const PoincareWindowSettings& settings) override;
    void acceptedRunStarting() override;
    void recomputeFinished() override;

  private:
    PoincareSettingsDialog& settings_;
};

}  // namespace kalvora

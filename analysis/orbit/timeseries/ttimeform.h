#pragma once

#include "analysis/orbit/timeseries/ttimeform2.h"
#include "analysis/window/slot_plot_window.h"

namespace kalvora {

// "Timeseries Plot": one variable against time, up to five runs overlaid.
class Ttimeform : public SlotPlotWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = 1;

    Ttimeform(AnalysisHost& host, Ttimeform2& settings);

    // The main-window command: empty the slots, refill the variables, show the settings.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    // Accept in the parameter window while this window is visible and opened it (tag 1).
    void recomputeAfterAccept();

  protected:
    void startRunIntoSlot() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Raises the error of settings that cannot run (a time that does not convert, an interval
    // with more points than a run may plot) without changing anything.
    void checkRunnable() const;
    // Runs into the current series; false when the run was aborted (bad scaling limits), which
    // leaves the settings dialog shown and this window disabled.
    bool run();

    Ttimeform2& settings_;
};

}  // namespace kalvora

#pragma once

#include <QAction>
#include <QMenu>

#include "analysis/orbit/timeseries/ttimeform2.h"
#include "plot/window/slot_plot_window.h"

namespace kalvora {

// "Timeseries Plot": one variable against time, up to five runs overlaid.
class Ttimeform : public SlotPlotWindow {
    Q_OBJECT
  public:
    Ttimeform(AnalysisHost& host, Ttimeform2& settings);

    QAction* Parameters1;
    QAction* Settings1;

    // The main-window command: empty the slots, refill the variables, show the settings.
    void open();
    // "OK" in the settings dialog.
    void okbuttonClick();
    // "Cancel" or closing the settings dialog.
    void settingsCancelled();
    void SettingsClick();
    void ParametersClick();
    // Accept in the parameter window while this window is visible and opened it (tag 1).
    void recomputeAfterAccept();

  protected:
    void startRunIntoSlot() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    // Runs into the current series; false when the run was aborted (bad scaling limits), which
    // leaves the settings dialog shown and this window disabled.
    bool run();

    Ttimeform2& settings_;
};

}  // namespace kalvora

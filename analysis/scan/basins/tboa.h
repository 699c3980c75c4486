#pragma once

#include <functional>

#include "analysis/scan/basins/tbasins.h"
#include "analysis/scan/common/scan_window.h"

namespace kalvora {

// "Basin of Atraction": the framed picture of the last basin scan.
class TBoA : public ScanResultWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Basins;

    TBoA(AnalysisHost& host, TBasins& settings);

    // The main-window command: refresh the dialog's tables, lists and panels and show it.
    void open();
    // "Run" in the settings dialog.
    void RunClick();
    // Accept in the parameter window while this window is visible and opened it.
    void recomputeAfterAccept();
    void SaveDataAs1Click();
    void SettingsClick();

    // The settings of the last Run: the parameter window's Accept scans again from these, and
    // Cancel in the dialog returns the dialog to them.
    const BasinSettings& acceptedSettings() const { return accepted_; }

  private:
    // Scans with these settings and shows the picture; false when the scan was refused
    // (reported).
    bool scan(const BasinSettings& settings);

    TBasins& settings_;
    BasinSettings accepted_;
    SettingsDialog::Snapshot acceptedDialog_;
    // The colours and the number of cycles of the last scan, which its saved data select by.
    ScanColours scanColours_{};
    int scanCycles_ = 0;
};

}  // namespace kalvora

#pragma once

#include <functional>

#include "analysis/scan/common/scan_window.h"
#include "analysis/scan/periods/tpercycles.h"

namespace kalvora {

// "Parameter Basins for Periodic Cycles": the framed picture of the last period scan.
class TBoC : public ScanResultWindow {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::CycleBasins;

    // scanned: called after every scan (the basins dialog ticks "All dim.").
    TBoC(AnalysisHost& host, TPerCycles& settings, std::function<void()> scanned = {});

    void open();
    void RunClick();
    void recomputeAfterAccept();
    void SaveDataAs1Click();
    void SettingsClick();

    // The settings of the last Run: the parameter window's Accept scans again from these, and
    // Cancel in the dialog returns the dialog to them.
    const PeriodSettings& acceptedSettings() const { return accepted_; }

  private:
    bool scan(const PeriodSettings& settings);

    TPerCycles& settings_;
    PeriodSettings accepted_;
    SettingsDialog::Snapshot acceptedDialog_;
    std::function<void()> scanned_;
    ScanColours scanColours_{};
    int scanCycles_ = 0;
};

}  // namespace kalvora

#pragma once

#include <functional>

#include "analysis/scan/common/scan_analysis_window.h"
#include "analysis/scan/periods/tpercycles.h"

namespace kalvora {

// "Parameter Basins for Periodic Cycles": the framed picture of the last period scan.
class TBoC : public ScanAnalysisWindow<TPerCycles, PeriodSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::CycleBasins;

    // scanned: called after every scan (the basins dialog ticks "All dim.").
    TBoC(AnalysisHost& host, TPerCycles& settings, std::function<void()> scanned = {});

    void SaveDataAs1Click();

  private:
    void validate(const PeriodSettings& settings) const override;
    void scanAndShow(const PeriodSettings& settings) override;

    std::function<void()> scanned_;
    ScanColours scanColours_{};
    int scanCycles_ = 0;
};

}  // namespace kalvora

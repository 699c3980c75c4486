#pragma once

#include <functional>

#include "analysis/scan/basins/tbasins.h"
#include "analysis/scan/common/scan_analysis_window.h"

namespace kalvora {

// "Basin of Attraction": the framed picture of the last basin scan.
class TBoA : public ScanAnalysisWindow<TBasins, BasinSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Basins;

    TBoA(AnalysisHost& host, TBasins& settings);

    void SaveDataAs1Click();

  private:
    void validate(const BasinSettings& settings) const override;
    void scanAndShow(const BasinSettings& settings) override;

    // The colours and the number of cycles of the last scan, which its saved data select by.
    ScanColours scanColours_{};
    int scanCycles_ = 0;
};

}  // namespace kalvora

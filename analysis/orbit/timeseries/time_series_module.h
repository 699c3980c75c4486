#pragma once

#include <memory>

#include "analysis/host/analysis_host.h"
#include "analysis/orbit/timeseries/ttimeform.h"
#include "analysis/orbit/timeseries/ttimeform2.h"

namespace kalvora {

// The time-series analysis as the main window sees it: "&Time Series..." opens it, Accept in the
// parameter window recomputes it under tag 1.
class TimeSeriesModule final : public AnalysisModule {
  public:
    explicit TimeSeriesModule(AnalysisHost& host);
    ~TimeSeriesModule() override;

    void open() override;
    void closeWindows() override;
    QList<QWidget*> resultWindows() const override;
    int analysisTag() const override { return 1; }
    void recomputeAfterAccept() override;

    Ttimeform2& settingsDialog() { return *settings_; }
    Ttimeform& resultWindow() { return *window_; }

  private:
    std::unique_ptr<Ttimeform2> settings_;
    std::unique_ptr<Ttimeform> window_;
};

}  // namespace kalvora

#pragma once

#include <memory>

#include "analysis/host/analysis_host.h"
#include "analysis/orbit/phaseplot/tform2dsettings.h"
#include "analysis/orbit/phaseplot/tplot2dmain.h"

namespace kalvora {

// The phase plot as the main window sees it: "&Phase Plot..." opens it, Accept in the parameter
// window recomputes it under tag 2.
class PhasePlotModule final : public AnalysisModule {
  public:
    explicit PhasePlotModule(AnalysisHost& host);
    ~PhasePlotModule() override;

    void open() override;
    void closeWindows() override;
    QList<QWidget*> resultWindows() const override;
    int analysisTag() const override { return Tplot2Dmain::kAnalysisTag; }
    void recomputeAfterAccept() override;

    Tform2dsettings& settingsDialog() { return *settings_; }
    Tplot2Dmain& resultWindow() { return *window_; }

  private:
    std::unique_ptr<Tform2dsettings> settings_;
    std::unique_ptr<Tplot2Dmain> window_;
};

}  // namespace kalvora

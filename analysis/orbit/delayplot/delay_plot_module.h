#pragma once

#include <memory>

#include "analysis/host/analysis_host.h"
#include "analysis/orbit/delayplot/tdelay2dmain.h"
#include "analysis/orbit/delayplot/tdelay2dsettings.h"

namespace kalvora {

// The delay plot as the main window sees it: "&Delay Plot..." opens it, Accept in the parameter
// window recomputes it under tag 5.
class DelayPlotModule final : public AnalysisModule {
  public:
    explicit DelayPlotModule(AnalysisHost& host);
    ~DelayPlotModule() override;

    void open() override;
    void closeWindows() override;
    QList<QWidget*> resultWindows() const override;
    int analysisTag() const override { return Tdelay2Dmain::kAnalysisTag; }
    void recomputeAfterAccept() override;

    Tdelay2dsettings& settingsDialog() { return *settings_; }
    Tdelay2Dmain& resultWindow() { return *window_; }

  private:
    std::unique_ptr<Tdelay2dsettings> settings_;
    std::unique_ptr<Tdelay2Dmain> window_;
};

}  // namespace kalvora

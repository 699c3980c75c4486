#pragma once

#include <memory>

#include "analysis/orbit/phaseplot/tplot2dmain.h"
#include "analysis/scan/basins/tboa.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// Basins of attraction: "Basin of &Attraction..." opens the dialog, Accept in the parameter window
// rescans under tag 6, and a double click in the dialog starts the phase plot's cycle capture.
class BasinsModule final : public AnalysisModule {
  public:
    BasinsModule(AnalysisHost& host, Tplot2Dmain& phasePlot);
    ~BasinsModule() override;

    void open() override { window_->open(); }
    void closeWindows() override;
    QList<QWidget*> resultWindows() const override { return {window_.get()}; }
    int analysisTag() const override { return TBoA::kAnalysisTag; }
    void recomputeAfterAccept() override { window_->recomputeAfterAccept(); }

    TBasins& settingsDialog() { return *settings_; }
    TBoA& resultWindow() { return *window_; }

  private:
    std::unique_ptr<TBasins> settings_;
    std::unique_ptr<TBoA> window_;
};

// Accept in the parameter window under the cycle-capture tag: the phase plot runs in capture mode.
class CycleCaptureModule final : public AnalysisModule {
  public:
    explicit CycleCaptureModule(Tplot2Dmain& phasePlot) : phasePlot_(phasePlot) {}

    void open() override {}
    void closeWindows() override {}
    QList<QWidget*> resultWindows() const override { return {}; }
    int analysisTag() const override { return AnalysisTag::PhasePlotCycleCapture; }
    void recomputeAfterAccept() override { phasePlot_.recomputeCycleCapture(); }

  private:
    Tplot2Dmain& phasePlot_;
};

}  // namespace kalvora

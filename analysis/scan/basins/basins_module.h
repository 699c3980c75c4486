#pragma once

#include <memory>

#include "analysis/orbit/phaseplot/tplot2dmain.h"
#include "analysis/scan/basins/tboa.h"
#include "analysis/window/analysis_host.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// Basins of attraction: "Basin of &Attraction..." opens the dialog, Accept in the parameter window
// rescans under tag 6.
using BasinsModule = AnalysisWindowsModule<TBasins, TBoA>;

// A double click in the basins dialog starts the phase plot's cycle capture, which writes the
// captured state into the dialog's cycle table.
void ConnectCycleCapture(TBasins& basins, Tplot2Dmain& phasePlot);

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

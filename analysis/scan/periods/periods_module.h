#pragma once

#include <memory>

#include "analysis/scan/basins/tbasins.h"
#include "analysis/scan/periods/tboc.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// Parameter basins for periodic cycles: "Parameter Basins for Periodic &Cycles" opens the dialog,
// Accept in the parameter window rescans under tag 7. Every scan ticks "All dim." in the basins
// dialog.
class PeriodsModule final : public AnalysisModule {
  public:
    PeriodsModule(AnalysisHost& host, TBasins& basins)
        : settings_(std::make_unique<TPerCycles>(host.workspace())),
          window_(std::make_unique<TBoC>(host, *settings_,
                                         [&basins] { basins.alldim->setChecked(true); })) {}
    // The window refers to the dialog, so it goes first.
    ~PeriodsModule() override { window_.reset(); }

    void open() override { window_->open(); }
    void closeWindows() override {
        if (window_->isVisible()) {
            window_->close();
        }
        if (settings_->isVisible()) {
            settings_->close();
        }
    }
    QList<QWidget*> resultWindows() const override { return {window_.get()}; }
    int analysisTag() const override { return TBoC::kAnalysisTag; }
    void recomputeAfterAccept() override { window_->recomputeAfterAccept(); }

    TPerCycles& settingsDialog() { return *settings_; }
    TBoC& resultWindow() { return *window_; }

  private:
    std::unique_ptr<TPerCycles> settings_;
    std::unique_ptr<TBoC> window_;
};

}  // namespace kalvora

#pragma once

#include <memory>

#include "analysis/data/sheet/tsheet.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// "&SpreadSheet": the window alone, refilled after every Accept in the parameter window while it
// is visible.
class SpreadsheetModule final : public AnalysisModule {
  public:
    explicit SpreadsheetModule(AnalysisHost& host) : window_(std::make_unique<TSheet>(host)) {}

    void open() override { window_->open(); }
    void closeWindows() override {
        if (window_->isVisible()) {
            window_->close();
        }
    }
    QList<QWidget*> resultWindows() const override { return {window_.get()}; }
    int analysisTag() const override { return kRecomputeOnEveryAccept; }
    void recomputeAfterAccept() override { window_->recomputeAfterAccept(); }

    TSheet& window() { return *window_; }

  private:
    std::unique_ptr<TSheet> window_;
};

}  // namespace kalvora

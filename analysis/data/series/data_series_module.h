#pragma once

#include "analysis/data/series/tbuild.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// "&Data Series": the dialog that writes orbit files. It has no result window and is not
// recomputed after Accept.
class DataSeriesModule final : public AnalysisModule {
  public:
    explicit DataSeriesModule(AnalysisHost& host) : dialog_(host) {}

    void open() override { dialog_.open(); }
    void closeWindows() override {
        if (dialog_.isVisible()) {
            dialog_.close();
        }
    }
    QList<QWidget*> resultWindows() const override { return {}; }
    int analysisTag() const override { return 0; }
    void recomputeAfterAccept() override {}

    TBuild& dialog() { return dialog_; }

  private:
    TBuild dialog_;
};

}  // namespace kalvora

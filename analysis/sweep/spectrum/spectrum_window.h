#pragma once

#include <QLabel>
#include <memory>
#include <vector>

#include "analysis/sweep/spectrum/spectrum_dialog.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// "Lyapunov Spectrum": the running estimate of every exponent against time (steps for a map, time
// for a flow), which shows whether the run was long enough, over a red zero line; beside it the
// final exponents, largest first, and the Kaplan-Yorke dimension.
class SpectrumWindow : public AnalysisWindow<PlotWindow, SpectrumSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::Spectrum;
    // The curves drawn; the exponents of larger models are listed, not drawn.
    static constexpr int kDrawnExponents = 8;

    SpectrumWindow(AnalysisHost& host, SpectrumDialog& settings);

    void open();
    const SpectrumResult& result() const { return result_; }
    QString summary() const { return summary_->text(); }
    const Tsp_XYLine& curve(int exponent) const { return *curves_[exponent]; }

  protected:
    SpectrumSettings readDialog() const override;
    void validate(const SpectrumSettings& settings) const override;
    bool prepareSeries(const SpectrumSettings& settings) override;
    bool compute(const SpectrumSettings& settings) override;
    void present(bool failed) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    SpectrumDialog& settings_;
    std::vector<std::unique_ptr<Tsp_XYLine>> curves_;
    Tsp_XYLine zero_;
    QLabel* summary_;
    SpectrumResult result_;
};

}  // namespace kalvora

#pragma once

#include <QAction>
#include <memory>

#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/orbit/cobweb/tgranform2.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"
#include "analysis/window/time_steps_window.h"

namespace kalvora {

// "Graphical Analysis": the graph of the n-th iterate of a one-variable map over an interval, the
// diagonal, and a staircase that "&Next Iteration(s)" grows by the steps set in the "# time steps"
// window. The window's current series (`data` of the base, the one the line colour and a resize
// apply to) is the curve. OK accepts the dialog's settings; "&Clear Form" and Accept in the
// parameter window start the construction again from them.
class Tgranform : public AnalysisWindow<PlotWindow, CobwebSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::GraphicalAnalysis;

    Tgranform(AnalysisHost& host, Tgranform2& settings);

    QAction* ClearForm1;
    QAction* NextIterations1;
    QAction* TimeSteps1;   // "# &Time steps..." (menu)
    QAction* Iterations1;  // "# &Iterations..." (pop-up menu)
    TimeStepsWindow* Tgrafanit;

    // The curve, the diagonal, the staircase, and the series that stays empty (it only fills the
    // picture export's unused places).
    Tsp_XYLine& map() { return *map_; }
    Tsp_XYLine& yequalx() { return *yequalx_; }
    Tsp_XYLine& staircase() { return *staircase_; }
    Tsp_XYLine& data1() { return *data1_; }
    const CobwebConstruction& construction() const { return construction_; }

    // The main-window command: show the settings dialog.
    void open();
    void ClearFormClick();
    void NextIterationsClick();
    void SaveDataAs1Click();

  protected:
    CobwebSettings readDialog() const override;
    void validate(const CobwebSettings& settings) const override;
    bool prepareSeries(const CobwebSettings& settings) override;
    // CobwebStart into the three series, the axes fixed to the interval.
    bool compute(const CobwebSettings& settings) override;
    void resultClosed() override;

  private:
    Tgranform2& settings_;
    std::unique_ptr<Tsp_XYLine> map_;
    std::unique_ptr<Tsp_XYLine> yequalx_;
    std::unique_ptr<Tsp_XYLine> staircase_;
    std::unique_ptr<Tsp_XYLine> data1_;
    CobwebConstruction construction_;
};

}  // namespace kalvora

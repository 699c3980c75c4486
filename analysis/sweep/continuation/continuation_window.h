#pragma once

#include <QTableWidget>

#include "analysis/sweep/continuation/continuation_run.h"
#include "analysis/sweep/continuation/continuation_settings_dialog.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Continuation".
struct ContinuationWindowSettings {
    ContinuationSettings continuation;
    int variable = 0;  // drawn against the parameter
    bool overlay = false;
};

// "Continuation": the branches in the plane (parameter, variable), stable parts solid and unstable
// parts dashed, the special points marked and labelled (LP, PD, NS, H, BP), optionally over a
// bifurcation diagram of the same parameter; below, a table of the special points with their
// period, parameter, values and multipliers (eigenvalues of a flow), which copies as
// tab-separated text. Runs on a worker through the computing window, the points drawn as they
// come; a stopped run shows the branch computed so far.
class ContinuationWindow : public AnalysisWindow<PlotWindow, ContinuationWindowSettings> {
    Q_OBJECT
  public:
    static constexpr int kAnalysisTag = AnalysisTag::None;

    ContinuationWindow(AnalysisHost& host, ContinuationSettingsDialog& settings);

    // The main-window command: refill the dialog and show it.
    void open();
    // Opened from a point picked elsewhere (a row of Fixed Points and Cycles): the dialog with
    // that point as the start.
    void openFrom(const std::vector<double>& values, int period);

    QTableWidget* table() const { return table_; }
    const ContinuationOutcome& lastOutcome() const { return outcome_; }
    Tsp_XYLine& stableBranch() { return stable_; }
    Tsp_XYLine& unstableBranch() { return unstable_; }
    Tsp_XYLine& specialPoints() { return specials_; }
    Tsp_XYLine& diagram() { return diagram_; }

    QString tableText() const;

  protected:
    ContinuationWindowSettings readDialog() const override;
    void validate(const ContinuationWindowSettings& settings) const override;
    bool prepareSeries(const ContinuationWindowSettings& settings) override;
    bool compute(const ContinuationWindowSettings& settings) override;
    void present(bool failed) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void drawBranches(int variable);
    void fillTable();
    void paintLabels(Tsp_XYPlot& plot, QPainter& painter) const;

    ContinuationSettingsDialog& settings_;
    QTableWidget* table_;
    Tsp_XYLine live_;  // the points so far, while a run goes on
    Tsp_XYLine diagram_;
    Tsp_XYLine stable_;
    Tsp_XYLine unstable_;
    Tsp_XYLine specials_;
    ContinuationOutcome outcome_;
    std::vector<std::string> variableNames_;
    bool flow_ = false;
};

}  // namespace kalvora

#pragma once

#include <QTableWidget>

#include "analysis/orbit/cycles/cycle_search.h"
#include "analysis/orbit/cycles/cycle_settings_dialog.h"
#include "analysis/window/analysis_window.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// What OK accepts in "Settings Fixed Points and Cycles".
struct CyclesWindowSettings {
    CycleSettings search;
};

// "Fixed Points and Cycles": the cycles (equilibria) found in the box, drawn over the model's
// orbit in the plane of the box (for one variable, x against its image): stable points filled,
// unstable ones open, and through each saddle point short segments along its stable (blue) and
// unstable (red) eigenvectors; below, a table of every cycle point with its period, values,
// eigenvalues and type, which copies as tab-separated text. The search runs on every core through
// the computing window.
class CyclesWindow : public AnalysisWindow<PlotWindow, CyclesWindowSettings> {
    Q_OBJECT
  public:
    // A search takes a while: Accept in the parameter window does not start one, OK does.
    static constexpr int kAnalysisTag = AnalysisTag::None;

    CyclesWindow(AnalysisHost& host, CycleSettingsDialog& settings);

    // The main-window command: refill the dialog's variable lists and show the dialog.
    void open();

    QTableWidget* table() const { return table_; }
    const CycleSearchOutcome& lastOutcome() const { return outcome_; }
    Tsp_XYLine& stablePoints() { return stable_; }
    Tsp_XYLine& unstablePoints() { return unstable_; }
    Tsp_XYLine& stableSegments() { return stableSegments_; }
    Tsp_XYLine& unstableSegments() { return unstableSegments_; }
    Tsp_XYLine& orbit() { return orbit_; }

    // The selected rows (all rows when none is selected) as tab-separated lines under the header.
    QString tableText() const;
    void copyTable() const;
    // "Continue from Point": the selected row's point (the first row when none is selected) and
    // its period, to follow through a parameter.
    void continueFromSelected();

  signals:
    void continueFrom(const std::vector<double>& values, int period);

  protected:
    CyclesWindowSettings readDialog() const override;
    void validate(const CyclesWindowSettings& settings) const override;
    bool prepareSeries(const CyclesWindowSettings& settings) override;
    bool compute(const CyclesWindowSettings& settings) override;
    void present(bool failed) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void fillTable();
    void drawCycles(const CyclesWindowSettings& settings);

    CycleSettingsDialog& settings_;
    QTableWidget* table_;
    Tsp_XYLine orbit_;
    Tsp_XYLine stable_;
    Tsp_XYLine unstable_;
    Tsp_XYLine stableSegments_;
    Tsp_XYLine unstableSegments_;
    CycleSearchOutcome outcome_;
    std::vector<std::string> variableNames_;
    bool flow_ = false;
};

}  // namespace kalvora

#pragma once

#include <QAction>
#include <QGroupBox>
#include <QMainWindow>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

#include "analysis/data/sheet/sheet_grid_model.h"
#include "analysis/window/analysis_host.h"

namespace kalvora {

// "Time Series Sheet": the orbit as numbers, one row per sampled iterate and one column per
// variable and auxiliary variable after the "Time" column.
class TSheet : public QMainWindow {
    Q_OBJECT
  public:
    explicit TSheet(AnalysisHost& host);

    QGroupBox* GroupBox1;  // "Interval Settings"
    QSpinBox* time_start;
    QSpinBox* time_iterations;
    QSpinBox* iteratese;
    QTableView* Grid;
    QPushButton* Apply;
    QPushButton* Cancel;
    QAction* SaveAs1;
    QAction* Close1;
    QAction* Parameters1;
    QAction* Copy1;

    SheetGridModel& grid() { return model_; }
    SheetSettings settings() const;

    // The main-window command "&SpreadSheet": shows the window without filling it.
    void open();
    // "Apply": fills the grid from the settings.
    void ApplyClick();
    void SaveAs1Click();
    void Parameters1Click();
    // "&Copy": the selection onto the clipboard as tab-separated text under its header row.
    void Copy1Click();
    // Accept in the parameter window: refills while the window is visible.
    void recomputeAfterAccept();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void SheetFillInWindow();

    AnalysisHost& host_;
    SheetGridModel model_;
    bool running_ = false;
};

}  // namespace kalvora

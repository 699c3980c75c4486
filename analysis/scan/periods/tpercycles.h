#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>

#include "analysis/scan/common/colour_panels.h"
#include "analysis/scan/periods/period_scan.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Parameter Basins for Periodic Cycles": the periods looked for, the rectangle of
// parameter pairs, the scan's settings and the shared colour table.
class TPerCycles : public SettingsDialog {
    Q_OBJECT
  public:
    explicit TPerCycles(ModelWorkspace& workspace);

    QTableWidget* CycleGrid;
    QTableWidget* DomainGrid;
    QSpinBox* NumCycles;
    QLineEdit* Epsilon;
    QSpinBox* StartIterations;
    QComboBox* ParHorizontal;
    QComboBox* ParVerticle;
    QSpinBox* Check;
    QSpinBox* MaxDistance;
    QCheckBox* OneThread;
    ColourPanels* colours;

    // The main-window command: headers, row numbers, each empty period cell with its row number,
    // the empty domain cells with their defaults, the colour panels and both parameter lists with
    // the first and second parameter selected.
    void fill(const QSize& imageArea);
    void FormActivate() override;

    // The settings as the controls hold them; a cell that does not parse raises its conversion
    // error.
    PeriodSettings settings() const;
    int requestedThreads() const { return OneThread->isChecked() ? 1 : 0; }

  private:
    ModelWorkspace& model_;
};

}  // namespace kalvora

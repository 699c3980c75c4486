#pragma once

#include <QComboBox>

#include "analysis/orbit/cycles/cycle_search.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Fixed Points and Cycles": the periods looked for (maps only), the plane of two
// variables whose box the starts spread over and the cycles must lie in, the starts per axis and
// the tolerance of a root.
class CycleSettingsDialog : public SettingsDialog {
    Q_OBJECT
  public:
    explicit CycleSettingsDialog(const ModelWorkspace& workspace);

    QSpinBox* firstPeriod;
    QSpinBox* lastPeriod;
    QComboBox* horizontalVariable;
    QLineEdit* horizontalMinimum;
    QLineEdit* horizontalMaximum;
    QComboBox* verticalVariable;
    QLineEdit* verticalMinimum;
    QLineEdit* verticalMaximum;
    QSpinBox* grid;
    QLineEdit* tolerance;

    void FormActivate() override;
    // The main-window command: the variable lists refilled, the first two variables chosen.
    void fillLists();
    // The search as the controls hold it: a box of the two chosen variables (of the one variable
    // of a one-variable model). Raises the conversion error of a range or tolerance that is not a
    // number.
    CycleSettings settings() const;
    // Whether the model has a second variable for the vertical axis.
    bool planar() const;

  private:
    QLabel* periodLabel_;
};

}  // namespace kalvora

#pragma once

#include <QCheckBox>
#include <QComboBox>

#include "analysis/sweep/continuation/continuation_run.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Continuation": the parameter and its interval, the variable drawn against it, the
// start (variables and the parameter's value), the period followed (maps), the largest step, the
// most points, the steps of the model before Newton's method, the branches to switch onto, and
// whether a bifurcation diagram of the same parameter is drawn behind the branch.
class ContinuationSettingsDialog : public SettingsDialog {
    Q_OBJECT
  public:
    explicit ContinuationSettingsDialog(const ModelWorkspace& workspace);

    QComboBox* parameter;
    QLineEdit* from;
    QLineEdit* to;
    QComboBox* variable;
    QLineEdit* start;
    QLineEdit* startParameter;
    QSpinBox* period;
    QLineEdit* step;
    QSpinBox* maxPoints;
    QSpinBox* transient;
    QLineEdit* switches;
    QCheckBox* overlay;

    void FormActivate() override;
    // The main-window command: the lists refilled; the start the model's initial values at the
    // chosen parameter's value.
    void fillLists();
    // A start picked elsewhere (a point of Fixed Points and Cycles): its values and period, at the
    // parameter's present value.
    void setStart(const std::vector<double>& values, int cyclePeriod);
    // The continuation as the controls hold it. Raises the conversion error of a number that is
    // none, and ContinuationSettingsError for a start or a switch list it cannot read.
    ContinuationSettings settings() const;

  private:
    QLabel* periodLabel_;
};

}  // namespace kalvora

#pragma once

#include <QComboBox>

#include "analysis/orbit/timeseries/time_series_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Time Series": the variable, the counts (discrete) or the interval (continuous), the
// point style and the manual y range. The result window reacts to its OK and Cancel.
class Ttimeform2 : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Ttimeform2(const ModelWorkspace& workspace);

    QComboBox* vartijd;
    QLabel* Label1;  // "# Points Plotted :" or "Start plotting at time :"
    QLabel* Label2;  // "# Points Not Plotted :" or "End plotting at time :"
    QSpinBox* SpinEdit1;
    QSpinBox* SpinEdit2;
    QLineEdit* timeEdit1;
    QLineEdit* timeedit2;
    QLabel* Label3;  // "Time step"
    QSpinBox* SpinEdit3;
    QCheckBox* CheckBox1;
    QCheckBox* ConnPoints;
    ScalingGroup scaling;

    // The variable list: the model's variables, then its auxiliary variables.
    void fillVariables();
    void FormActivate() override;
    // The settings as the controls hold them now; raises the conversion error of a bad S or E.
    TimeSeriesSettings settings() const;
    // The state after closing the result window.
    void resetOnResultClose();
};

}  // namespace kalvora

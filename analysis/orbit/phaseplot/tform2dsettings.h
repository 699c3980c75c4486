#pragma once

#include <QComboBox>

#include "analysis/orbit/common/varying_parameter_group.h"
#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Phase Plot": the two variables, the counts (discrete) or the interval (continuous), the
// point style, the manual ranges and the parameter the slider sweeps.
class Tform2dsettings : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Tform2dsettings(const ModelWorkspace& workspace);

    QComboBox* varp1;
    QComboBox* varp2;
    QLabel* Label1;  // "# Points Plotted :" or "Start plotting at time :"
    QLabel* Label2;  // "# Points Not Plotted :" or "End plotting at time :"
    QSpinBox* SpinEdit1;
    QSpinBox* SpinEdit2;
    QLineEdit* timeedit1;
    QLineEdit* timeedit2;
    QCheckBox* plotboxes;
    QCheckBox* connect;
    VaryingParameterGroup varying;
    ScalingGroup scaling;

    // Refills the three lists, writes the first parameter's value into both bounds and selects the
    // first variable for X and the second for Y.
    void fill();
    void FormActivate() override;
    // The settings as the controls hold them now; raises the conversion error of a bad S or E.
    PhasePlotSettings settings() const;
    // The state after closing the result window.
    void resetOnResultClose();
};

}  // namespace kalvora

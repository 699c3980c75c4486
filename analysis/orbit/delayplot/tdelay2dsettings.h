#pragma once

#include <QComboBox>

#include "analysis/orbit/common/varying_parameter_group.h"
#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Delay Plot": the variable, the delay in steps (discrete) or time (continuous), the
// counts or the interval, the point style, the manual ranges and the parameter the slider sweeps.
class Tdelay2dsettings : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Tdelay2dsettings(const ModelWorkspace& workspace);

    QComboBox* varp1;
    QSpinBox* varp2;  // delay in steps
    QLineEdit* delayedit;
    QLabel* Label1;  // "# Points Plotted :" or "Start plotting at time :"
    QLabel* Label2;  // "# Points Not Plotted :" or "End plotting at time :"
    QSpinBox* SpinEdit2;
    QSpinBox* SpinEdit3;
    QLineEdit* timeedit1;
    QLineEdit* timeedit2;
    QCheckBox* PlotBoxes;
    QCheckBox* ConnectPoints;
    VaryingParameterGroup varying;
    ScalingGroup scaling;

    // Refills the variable and parameter lists, selects the first of each and writes the first
    // parameter's value into both bounds.
    void fill();
    void FormActivate() override;
    // The settings as the controls hold them now; raises the conversion error of a bad delay
    // time, S or E.
    DelayPlotSettings settings() const;
    // The state after closing the result window.
    void resetOnResultClose();
};

}  // namespace kalvora

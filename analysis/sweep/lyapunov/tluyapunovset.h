#pragma once

#include <QComboBox>

#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Luyapunov Exponent": the swept parameter and its interval, the averaged and transient
// step counts, the perturbation, the resolution and the manual vertical range.
class TLuyapunovSet : public SettingsDialog {
    Q_OBJECT
  public:
    explicit TLuyapunovSet(const ModelWorkspace& workspace);

    QComboBox* partext;
    QLabel* minLabel;  // "Min Value " + parameter + " :", set when opened from the main window
    QLabel* maxLabel;
    QLineEdit* bmintext;
    QLineEdit* bmaxtext;
    QSpinBox* NumIt;
    QSpinBox* Initialit;
    QLineEdit* Epsilon;
    QCheckBox* CheckBox1;
    QLineEdit* resol;
    ScalingGroup scaling;

    // The main-window command: the parameter list refilled with its first entry selected, resol
    // filled with the default when it is empty, the interval labels set.
    void fillLists(long long defaultResolution);
    void FormActivate() override;
    // The settings as the controls hold them now, the resolution from resol when "Manual
    // Resolution" is ticked (else the window's data area decides at each run). Raises the
    // conversion error of a min, max, perturbation or resolution that is not a number.
    LyapunovSettings settings() const;
};

}  // namespace kalvora

#pragma once

#include <QComboBox>

#include "analysis/sweep/common/sweep_settings_dialog.h"
#include "analysis/sweep/lyapunov/lyapunov_sweep.h"

namespace kalvora {

// "Settings Lyapunov Exponent": the swept parameter and its interval, the averaged and transient
// step counts, the perturbation, the method, the resolution and the manual vertical range.
class TLuyapunovSet : public SweepSettingsDialog {
    Q_OBJECT
  public:
    explicit TLuyapunovSet(const ModelWorkspace& workspace);

    QSpinBox* NumIt;
    QSpinBox* Initialit;
    QLineEdit* Epsilon;
    // "Two trajectories" (the default) or "Tangent space"; the perturbation is the first's alone.
    QComboBox* Method;

    // The main-window command: the parameter list refilled with its first entry selected, resol
    // filled with the default when it is empty, the interval labels rebuilt.
    void fillLists(long long defaultResolution);
    // The settings as the controls hold them now, the resolution from resol when "Manual
    // Resolution" is ticked (else the window's data area decides at each run). Raises the
    // conversion error of a min, max, perturbation or resolution that is not a number.
    LyapunovSettings settings() const;
};

}  // namespace kalvora

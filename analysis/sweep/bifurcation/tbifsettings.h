#pragma once

#include <QComboBox>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Bifurcation Diagram": the swept parameter and its interval, the plotted variable, the
// plotted and transient counts, the carried state, the direction, the resolution and the manual
// vertical range. The result window reacts to its OK and Cancel.
class Tbifsettings : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Tbifsettings(const ModelWorkspace& workspace);

    QComboBox* partext;
    QComboBox* vartext;
    QLabel* minLabel;  // "Min Value " + parameter + " :"
    QLabel* maxLabel;
    QLineEdit* bmintext;
    QLineEdit* bmaxtext;
    QSpinBox* NumPP;
    QSpinBox* NumNPP;
    QCheckBox* inicheck;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox1;
    QLineEdit* resol;
    ScalingGroup scaling;

    // The main-window command: both lists refilled with their first entries selected, the interval
    // labels rebuilt, resol filled with the default when it is empty.
    void fillLists(long long defaultResolution);
    void FormActivate() override;
    // The interval labels for the parameter selected now.
    void rebuildIntervalLabels();
    // The settings as the controls hold them now, the resolution from resol when "Manual
    // Resolution" is ticked (else the window's data area decides at each run). Raises the
    // conversion error of a min, max or resolution that is not a number.
    BifurcationSettings settings() const;
};

}  // namespace kalvora

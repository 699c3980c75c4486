#pragma once

#include <QComboBox>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/sweep/common/sweep_settings_dialog.h"

namespace kalvora {

// "Settings Bifurcation Diagram": the swept parameter and its interval, the plotted variable, the
// plotted and transient counts, the carried state, the direction, the resolution and the manual
// vertical range. The result window reacts to its OK and Cancel.
class Tbifsettings : public SweepSettingsDialog {
    Q_OBJECT
  public:
    explicit Tbifsettings(const ModelWorkspace& workspace);

    QComboBox* vartext;
    QSpinBox* NumPP;
    QSpinBox* NumNPP;
    QCheckBox* inicheck;
    QCheckBox* CheckBox2;
    // A flow's plot: every step, section crossings or local maxima, and the section
    // ("NAME=VALUE[:up|down|both]"); shown for a continuous model only.
    QLabel* flowPlotLabel;
    QComboBox* flowPlotList;
    QLabel* sectionLabel;
    QLineEdit* sectionEdit;

    void FormActivate() override;

    // The main-window command: both lists refilled with their first entries selected, the interval
    // labels rebuilt, resol filled with the default when it is empty.
    void fillLists(long long defaultResolution);
    // The settings as the controls hold them now, the resolution from resol when "Manual
    // Resolution" is ticked (else the window's data area decides at each run). Raises the
    // conversion error of a min, max or resolution that is not a number, and the SectionError of
    // a section that cannot be read.
    BifurcationSettings settings() const;
};

}  // namespace kalvora

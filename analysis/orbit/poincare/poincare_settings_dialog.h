#pragma once

#include <QComboBox>

#include "analysis/orbit/poincare/poincare_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Poincaré Section": the section and its crossing direction, the number of crossings,
// the time before which none is drawn, the two variables the crossings are drawn in, and the
// manual ranges.
class PoincareSettingsDialog : public SettingsDialog {
    Q_OBJECT
  public:
    explicit PoincareSettingsDialog(const ModelWorkspace& workspace);

    QLineEdit* sectionEdit;
    QComboBox* directionList;
    QSpinBox* crossingsSpin;
    QLineEdit* skipTimeEdit;
    QComboBox* xList;
    QComboBox* yList;
    ScalingGroup scaling;

    // Refills the lists; a section that does not fit the model becomes "first variable = its
    // initial value".
    void fill();
    void FormActivate() override;
    // Raises the SectionError of a section that cannot be read and the conversion error of a
    // skip time that is no number.
    PoincareSettings settings() const;
};

}  // namespace kalvora

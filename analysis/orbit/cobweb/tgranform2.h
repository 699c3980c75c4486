#pragma once

#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Graphical Analysis": the interval, the iterate whose graph is drawn and the start of
// the staircase.
class Tgranform2 : public SettingsDialog {
    Q_OBJECT
  public:
    explicit Tgranform2(const ModelWorkspace& workspace);

    QLineEdit* Edit2;     // "Max Value"
    QLineEdit* Edit1;     // "Min Value"
    QSpinBox* SpinEdit1;  // "Iterated Map"
    QLineEdit* Edit3;     // "Initial Value:"

    // Nothing depends on the model's kind here.
    void FormActivate() override {}
    // The settings as the controls hold them now; raises the conversion error of a field that
    // holds no number.
    CobwebSettings settings() const;
};

}  // namespace kalvora

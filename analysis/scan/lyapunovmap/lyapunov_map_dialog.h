#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QTableWidget>

#include "analysis/scan/lyapunovmap/lyapunov_map.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Lyapunov Map": the plane (two of the model's parameters and initial values, with their
// ranges and resolutions), the steps averaged over and the transient.
class LyapunovMapDialog : public SettingsDialog {
    Q_OBJECT
  public:
    explicit LyapunovMapDialog(ModelWorkspace& workspace);

    QTableWidget* DomainGrid;
    QComboBox* AxisHorizontal;
    QComboBox* AxisVertical;
    QSpinBox* Iterations;
    QSpinBox* StartIterations;
    QCheckBox* OneThread;

    // The main-window command: both axis lists refilled (the parameters, then the variables'
    // initial values), the first two entries chosen, the empty domain cells filled.
    void fill(const QSize& imageArea);
    void FormActivate() override {}

    // The settings as the controls hold them; a cell that does not parse raises its conversion
    // error.
    LyapunovMapSettings settings() const;
    int requestedThreads() const { return OneThread->isChecked() ? 1 : 0; }
    // The name an axis entry stands for.
    QString axisName(const LyapunovMapAxis& axis) const;

  private:
    LyapunovMapAxis axisAt(int index) const;
    ModelWorkspace& model_;
};

}  // namespace kalvora

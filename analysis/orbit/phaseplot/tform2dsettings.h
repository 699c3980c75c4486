#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/phaseplot/varying_parameter_group.h"
#include "plot/window/scaling_group.h"

namespace kalvora {

// "Settings Phase Plot": the two variables, the counts (discrete) or the interval (continuous), the
// point style, the manual ranges and the parameter the slider sweeps.
class Tform2dsettings : public QDialog {
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
    QPushButton* okbutton;
    QPushButton* cancelbutton;

    // Refills the three lists, writes the first parameter's value into both bounds and selects the
    // first variable for X and the second for Y.
    void fill();
    // Shows the controls of the model's kind (run on every activation).
    void FormActivate();
    // The settings as the controls hold them now; raises the conversion error of a bad S or E.
    PhasePlotSettings settings() const;

  signals:
    void okClicked();
    void cancelled();

  protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Cancel, Escape and the close box: the result window is enabled again, nothing else.
    void reject() override;

  private:
    const ModelWorkspace& workspace_;
};

}  // namespace kalvora

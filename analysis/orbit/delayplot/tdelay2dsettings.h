#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/phaseplot/varying_parameter_group.h"
#include "plot/window/scaling_group.h"

namespace kalvora {

// "Settings Delay Plot": the variable, the delay in steps (discrete) or time (continuous), the
// counts or the interval, the point style, the manual ranges and the parameter the slider sweeps.
class Tdelay2dsettings : public QDialog {
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
    QPushButton* okbutton;
    QPushButton* cancelbutton;

    // Refills the variable and parameter lists, selects the first of each and writes the first
    // parameter's value into both bounds.
    void fill();
    // Shows the controls of the model's kind (run on every activation).
    void FormActivate();
    // The settings as the controls hold them now; raises the conversion error of a bad delay
    // time, S or E.
    DelayPlotSettings settings() const;
    // The state after closing the result window.
    void resetOnResultClose();

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

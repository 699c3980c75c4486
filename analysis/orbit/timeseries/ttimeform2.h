#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/orbit/timeseries/time_series_run.h"
#include "plot/window/scaling_group.h"

namespace kalvora {

// "Settings Time Series": the variable, the counts (discrete) or the interval (continuous), the
// point style and the manual y range. The result window reacts to its OK and Cancel.
class Ttimeform2 : public QDialog {
    Q_OBJECT
  public:
    explicit Ttimeform2(const ModelWorkspace& workspace);

    QComboBox* vartijd;
    QLabel* Label1;  // "# Points Plotted :" or "Start plotting at time :"
    QLabel* Label2;  // "# Points Not Plotted :" or "End plotting at time :"
    QSpinBox* SpinEdit1;
    QSpinBox* SpinEdit2;
    QLineEdit* timeEdit1;
    QLineEdit* timeedit2;
    QLabel* Label3;  // "Time step"
    QSpinBox* SpinEdit3;
    QCheckBox* CheckBox1;
    QCheckBox* ConnPoints;
    ScalingGroup scaling;
    QPushButton* okbutton;
    QPushButton* cancelbutton;

    // The variable list: the model's variables, then its auxiliary variables.
    void fillVariables();
    // Shows the controls of the model's kind (run on every activation).
    void FormActivate();
    // The settings as the controls hold them now; raises the conversion error of a bad S or E.
    TimeSeriesSettings settings() const;
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

#pragma once

#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>

#include "analysis/data/statistics/statistics_run.h"
#include "core/model_workspace.h"

namespace kalvora {

// "Settings Statistics": the variable sampled, the transient and the sample size.
class TVarSet : public QDialog {
    Q_OBJECT
  public:
    explicit TVarSet(const ModelWorkspace& workspace);

    QComboBox* Variable;
    QSpinBox* SpinEdit2;  // "# Transient"
    QSpinBox* SpinEdit1;  // "# Points"
    QPushButton* OkButton;
    QPushButton* CancelButton;

    // The variable names followed by the auxiliary names, item 0 selected.
    void fill();
    // The settings as "OK" reads them: the selected entry (1-based, clamped to the model's
    // entries), T and N.
    StatisticsSettings settings() const;
    // Puts settings back into the controls (Cancel returns to what was accepted).
    void restore(const StatisticsSettings& settings);

  signals:
    void okClicked();
    // "Cancel", Escape or the close box.
    void cancelled();

  protected:
    void reject() override;

  private:
    const ModelWorkspace& workspace_;
};

}  // namespace kalvora

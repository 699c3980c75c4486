#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "analysis/sweep/common/sweep_run.h"
#include "analysis/window/scaling_group.h"
#include "analysis/window/settings_dialog.h"
#include "core/numbers.h"

namespace kalvora {

// What the settings dialogs of the parameter sweeps share: the swept parameter with its interval
// in the first three rows (the bounds labelled with the parameter's name), "Manual Resolution"
// with its field, and the manual vertical range.
class SweepSettingsDialog : public SettingsDialog {
  public:
    QComboBox* partext;
    QLabel* minLabel;  // "Min Value " + parameter + " :"
    QLabel* maxLabel;
    QLineEdit* bmintext;
    QLineEdit* bmaxtext;
    QCheckBox* CheckBox1;  // "Manual Resolution"
    QLineEdit* resol;
    // "On a failing value :": "end the sweep" (as always before) or "skip it and go on".
    QComboBox* failureList;
    ScalingGroup scaling;

    void FormActivate() override;
    // The interval labels for the parameter selected now.
    void rebuildIntervalLabels();

  protected:
    SweepSettingsDialog(const ModelWorkspace& workspace, const char* name, const QString& caption,
                        Extended minimum, Extended maximum);
    // "Manual Resolution" and its field in the given row, and "On a failing value" in the next,
    // after the dialog's own rows, so that Tab reaches them last.
    void addResolutionRow(int row, const QString& caption);
    // The parameter list refilled with its first entry selected, the labels rebuilt, resol filled
    // with the default when it is empty.
    void fillParameterList(long long defaultResolution);
    // The swept parameter (from 1) and its interval; raises the conversion error of a bound that is
    // not a number.
    template <typename Settings>
    void readInterval(Settings& settings) const {
        settings.parameter = partext->currentIndex() + 1;
        settings.minimum = ParseFloat(bmintext->text().toStdString());
        settings.maximum = ParseFloat(bmaxtext->text().toStdString());
    }
    // The resolution from resol when "Manual Resolution" is ticked (else the window's data area
    // decides at each run); raises the conversion error of one that is not a number.
    template <typename Settings>
    void readResolution(Settings& settings) const {
        if (CheckBox1->isChecked()) {
            settings.resolution = ParseInteger(resol->text().toStdString());
        }
        settings.onFailure =
            failureList->currentIndex() == 1 ? FailingValue::Skip : FailingValue::EndSweep;
    }

  private:
    Extended defaultMinimum_;
    Extended defaultMaximum_;
};

}  // namespace kalvora

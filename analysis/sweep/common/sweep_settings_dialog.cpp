#include "analysis/sweep/common/sweep_settings_dialog.h"

#include "analysis/window/model_lists.h"

namespace kalvora {

SweepSettingsDialog::SweepSettingsDialog(const ModelWorkspace& workspace, const char* name,
                                         const QString& caption, Extended minimum, Extended maximum)
    : SettingsDialog(workspace, name, caption),
      scaling(this, false),
      defaultMinimum_(minimum),
      defaultMaximum_(maximum) {
    // Created in the order of the rows, which is the order Tab follows.
    partext = new QComboBox(settingsGroup);
    partext->setObjectName("partext");
    minLabel = new QLabel(settingsGroup);
    maxLabel = new QLabel(settingsGroup);
    bmintext = addNumberEdit("bmintext", minimum);
    bmaxtext = addNumberEdit("bmaxtext", maximum);
    settingsGrid->addWidget(new QLabel(QStringLiteral("Parameter :"), settingsGroup), 0, 0);
    settingsGrid->addWidget(partext, 0, 1);
    settingsGrid->addWidget(minLabel, 1, 0);
    settingsGrid->addWidget(bmintext, 1, 1);
    settingsGrid->addWidget(maxLabel, 2, 0);
    settingsGrid->addWidget(bmaxtext, 2, 1);
    connect(partext, &QComboBox::currentIndexChanged, this, [this] { rebuildIntervalLabels(); });
    rebuildIntervalLabels();
}

void SweepSettingsDialog::addResolutionRow(int row, const QString& caption) {
    CheckBox1 = addCheckBox(caption, "CheckBox1");
    resol = addLineEdit("resol", "");
    settingsGrid->addWidget(CheckBox1, row, 0);
    settingsGrid->addWidget(resol, row, 1);
    failureList = new QComboBox(settingsGroup);
    failureList->setObjectName("failureList");
    failureList->addItems({QStringLiteral("end the sweep"), QStringLiteral("skip it and go on")});
    settingsGrid->addWidget(new QLabel(QStringLiteral("On a failing value :"), settingsGroup),
                            row + 1, 0);
    settingsGrid->addWidget(failureList, row + 1, 1);
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { FormActivate(); });
}

void SweepSettingsDialog::fillParameterList(long long defaultResolution) {
    FillParameterList(partext, workspace_);
    partext->setCurrentIndex(0);
    if (modelNamesChanged()) {
        bmintext->setText(QString::fromStdString(FormatGeneral(defaultMinimum_, 15)));
        bmaxtext->setText(QString::fromStdString(FormatGeneral(defaultMaximum_, 15)));
    }
    if (resol->text().isEmpty()) {
        resol->setText(QString::number(defaultResolution));
    }
    rebuildIntervalLabels();
}

void SweepSettingsDialog::rebuildIntervalLabels() {
    const QString name = partext->currentText();
    minLabel->setText(QStringLiteral("Min Value ") + name + QStringLiteral(" :"));
    maxLabel->setText(QStringLiteral("Max Value ") + name + QStringLiteral(" :"));
}

void SweepSettingsDialog::FormActivate() {
    // Kept in its cell while hidden, so the dialog does not change size as the box is ticked.
    QSizePolicy policy = resol->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    resol->setSizePolicy(policy);
    resol->setVisible(CheckBox1->isChecked());
    scaling.ManScalClick();
}

}  // namespace kalvora

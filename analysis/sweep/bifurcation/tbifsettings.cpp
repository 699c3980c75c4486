#include "analysis/sweep/bifurcation/tbifsettings.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

Tbifsettings::Tbifsettings(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Tbifsettings", QStringLiteral("Settings Bifurcation Diagram")),
      scaling(this, false) {
    // Created in the order of the rows, which is the order Tab follows.
    partext = new QComboBox(settingsGroup);
    partext->setObjectName("partext");
    minLabel = new QLabel(settingsGroup);
    maxLabel = new QLabel(settingsGroup);
    const BifurcationSettings defaults;
    bmintext = addNumberEdit("bmintext", defaults.minimum);
    bmaxtext = addNumberEdit("bmaxtext", defaults.maximum);
    vartext = new QComboBox(settingsGroup);
    vartext->setObjectName("vartext");
    NumPP = addSpinEdit("NumPP", 1, 100000, static_cast<int>(defaults.plottedPoints));
    NumNPP = addSpinEdit("NumNPP", 0, 100000, static_cast<int>(defaults.transientSteps));
    inicheck = addCheckBox(QStringLiteral("     Initialize on previous value"), "inicheck");
    CheckBox2 = addCheckBox(QStringLiteral("     Compute from right to left"), "CheckBox2");
    CheckBox1 = addCheckBox(QStringLiteral("     Manual Resolution"), "CheckBox1");
    resol = addLineEdit("resol", "");
    scaling.ManScal->setText(QStringLiteral("     Manual Scaling"));

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Parameter :"), settingsGroup), 0, 0);
    grid->addWidget(partext, 0, 1);
    grid->addWidget(minLabel, 1, 0);
    grid->addWidget(bmintext, 1, 1);
    grid->addWidget(maxLabel, 2, 0);
    grid->addWidget(bmaxtext, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Plot Variable : "), settingsGroup), 3, 0);
    grid->addWidget(vartext, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Plotted Points :"), settingsGroup), 4, 0);
    grid->addWidget(NumPP, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Not Plotted  Points :"), settingsGroup), 5, 0);
    grid->addWidget(NumNPP, 5, 1);
    grid->addWidget(inicheck, 6, 0, 1, 2);
    grid->addWidget(CheckBox2, 7, 0, 1, 2);
    grid->addWidget(CheckBox1, 8, 0);
    grid->addWidget(resol, 8, 1);

    connect(partext, &QComboBox::currentIndexChanged, this, [this] { rebuildIntervalLabels(); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { FormActivate(); });
    rebuildIntervalLabels();
    finishLayout({scaling.ManScal, scaling.group}, QSize(300, 0));
}

void Tbifsettings::fillLists(long long defaultResolution) {
    FillVariableList(vartext, workspace_);
    vartext->setCurrentIndex(0);
    FillParameterList(partext, workspace_);
    partext->setCurrentIndex(0);
    if (resol->text().isEmpty()) {
        resol->setText(QString::number(defaultResolution));
    }
    rebuildIntervalLabels();
}

void Tbifsettings::rebuildIntervalLabels() {
    const QString name = partext->currentText();
    minLabel->setText(QStringLiteral("Min Value ") + name + QStringLiteral(" :"));
    maxLabel->setText(QStringLiteral("Max Value ") + name + QStringLiteral(" :"));
}

void Tbifsettings::FormActivate() {
    // Kept in its cell while hidden, so the dialog does not change size as the box is ticked.
    QSizePolicy policy = resol->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    resol->setSizePolicy(policy);
    resol->setVisible(CheckBox1->isChecked());
    scaling.ManScalClick();
}

BifurcationSettings Tbifsettings::settings() const {
    BifurcationSettings settings;
    settings.parameter = partext->currentIndex() + 1;
    settings.plotVariable = vartext->currentIndex() + 1;
    settings.plottedPoints = NumPP->value();
    settings.transientSteps = NumNPP->value();
    settings.minimum = ParseFloat(bmintext->text().toStdString());
    settings.maximum = ParseFloat(bmaxtext->text().toStdString());
    settings.carryState = inicheck->isChecked();
    settings.rightToLeft = CheckBox2->isChecked();
    if (CheckBox1->isChecked()) {
        settings.resolution = ParseInteger(resol->text().toStdString());
    }
    return settings;
}

}  // namespace kalvora

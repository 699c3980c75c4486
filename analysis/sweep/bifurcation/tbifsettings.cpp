#include "analysis/sweep/bifurcation/tbifsettings.h"

#include "analysis/window/model_lists.h"

namespace kalvora {

Tbifsettings::Tbifsettings(const ModelWorkspace& workspace)
    : SweepSettingsDialog(workspace, "Tbifsettings", QStringLiteral("Settings Bifurcation Diagram"),
                          BifurcationSettings{}.minimum, BifurcationSettings{}.maximum) {
    // Created in the order of the rows, which is the order Tab follows.
    const BifurcationSettings defaults;
    vartext = new QComboBox(settingsGroup);
    vartext->setObjectName("vartext");
    NumPP = addSpinEdit("NumPP", 1, 100000, static_cast<int>(defaults.plottedPoints));
    NumNPP = addSpinEdit("NumNPP", 0, 100000, static_cast<int>(defaults.transientSteps));
    inicheck = addCheckBox(QStringLiteral("     Initialize on previous value"), "inicheck");
    CheckBox2 = addCheckBox(QStringLiteral("     Compute from right to left"), "CheckBox2");
    scaling.ManScal->setText(QStringLiteral("     Manual Scaling"));

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Plot Variable : "), settingsGroup), 3, 0);
    grid->addWidget(vartext, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Plotted Points :"), settingsGroup), 4, 0);
    grid->addWidget(NumPP, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Not Plotted  Points :"), settingsGroup), 5, 0);
    grid->addWidget(NumNPP, 5, 1);
    grid->addWidget(inicheck, 6, 0, 1, 2);
    grid->addWidget(CheckBox2, 7, 0, 1, 2);
    addResolutionRow(8, QStringLiteral("     Manual Resolution"));
    finishLayout({scaling.ManScal, scaling.group}, QSize(300, 0));
}

void Tbifsettings::fillLists(long long defaultResolution) {
    FillVariableList(vartext, workspace_);
    vartext->setCurrentIndex(0);
    fillParameterList(defaultResolution);
}

BifurcationSettings Tbifsettings::settings() const {
    BifurcationSettings settings;
    readInterval(settings);
    settings.plotVariable = vartext->currentIndex() + 1;
    settings.plottedPoints = NumPP->value();
    settings.transientSteps = NumNPP->value();
    settings.carryState = inicheck->isChecked();
    settings.rightToLeft = CheckBox2->isChecked();
    readResolution(settings);
    return settings;
}

}  // namespace kalvora

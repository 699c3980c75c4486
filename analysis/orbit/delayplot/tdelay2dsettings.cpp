#include "analysis/orbit/delayplot/tdelay2dsettings.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

Tdelay2dsettings::Tdelay2dsettings(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Tdelay2dsettings", QStringLiteral("Settings Delay Plot")),
      varying(this, workspace),
      scaling(this, true) {
    varp1 = new QComboBox(settingsGroup);
    varp1->setObjectName("varp1");
    const DelayPlotSettings defaults;
    varp2 = addSpinEdit("varp2", 1, 20, defaults.delaySteps);
    delayedit = addNumberEdit("delayedit", defaults.delayTime);
    Label1 = new QLabel(QStringLiteral("# Points Plotted"), settingsGroup);
    Label2 = new QLabel(QStringLiteral("# Points Not Plotted"), settingsGroup);
    SpinEdit2 = addSpinEdit("SpinEdit2", 2, 10000000, static_cast<int>(defaults.pointsPlotted));
    SpinEdit3 = addSpinEdit("SpinEdit3", 0, 100000, static_cast<int>(defaults.pointsNotPlotted));
    timeedit1 = addNumberEdit("timeedit1", defaults.startTime);
    timeedit2 = addNumberEdit("timeedit2", defaults.endTime);
    PlotBoxes = addCheckBox(QStringLiteral("       Plot Squares"), "PlotBoxes");
    ConnectPoints = addCheckBox(QStringLiteral("       Connect Points"), "ConnectPoints");

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Variable"), settingsGroup), 0, 0);
    grid->addWidget(varp1, 0, 1);
    // Controls of the two model kinds share cells; only one of each pair is visible.
    grid->addWidget(new QLabel(QStringLiteral("Delay Time"), settingsGroup), 1, 0);
    grid->addWidget(varp2, 1, 1);
    grid->addWidget(delayedit, 1, 1);
    grid->addWidget(Label1, 2, 0);
    grid->addWidget(SpinEdit2, 2, 1);
    grid->addWidget(timeedit1, 2, 1);
    grid->addWidget(Label2, 3, 0);
    grid->addWidget(SpinEdit3, 3, 1);
    grid->addWidget(timeedit2, 3, 1);
    grid->addWidget(PlotBoxes, 4, 0, 1, 2);
    grid->addWidget(ConnectPoints, 5, 0, 1, 2);

    finishLayout({scaling.ManScal, scaling.group, varying.group});
}

void Tdelay2dsettings::fill() {
    FillVariableList(varp1, workspace_);
    varp1->setCurrentIndex(0);
    varying.fill();
}

void Tdelay2dsettings::FormActivate() {
    showModelKind({varp2, SpinEdit2, SpinEdit3}, {delayedit, timeedit1, timeedit2}, Label1, Label2,
                  PlotBoxes, ConnectPoints);
    scaling.ManScalClick();
}

DelayPlotSettings Tdelay2dsettings::settings() const {
    DelayPlotSettings settings;
    settings.variable = varp1->currentIndex() + 1;
    settings.delaySteps = varp2->value();
    settings.pointsPlotted = SpinEdit2->value();
    settings.pointsNotPlotted = SpinEdit3->value();
    if (!workspace_.model().discrete) {
        settings.delayTime = ParseFloat(delayedit->text().toStdString());
        settings.startTime = ParseFloat(timeedit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Tdelay2dsettings::resetOnResultClose() {
    scaling.resetOnClose();
    const DelayPlotSettings defaults;
    varp2->setValue(defaults.delaySteps);
    SpinEdit2->setValue(static_cast<int>(defaults.pointsPlotted));
    SpinEdit3->setValue(static_cast<int>(defaults.pointsNotPlotted));
}

}  // namespace kalvora

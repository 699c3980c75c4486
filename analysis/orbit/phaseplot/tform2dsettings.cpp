#include "analysis/orbit/phaseplot/tform2dsettings.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

Tform2dsettings::Tform2dsettings(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Tform2dsettings", QStringLiteral("Settings Phase Plot")),
      varying(this, workspace),
      scaling(this, true) {
    varp1 = new QComboBox(settingsGroup);
    varp1->setObjectName("varp1");
    varp2 = new QComboBox(settingsGroup);
    varp2->setObjectName("varp2");
    Label1 = new QLabel(QStringLiteral("# Points Plotted"), settingsGroup);
    Label2 = new QLabel(QStringLiteral("# Points Not Plotted"), settingsGroup);
    const PhasePlotSettings defaults;
    SpinEdit1 = addSpinEdit("SpinEdit1", 2, 10000000, static_cast<int>(defaults.pointsPlotted));
    SpinEdit2 = addSpinEdit("SpinEdit2", 0, 100000, static_cast<int>(defaults.pointsNotPlotted));
    timeedit1 = addNumberEdit("timeedit1", defaults.startTime);
    timeedit2 = addNumberEdit("timeedit2", defaults.endTime);
    plotboxes = addCheckBox(QStringLiteral("       Plot Squares"), "plotboxes");
    connect = addCheckBox(QStringLiteral("       Connect Points"), "connect");

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Variable X-axis"), settingsGroup), 0, 0);
    grid->addWidget(varp1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Variable Y-axis"), settingsGroup), 1, 0);
    grid->addWidget(varp2, 1, 1);
    // The spin edit and the time edit of a row share one cell; only one of them is visible.
    grid->addWidget(Label1, 2, 0);
    grid->addWidget(SpinEdit1, 2, 1);
    grid->addWidget(timeedit1, 2, 1);
    grid->addWidget(Label2, 3, 0);
    grid->addWidget(SpinEdit2, 3, 1);
    grid->addWidget(timeedit2, 3, 1);
    grid->addWidget(plotboxes, 4, 0, 1, 2);
    grid->addWidget(connect, 5, 0, 1, 2);

    finishLayout({varying.group, scaling.ManScal, scaling.group}, QSize(235, 522));
}

void Tform2dsettings::fill() {
    FillVariableList(varp1, workspace_);
    FillVariableList(varp2, workspace_);
    varying.fill();
    varp1->setCurrentIndex(0);
    varp2->setCurrentIndex(varp2->count() > 1 ? 1 : 0);
}

void Tform2dsettings::FormActivate() {
    showModelKind({SpinEdit1, SpinEdit2}, {timeedit1, timeedit2}, Label1, Label2, plotboxes,
                  connect);
    scaling.ManScalClick();
}

PhasePlotSettings Tform2dsettings::settings() const {
    PhasePlotSettings settings;
    settings.xVariable = varp1->currentIndex() + 1;
    settings.yVariable = varp2->currentIndex() + 1;
    settings.pointsPlotted = SpinEdit1->value();
    settings.pointsNotPlotted = SpinEdit2->value();
    if (!workspace_.model().discrete) {
        settings.startTime = ParseFloat(timeedit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Tform2dsettings::resetOnResultClose() {
    scaling.resetOnClose();
}

}  // namespace kalvora

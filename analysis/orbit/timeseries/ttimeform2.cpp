#include "analysis/orbit/timeseries/ttimeform2.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

Ttimeform2::Ttimeform2(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "Ttimeform2", QStringLiteral("Settings Time Series")),
      scaling(this, false) {
    vartijd = new QComboBox(settingsGroup);
    vartijd->setObjectName("vartijd");
    Label1 = new QLabel(settingsGroup);
    Label2 = new QLabel(settingsGroup);
    Label3 = new QLabel(QStringLiteral("Time step"), settingsGroup);
    const TimeSeriesSettings defaults;
    SpinEdit1 = addSpinEdit("SpinEdit1", 2, 1000000, static_cast<int>(defaults.pointsPlotted));
    SpinEdit2 = addSpinEdit("SpinEdit2", 0, 100000, static_cast<int>(defaults.pointsNotPlotted));
    SpinEdit3 = addSpinEdit("SpinEdit3", 1, 1000, defaults.timeStep);
    timeEdit1 = addNumberEdit("timeEdit1", defaults.startTime);
    timeedit2 = addNumberEdit("timeedit2", defaults.endTime);
    CheckBox1 = addCheckBox(QStringLiteral("       Plot Squares"), "CheckBox1");
    ConnPoints = addCheckBox(QStringLiteral("       Connect Points"), "ConnPoints");
    ConnPoints->setChecked(true);

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Plot Variable :"), settingsGroup), 0, 0);
    grid->addWidget(vartijd, 0, 1);
    // The spin edit and the time edit of a row share one cell; only one of them is visible.
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(SpinEdit1, 1, 1);
    grid->addWidget(timeEdit1, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(SpinEdit2, 2, 1);
    grid->addWidget(timeedit2, 2, 1);
    grid->addWidget(Label3, 3, 0);
    grid->addWidget(SpinEdit3, 3, 1);
    grid->addWidget(CheckBox1, 4, 0, 1, 2);
    grid->addWidget(ConnPoints, 5, 0, 1, 2);

    finishLayout({scaling.ManScal, scaling.group}, QSize(226, 339));
}

void Ttimeform2::fillVariables() {
    FillVariableList(vartijd, workspace_);
    vartijd->setCurrentIndex(0);
}

void Ttimeform2::FormActivate() {
    const bool discrete = showModelKind({SpinEdit1, SpinEdit2}, {timeEdit1, timeedit2}, Label1,
                                        Label2, CheckBox1, ConnPoints);
    Label3->setEnabled(discrete);
    SpinEdit3->setEnabled(discrete);
    scaling.ManScalClick();
}

TimeSeriesSettings Ttimeform2::settings() const {
    TimeSeriesSettings settings;
    settings.variable = vartijd->currentIndex() + 1;
    settings.pointsPlotted = SpinEdit1->value();
    settings.pointsNotPlotted = SpinEdit2->value();
    settings.timeStep = SpinEdit3->value();
    if (!workspace_.model().discrete) {
        settings.startTime = ParseFloat(timeEdit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Ttimeform2::resetOnResultClose() {
    CheckBox1->setChecked(false);
    vartijd->setCurrentIndex(0);
}

}  // namespace kalvora

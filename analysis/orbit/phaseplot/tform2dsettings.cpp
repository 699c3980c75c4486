#include "analysis/orbit/phaseplot/tform2dsettings.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "plot/window/model_lists.h"

namespace kalvora {

Tform2dsettings::Tform2dsettings(const ModelWorkspace& workspace)
    : varying(this, workspace), scaling(this, true), workspace_(workspace) {
    setObjectName("Tform2dsettings");
    setWindowTitle(QStringLiteral("Settings Phase Plot"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* settingsGroup = new QGroupBox(QStringLiteral("Settings"), this);
    settingsGroup->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(settingsGroup);
    varp1 = new QComboBox(settingsGroup);
    varp1->setObjectName("varp1");
    varp2 = new QComboBox(settingsGroup);
    varp2->setObjectName("varp2");
    Label1 = new QLabel(QStringLiteral("# Points Plotted"), settingsGroup);
    Label2 = new QLabel(QStringLiteral("# Points Not Plotted"), settingsGroup);
    SpinEdit1 = new QSpinBox(settingsGroup);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(2, 10000000);
    SpinEdit1->setValue(10000);
    SpinEdit2 = new QSpinBox(settingsGroup);
    SpinEdit2->setObjectName("SpinEdit2");
    SpinEdit2->setRange(0, 100000);
    SpinEdit2->setValue(1000);
    timeedit1 = new QLineEdit(QStringLiteral("1"), settingsGroup);
    timeedit1->setObjectName("timeedit1");
    timeedit2 = new QLineEdit(QStringLiteral("50"), settingsGroup);
    timeedit2->setObjectName("timeedit2");
    plotboxes = new QCheckBox(QStringLiteral("       Plot Squares"), settingsGroup);
    plotboxes->setObjectName("plotboxes");
    connect = new QCheckBox(QStringLiteral("       Connect Points"), settingsGroup);
    connect->setObjectName("connect");

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

    okbutton = new QPushButton(QStringLiteral("OK"), this);
    okbutton->setObjectName("okbutton");
    okbutton->setDefault(true);
    cancelbutton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelbutton->setObjectName("cancelbutton");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okbutton);
    buttons->addWidget(cancelbutton);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(settingsGroup);
    layout->addWidget(varying.group);
    layout->addWidget(scaling.ManScal);
    layout->addWidget(scaling.group);
    layout->addLayout(buttons);

    QObject::connect(okbutton, &QPushButton::clicked, this, &Tform2dsettings::okClicked);
    QObject::connect(cancelbutton, &QPushButton::clicked, this, &Tform2dsettings::reject);

    FormActivate();
    setFixedSize(sizeHint().expandedTo(QSize(235, 522)));
}

void Tform2dsettings::fill() {
    FillVariableList(varp1, workspace_);
    FillVariableList(varp2, workspace_);
    varying.fill();
    varp1->setCurrentIndex(0);
    varp2->setCurrentIndex(varp2->count() > 1 ? 1 : 0);
}

void Tform2dsettings::FormActivate() {
    const bool discrete = workspace_.discrete;
    SpinEdit1->setVisible(discrete);
    SpinEdit2->setVisible(discrete);
    timeedit1->setVisible(!discrete);
    timeedit2->setVisible(!discrete);
    Label1->setText(discrete ? QStringLiteral("# Points Plotted :")
                             : QStringLiteral("Start plotting at time :"));
    Label2->setText(discrete ? QStringLiteral("# Points Not Plotted :")
                             : QStringLiteral("End plotting at time :"));
    if (discrete) {
        plotboxes->setEnabled(true);
        connect->setEnabled(true);
    } else {
        // A continuous orbit is a curve: its points are always joined.
        plotboxes->setChecked(false);
        connect->setChecked(true);
        connect->setEnabled(false);
    }
    scaling.ManScalClick();
}

PhasePlotSettings Tform2dsettings::settings() const {
    PhasePlotSettings settings;
    settings.xVariable = varp1->currentIndex() + 1;
    settings.yVariable = varp2->currentIndex() + 1;
    settings.pointsPlotted = SpinEdit1->value();
    settings.pointsNotPlotted = SpinEdit2->value();
    if (!workspace_.discrete) {
        settings.startTime = ParseFloat(timeedit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Tform2dsettings::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
}

void Tform2dsettings::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
    QDialog::changeEvent(event);
}

void Tform2dsettings::reject() {
    hide();
    emit cancelled();
}

}  // namespace kalvora

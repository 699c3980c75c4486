#include "analysis/orbit/delayplot/tdelay2dsettings.h"

#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "core/numbers.h"
#include "plot/window/model_lists.h"

namespace kalvora {

namespace {

QSpinBox* spinEdit(QWidget* parent, const char* name, int minimum, int maximum, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setObjectName(name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const char* text) {
    auto* edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(name);
    return edit;
}

}  // namespace

Tdelay2dsettings::Tdelay2dsettings(const ModelWorkspace& workspace)
    : varying(this, workspace), scaling(this, true), workspace_(workspace) {
    setObjectName("Tdelay2dsettings");
    setWindowTitle(QStringLiteral("Settings Delay Plot"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* settingsGroup = new QGroupBox(QStringLiteral("Settings"), this);
    settingsGroup->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(settingsGroup);
    varp1 = new QComboBox(settingsGroup);
    varp1->setObjectName("varp1");
    varp2 = spinEdit(settingsGroup, "varp2", 1, 20, 1);
    delayedit = lineEdit(settingsGroup, "delayedit", "1");
    Label1 = new QLabel(QStringLiteral("# Points Plotted"), settingsGroup);
    Label2 = new QLabel(QStringLiteral("# Points Not Plotted"), settingsGroup);
    SpinEdit2 = spinEdit(settingsGroup, "SpinEdit2", 2, 10000000, 10000);
    SpinEdit3 = spinEdit(settingsGroup, "SpinEdit3", 0, 100000, 1000);
    timeedit1 = lineEdit(settingsGroup, "timeedit1", "1");
    timeedit2 = lineEdit(settingsGroup, "timeedit2", "30");
    PlotBoxes = new QCheckBox(QStringLiteral("       Plot Squares"), settingsGroup);
    PlotBoxes->setObjectName("PlotBoxes");
    ConnectPoints = new QCheckBox(QStringLiteral("       Connect Points"), settingsGroup);
    ConnectPoints->setObjectName("ConnectPoints");

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
    layout->addWidget(scaling.ManScal);
    layout->addWidget(scaling.group);
    layout->addWidget(varying.group);
    layout->addLayout(buttons);

    connect(okbutton, &QPushButton::clicked, this, &Tdelay2dsettings::okClicked);
    connect(cancelbutton, &QPushButton::clicked, this, &Tdelay2dsettings::reject);

    FormActivate();
    setFixedSize(sizeHint());
}

void Tdelay2dsettings::fill() {
    FillVariableList(varp1, workspace_);
    varp1->setCurrentIndex(0);
    varying.fill();
}

void Tdelay2dsettings::FormActivate() {
    const bool discrete = workspace_.discrete;
    varp2->setVisible(discrete);
    SpinEdit2->setVisible(discrete);
    SpinEdit3->setVisible(discrete);
    delayedit->setVisible(!discrete);
    timeedit1->setVisible(!discrete);
    timeedit2->setVisible(!discrete);
    Label1->setText(discrete ? QStringLiteral("# Points Plotted :")
                             : QStringLiteral("Start plotting at time :"));
    Label2->setText(discrete ? QStringLiteral("# Points Not Plotted :")
                             : QStringLiteral("End plotting at time :"));
    if (discrete) {
        ConnectPoints->setEnabled(true);
    } else {
        // A continuous orbit is a curve: its points are always joined.
        ConnectPoints->setChecked(true);
        ConnectPoints->setEnabled(false);
        PlotBoxes->setChecked(false);
    }
    scaling.ManScalClick();
}

DelayPlotSettings Tdelay2dsettings::settings() const {
    DelayPlotSettings settings;
    settings.variable = varp1->currentIndex() + 1;
    settings.delaySteps = varp2->value();
    settings.pointsPlotted = SpinEdit2->value();
    settings.pointsNotPlotted = SpinEdit3->value();
    if (!workspace_.discrete) {
        settings.delayTime = ParseFloat(delayedit->text().toStdString());
        settings.startTime = ParseFloat(timeedit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Tdelay2dsettings::resetOnResultClose() {
    scaling.resetOnClose();
    varp2->setValue(1);
    SpinEdit2->setValue(10000);
    SpinEdit3->setValue(1000);
}

void Tdelay2dsettings::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
}

void Tdelay2dsettings::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
    QDialog::changeEvent(event);
}

void Tdelay2dsettings::reject() {
    hide();
    emit cancelled();
}

}  // namespace kalvora

#include "analysis/orbit/timeseries/ttimeform2.h"

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

Ttimeform2::Ttimeform2(const ModelWorkspace& workspace)
    : scaling(this, false), workspace_(workspace) {
    setObjectName("Ttimeform2");
    setWindowTitle(QStringLiteral("Settings Time Series"));
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint);

    auto* settingsGroup = new QGroupBox(QStringLiteral("Settings"), this);
    settingsGroup->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(settingsGroup);
    vartijd = new QComboBox(settingsGroup);
    vartijd->setObjectName("vartijd");
    Label1 = new QLabel(settingsGroup);
    Label2 = new QLabel(settingsGroup);
    Label3 = new QLabel(QStringLiteral("Time step"), settingsGroup);
    SpinEdit1 = spinEdit(settingsGroup, "SpinEdit1", 2, 1000000, 100);
    SpinEdit2 = spinEdit(settingsGroup, "SpinEdit2", 0, 100000, 100);
    SpinEdit3 = spinEdit(settingsGroup, "SpinEdit3", 1, 1000, 1);
    timeEdit1 = lineEdit(settingsGroup, "timeEdit1", "100");
    timeedit2 = lineEdit(settingsGroup, "timeedit2", "200");
    CheckBox1 = new QCheckBox(QStringLiteral("       Plot Squares"), settingsGroup);
    CheckBox1->setObjectName("CheckBox1");
    ConnPoints = new QCheckBox(QStringLiteral("       Connect Points"), settingsGroup);
    ConnPoints->setObjectName("ConnPoints");
    ConnPoints->setChecked(true);

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
    layout->addLayout(buttons);

    connect(okbutton, &QPushButton::clicked, this, &Ttimeform2::okClicked);
    connect(cancelbutton, &QPushButton::clicked, this, &Ttimeform2::reject);

    FormActivate();
    setFixedSize(sizeHint().expandedTo(QSize(226, 339)));
}

void Ttimeform2::fillVariables() {
    FillVariableList(vartijd, workspace_);
    vartijd->setCurrentIndex(0);
}

void Ttimeform2::FormActivate() {
    const bool discrete = workspace_.discrete;
    SpinEdit1->setVisible(discrete);
    SpinEdit2->setVisible(discrete);
    timeEdit1->setVisible(!discrete);
    timeedit2->setVisible(!discrete);
    Label1->setText(discrete ? QStringLiteral("# Points Plotted :")
                             : QStringLiteral("Start plotting at time :"));
    Label2->setText(discrete ? QStringLiteral("# Points Not Plotted :")
                             : QStringLiteral("End plotting at time :"));
    Label3->setEnabled(discrete);
    SpinEdit3->setEnabled(discrete);
    if (discrete) {
        ConnPoints->setEnabled(true);
    } else {
        // A continuous orbit is a curve: its points are always joined.
        CheckBox1->setChecked(false);
        ConnPoints->setChecked(true);
        ConnPoints->setEnabled(false);
    }
    scaling.ManScalClick();
}

TimeSeriesSettings Ttimeform2::settings() const {
    TimeSeriesSettings settings;
    settings.variable = vartijd->currentIndex() + 1;
    settings.pointsPlotted = SpinEdit1->value();
    settings.pointsNotPlotted = SpinEdit2->value();
    settings.timeStep = SpinEdit3->value();
    if (!workspace_.discrete) {
        settings.startTime = ParseFloat(timeEdit1->text().toStdString());
        settings.endTime = ParseFloat(timeedit2->text().toStdString());
    }
    return settings;
}

void Ttimeform2::resetOnResultClose() {
    CheckBox1->setChecked(false);
    vartijd->setCurrentIndex(0);
}

void Ttimeform2::showEvent(QShowEvent* event) {
    FormActivate();
    QDialog::showEvent(event);
}

void Ttimeform2::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        FormActivate();
    }
    QDialog::changeEvent(event);
}

void Ttimeform2::reject() {
    hide();
    emit cancelled();
}

}  // namespace kalvora

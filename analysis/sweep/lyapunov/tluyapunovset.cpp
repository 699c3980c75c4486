#include "analysis/sweep/lyapunov/tluyapunovset.h"

#include "analysis/window/model_lists.h"
#include "core/numbers.h"

namespace kalvora {

TLuyapunovSet::TLuyapunovSet(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "TLuyapunovSet", QStringLiteral("Settings Luyapunov Exponent")),
      scaling(this, false) {
    partext = new QComboBox(settingsGroup);
    partext->setObjectName("partext");
    minLabel = new QLabel(QStringLiteral("Min Value  :"), settingsGroup);
    maxLabel = new QLabel(QStringLiteral("Max Value  :"), settingsGroup);
    const LyapunovSettings defaults;
    bmintext = addNumberEdit("bmintext", defaults.minimum);
    bmaxtext = addNumberEdit("bmaxtext", defaults.maximum);
    NumIt = addSpinEdit("NumIt", 1, 100000, static_cast<int>(defaults.iterations));
    Initialit = addSpinEdit("Initialit", 0, 100000, static_cast<int>(defaults.transientSteps));
    Epsilon = addNumberEdit("Epsilon", defaults.epsilon);
    CheckBox1 = addCheckBox(QStringLiteral("Manual Resolution"), "CheckBox1");
    resol = addLineEdit("resol", "");
    scaling.ManScal->setText(QStringLiteral("Manual Scaling"));

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("Parameter :"), settingsGroup), 0, 0);
    grid->addWidget(partext, 0, 1);
    grid->addWidget(minLabel, 1, 0);
    grid->addWidget(bmintext, 1, 1);
    grid->addWidget(maxLabel, 2, 0);
    grid->addWidget(bmaxtext, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Iterations:"), settingsGroup), 3, 0);
    grid->addWidget(NumIt, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Initial Iterations:"), settingsGroup), 4, 0);
    grid->addWidget(Initialit, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Size of Pertubation"), settingsGroup), 5, 0);
    grid->addWidget(Epsilon, 5, 1);
    grid->addWidget(CheckBox1, 6, 0);
    grid->addWidget(resol, 6, 1);

    connect(CheckBox1, &QCheckBox::toggled, this, [this] { FormActivate(); });
    finishLayout({scaling.ManScal, scaling.group}, QSize(280, 0));
}

void TLuyapunovSet::fillLists(long long defaultResolution) {
    FillParameterList(partext, workspace_);
    partext->setCurrentIndex(0);
    if (resol->text().isEmpty()) {
        resol->setText(QString::number(defaultResolution));
    }
    const QString name = partext->currentText();
    minLabel->setText(QStringLiteral("Min Value ") + name + QStringLiteral(" :"));
    maxLabel->setText(QStringLiteral("Max Value ") + name + QStringLiteral(" :"));
}

void TLuyapunovSet::FormActivate() {
    QSizePolicy policy = resol->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    resol->setSizePolicy(policy);
    resol->setVisible(CheckBox1->isChecked());
    scaling.ManScalClick();
}

LyapunovSettings TLuyapunovSet::settings() const {
    LyapunovSettings settings;
    settings.parameter = partext->currentIndex() + 1;
    settings.iterations = NumIt->value();
    settings.transientSteps = Initialit->value();
    settings.minimum = ParseFloat(bmintext->text().toStdString());
    settings.maximum = ParseFloat(bmaxtext->text().toStdString());
    settings.epsilon = ParseFloat(Epsilon->text().toStdString());
    if (CheckBox1->isChecked()) {
        settings.resolution = ParseInteger(resol->text().toStdString());
    }
    return settings;
}

}  // namespace kalvora

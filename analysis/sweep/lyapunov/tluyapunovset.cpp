#include "analysis/sweep/lyapunov/tluyapunovset.h"

namespace kalvora {

TLuyapunovSet::TLuyapunovSet(const ModelWorkspace& workspace)
    : SweepSettingsDialog(workspace, "TLuyapunovSet", QStringLiteral("Settings Lyapunov Exponent"),
                          LyapunovSettings{}.minimum, LyapunovSettings{}.maximum) {
    const LyapunovSettings defaults;
    NumIt = addSpinEdit("NumIt", 1, 100000, static_cast<int>(defaults.iterations));
    Initialit = addSpinEdit("Initialit", 0, 100000, static_cast<int>(defaults.transientSteps));
    Epsilon = addNumberEdit("Epsilon", defaults.epsilon);
    scaling.ManScal->setText(QStringLiteral("Manual Scaling"));

    QGridLayout* grid = settingsGrid;
    grid->addWidget(new QLabel(QStringLiteral("# Iterations:"), settingsGroup), 3, 0);
    grid->addWidget(NumIt, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("# Initial Iterations:"), settingsGroup), 4, 0);
    grid->addWidget(Initialit, 4, 1);
    grid->addWidget(new QLabel(QStringLiteral("Size of Perturbation"), settingsGroup), 5, 0);
    grid->addWidget(Epsilon, 5, 1);
    Method = new QComboBox(settingsGroup);
    Method->setObjectName(QStringLiteral("Method"));
    Method->addItems({QStringLiteral("Two trajectories"), QStringLiteral("Tangent space")});
    grid->addWidget(new QLabel(QStringLiteral("Method:"), settingsGroup), 6, 0);
    grid->addWidget(Method, 6, 1);
    connect(Method, &QComboBox::currentIndexChanged, this,
            [this](int index) { Epsilon->setEnabled(index == 0); });
    addResolutionRow(7, QStringLiteral("Manual Resolution"));
    finishLayout({scaling.ManScal, scaling.group}, QSize(280, 0));
}

void TLuyapunovSet::fillLists(long long defaultResolution) {
    fillParameterList(defaultResolution);
}

LyapunovSettings TLuyapunovSet::settings() const {
    LyapunovSettings settings;
    readInterval(settings);
    settings.iterations = NumIt->value();
    settings.transientSteps = Initialit->value();
    settings.method = Method->currentIndex() == 1 ? LyapunovMethod::TangentSpace
                                                  : LyapunovMethod::TwoTrajectories;
    // The tangent method never reads the perturbation: a field left unreadable does not stop it.
    if (settings.method == LyapunovMethod::TwoTrajectories) {
        settings.epsilon = FieldNumber(Epsilon);
    }
    readResolution(settings);
    return settings;
}

}  // namespace kalvora

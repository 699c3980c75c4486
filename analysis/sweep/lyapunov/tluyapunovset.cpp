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
    addResolutionRow(6, QStringLiteral("Manual Resolution"));
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
    settings.epsilon = FieldNumber(Epsilon);
    readResolution(settings);
    return settings;
}

}  // namespace kalvora

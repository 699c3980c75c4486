#include "analysis/sweep/spectrum/spectrum_dialog.h"

#include <QLabel>

namespace kalvora {

SpectrumDialog::SpectrumDialog(const ModelWorkspace& workspace)
    : SettingsDialog(workspace, "SpectrumDialog", QStringLiteral("Settings Lyapunov Spectrum")) {
    const SpectrumSettings defaults;
    // A spin box holds an int; the batch tool takes longer runs.
    Iterations = addSpinEdit("Iterations", 1, 1000000000, static_cast<int>(defaults.iterations));
    StartIterations =
        addSpinEdit("StartIterations", 0, 1000000000, static_cast<int>(defaults.transientSteps));
    settingsGrid->addWidget(new QLabel(QStringLiteral("# Iterations:"), settingsGroup), 0, 0);
    settingsGrid->addWidget(Iterations, 0, 1);
    settingsGrid->addWidget(new QLabel(QStringLiteral("# Initial Iterations:"), settingsGroup), 1,
                            0);
    settingsGrid->addWidget(StartIterations, 1, 1);
    finishLayout({}, QSize(280, 0));
}

SpectrumSettings SpectrumDialog::settings() const {
    SpectrumSettings settings;
    settings.iterations = Iterations->value();
    settings.transientSteps = StartIterations->value();
    return settings;
}

}  // namespace kalvora

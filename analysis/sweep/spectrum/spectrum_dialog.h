#pragma once

#include <QSpinBox>

#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "analysis/window/settings_dialog.h"

namespace kalvora {

// "Settings Lyapunov Spectrum": the steps averaged over and the transient before them.
class SpectrumDialog : public SettingsDialog {
    Q_OBJECT
  public:
    explicit SpectrumDialog(const ModelWorkspace& workspace);

    QSpinBox* Iterations;
    QSpinBox* StartIterations;

    void FormActivate() override {}
    SpectrumSettings settings() const;
};

}  // namespace kalvora

#pragma once

#include "analysis/sweep/spectrum/spectrum_window.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The Lyapunov spectrum: "Lyapunov &Spectrum..." opens the dialog; Accept in the parameter window
// runs it again.
using SpectrumModule = AnalysisWindowsModule<SpectrumDialog, SpectrumWindow>;

}  // namespace kalvora

#pragma once

#include "analysis/scan/lyapunovmap/lyapunov_map_window.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The Lyapunov map: "Lyapunov &Map..." opens the dialog, Accept in the parameter window rescans.
using LyapunovMapModule = AnalysisWindowsModule<LyapunovMapDialog, LyapunovMapWindow>;

}  // namespace kalvora

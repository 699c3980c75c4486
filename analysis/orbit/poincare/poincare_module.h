#pragma once

#include "analysis/orbit/poincare/poincare_settings_dialog.h"
#include "analysis/orbit/poincare/poincare_window.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The Poincaré section of a flow: "Poincar&é Section..." opens it, Accept in the parameter window
// recomputes it.
using PoincareModule = AnalysisWindowsModule<PoincareSettingsDialog, PoincareWindow>;

}  // namespace kalvora

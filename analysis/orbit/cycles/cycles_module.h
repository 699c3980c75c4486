#pragma once

#include "analysis/orbit/cycles/cycle_settings_dialog.h"
#include "analysis/orbit/cycles/cycles_window.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// Fixed points and cycles: "&Fixed Points and Cycles..." opens it.
using CyclesModule = AnalysisWindowsModule<CycleSettingsDialog, CyclesWindow>;

}  // namespace kalvora

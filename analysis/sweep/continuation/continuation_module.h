#pragma once

#include "analysis/sweep/continuation/continuation_settings_dialog.h"
#include "analysis/sweep/continuation/continuation_window.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// Continuation: "&Continuation..." opens it; Fixed Points and Cycles hands it a start.
using ContinuationModule = AnalysisWindowsModule<ContinuationSettingsDialog, ContinuationWindow>;

}  // namespace kalvora

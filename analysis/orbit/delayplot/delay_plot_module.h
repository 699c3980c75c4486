#pragma once

#include "analysis/orbit/delayplot/tdelay2dmain.h"
#include "analysis/orbit/delayplot/tdelay2dsettings.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The delay plot: "&Delay Plot..." opens it, Accept in the parameter window recomputes it under
// tag 5.
using DelayPlotModule = AnalysisWindowsModule<Tdelay2dsettings, Tdelay2Dmain>;

}  // namespace kalvora

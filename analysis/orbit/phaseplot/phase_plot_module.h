#pragma once

#include "analysis/orbit/phaseplot/tform2dsettings.h"
#include "analysis/orbit/phaseplot/tplot2dmain.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The phase plot: "&Phase Plot..." opens it, Accept in the parameter window recomputes it under
// tag 2.
using PhasePlotModule = AnalysisWindowsModule<Tform2dsettings, Tplot2Dmain>;

}  // namespace kalvora

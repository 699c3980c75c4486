#pragma once

#include "analysis/sweep/lyapunov/tluyapunovplot.h"
#include "analysis/sweep/lyapunov/tluyapunovset.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The largest Lyapunov exponent: "&Largest Lyapunov Exponent" opens it, Accept in the parameter
// window recomputes it under tag 4.
using LyapunovModule = AnalysisWindowsModule<TLuyapunovSet, TLuyapunovPlot>;

}  // namespace kalvora

#pragma once

#include "analysis/orbit/timeseries/ttimeform.h"
#include "analysis/orbit/timeseries/ttimeform2.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The time-series analysis: "&Time Series..." opens it, Accept in the parameter window recomputes
// it under tag 1.
using TimeSeriesModule = AnalysisWindowsModule<Ttimeform2, Ttimeform>;

}  // namespace kalvora

#pragma once

#include "analysis/data/statistics/tseriesinfo.h"
#include "analysis/data/statistics/tvarset.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// "S&tatistics": the settings dialog TVarSet and the window TSeriesinfo, run again after every
// Accept in the parameter window while the window is visible.
using StatisticsModule = AnalysisWindowsModule<TVarSet, TSeriesinfo>;

}  // namespace kalvora

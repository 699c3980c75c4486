#pragma once

#include <functional>

#include "analysis/scan/basins/tbasins.h"
#include "analysis/scan/periods/tboc.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// Parameter basins for periodic cycles: "Parameter Basins for Periodic &Cycles" opens the dialog,
// Accept in the parameter window rescans under tag 7. Made with TickAllDimensions(basins dialog).
using PeriodsModule = AnalysisWindowsModule<TPerCycles, TBoC>;

// What runs after every period scan: "All dim." is ticked in the basins dialog.
inline std::function<void()> TickAllDimensions(TBasins& basins) {
    return [&basins] { basins.alldim->setChecked(true); };
}

}  // namespace kalvora

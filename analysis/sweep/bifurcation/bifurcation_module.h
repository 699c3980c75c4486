#pragma once

#include "analysis/sweep/bifurcation/tbifsettings.h"
#include "analysis/sweep/bifurcation/tmainbifurc.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The bifurcation diagram: "&Bifurcation Diagram..." opens it, Accept in the parameter window
// recomputes it under tag 3.
using BifurcationModule = AnalysisWindowsModule<Tbifsettings, Tmainbifurc>;

}  // namespace kalvora

#pragma once

#include "analysis/orbit/cobweb/tgranform.h"
#include "analysis/orbit/cobweb/tgranform2.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// The graphical analysis: "&Graphical Analysis..." opens it, Accept in the parameter window
// recomputes it under tag 8.
using CobwebModule = AnalysisWindowsModule<Tgranform2, Tgranform>;

}  // namespace kalvora

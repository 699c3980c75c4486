#pragma once

#include "analysis/orbit/objects/tmanifform1.h"
#include "analysis/orbit/objects/tmanifsettings.h"
#include "analysis/window/analysis_windows_module.h"

namespace kalvora {

// Iterating objects: "&Iterating Objects..." opens it; its parameter command opens the parameter
// window under tag 9, whose Accept recomputes nothing here.
using ObjectsModule = AnalysisWindowsModule<Tmanifsettings, Tmanifform1>;

}  // namespace kalvora

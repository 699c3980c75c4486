#pragma once

#include "analysis/window/analysis_host.h"
#include "core/orbit_file.h"

namespace kalvora {

// "Build Data Series" and the spreadsheet's "&Save As...": asks for a ".txt" file starting in
// dataFolder, then writes the orbit behind the computing window. The file is replaced only when
// the writing ends: a Stop leaves it as it was. A model step that fails ends the file after the
// last complete line, which the user is told. Errors (a file that cannot be written) are shown.
// True when a file was written.
bool SaveOrbitFileBehindGauge(AnalysisHost& host, const OrbitSampling& sampling);

}  // namespace kalvora

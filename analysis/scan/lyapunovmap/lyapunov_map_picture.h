#pragma once

#include "analysis/scan/common/scan_picture.h"
#include "analysis/scan/lyapunovmap/lyapunov_map.h"

namespace kalvora {

// The colour bar beside the map: swatches from the largest exponent down to the lowest end of the
// scale with their values, zero among them on its white, and mid grey for orbits that failed.
ScanLegend LyapunovMapLegend(const LyapunovMapResult& result);

}  // namespace kalvora

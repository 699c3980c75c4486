#include "analysis/scan/lyapunovmap/lyapunov_map_picture.h"

#include <cmath>

#include "core/numbers.h"

namespace kalvora {

ScanLegend LyapunovMapLegend(const LyapunovMapResult& result) {
    // Four steps on each side of zero; a side without exponents has no steps.
    constexpr int kSteps = 4;
    ScanLegend legend;
    const auto add = [&](double value) {
        legend.push_back({LyapunovMapColour(value, result.lowest, result.highest),
                          QString::fromStdString(FormatGeneral(value, 3))});
    };
    for (int i = kSteps; i >= 1 && result.highest > 0; --i) {
        add(result.highest * i / kSteps);
    }
    add(0);
    for (int i = 1; i <= kSteps && result.lowest < 0; ++i) {
        add(result.lowest * i / kSteps);
    }
    for (const double exponent : result.exponents) {
        if (std::isnan(exponent)) {
            // NaN also marks pixels never reached; only reached ones count as failed.
            bool failed = false;
            for (int column = 0; column < result.raster.columns() && !failed; ++column) {
                for (int row = 0; row < result.raster.rows() && !failed; ++row) {
                    failed = result.raster.at(column, row) == kNoExponentColour;
                }
            }
            if (failed) {
                legend.push_back({kNoExponentColour, QStringLiteral("failed")});
            }
            break;
        }
    }
    return legend;
}

}  // namespace kalvora

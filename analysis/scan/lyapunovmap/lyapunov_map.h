#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "analysis/scan/common/scan_run.h"

namespace kalvora {

// What an axis of the plane varies: a parameter, or the initial value of a variable (the map of
// the logistic map over r and x0 shows where the start matters).
struct LyapunovMapAxis {
    bool initialValue = false;
    int index = 0;  // 0-based parameter or variable slot
};

struct LyapunovMapSettings {
    ScanDomain domain;
    LyapunovMapAxis horizontal{false, 0};
    LyapunovMapAxis vertical{false, 1};
    long long iterations = 1000;  // M, the steps averaged over
    long long transientSteps = 300;
};

// Refuses an axis the model does not have, both axes on one slot, M below 1, a negative
// transient and a bad domain. Raises ScanSettingsError.
void CheckLyapunovMapSettings(const ModelDefinition& model, const LyapunovMapSettings& settings);

// The largest exponent at every pixel, column by column and top to bottom as the raster holds
// them; NaN where the scan did not reach (a Stop) or the orbit failed.
struct LyapunovMapResult {
    ScanDomain domain;
    std::vector<double> exponents;
    ColourRaster raster;  // the diverging colour scale over [lowest, highest]
    double lowest = 0;    // the scale's ends: the exponents' range, always holding 0
    double highest = 0;
    bool stopped = false;
    std::string message;  // the first script message of a failing orbit

    double at(int column, int row) const {
        return exponents[static_cast<std::size_t>(column) *
                             static_cast<std::size_t>(domain.rows()) +
                         static_cast<std::size_t>(row)];
    }
};

// The largest exponent of one pixel by a tangent vector (no perturbation size): the model from its
// initial values with the pixel's values set, the transient, then M steps. NaN when a step failed.
double LyapunovMapPixel(ModelEvaluator& model, ModelKind kind, const LyapunovMapSettings& settings,
                        int column, int row);

// The plane on the models' evaluators (one per worker), the same numbers on any count of them.
// Stop keeps the pixels done; the rest stay NaN and blank.
// columns: the columns to compute (a tile's share of a run split over machines); the others stay
// NaN and blank.
LyapunovMapResult LyapunovMap(ScanModels& models, const LyapunovMapSettings& settings,
                              RunControl& control,
                              const std::function<void(long long columnsDone)>& columnsDone = {},
                              const ColumnRange& columns = {});

// The colour scale's ends from the exponents, and the colours of every pixel that is not blank in
// the raster: what the map does once every exponent is known, also for exponents put together from
// the tiles of a split run.
void ColourLyapunovMap(LyapunovMapResult& result);

// Where the colour scale runs: blue for the most negative exponent through white at 0 to red for
// the largest; each side scaled to its own end, so that zero always falls on white. Exponents
// below -kLyapunovMapFloor (a superstable orbit gives -100 per step) saturate.
inline constexpr double kLyapunovMapFloor = 10;
RgbColour LyapunovMapColour(double exponent, double lowest, double highest);
// The colour of a pixel without an exponent (a failed orbit): mid grey, on neither side.
inline constexpr RgbColour kNoExponentColour = 0x808080u;

// One line per pixel in the raster's order: horizontal value, vertical value, exponent, in the
// data format, CR LF; pixels not reached have no line, failed ones "Nan".
void WriteLyapunovMapLines(std::ostream& out, const LyapunovMapResult& result);

}  // namespace kalvora

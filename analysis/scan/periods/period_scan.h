#pragma once

#include <vector>

#include "analysis/scan/common/scan_run.h"

namespace kalvora {

struct PeriodSettings {
    // The periods looked for, in table order; the first that passes wins.
    std::vector<int> periods{1};
    int confirmations = 1;  // K
    ScanDomain domain;
    Extended epsilon = 0.001L;
    long long transient = 100;    // T
    int horizontalParameter = 0;  // 0-based parameter slots
    int verticalParameter = 1;
    ScanColours colours{};
};

// Refuses settings the scan cannot carry out: a model with fewer than two parameters, an axis that
// is not a model parameter, no period or one below 1, K below 1, a bad resolution. Raises
// ScanSettingsError.
void CheckPeriodSettings(int parameterCount, const PeriodSettings& settings);

// The colour of one parameter pair: the model from its initial values with pixel (column, row)'s
// parameter values, classified by the first listed period its orbit repeats after the transient.
// Leaves the two parameters of the model at the pixel's values.
RgbColour PeriodPixel(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                      int column, int row);

// The parameter plane coloured by period. The scan changes the parameters of its own evaluators
// only, so the workspace's values are those of before the scan, also after a stop.
ScanOutcome PeriodScan(ScanModels& models, const PeriodSettings& settings, RunControl& control,
                       const std::function<void(long long columnsDone)>& columnsDone = {},
                       const ColumnRange& columns = {});

}  // namespace kalvora

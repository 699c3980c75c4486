#pragma once

#include <vector>

#include "analysis/scan/common/scan_run.h"

namespace kalvora {

// One row of the cycle table: the period and one point of the cycle, a value per model variable.
struct BasinCycle {
    int period = 1;
    std::vector<Extended> point;
};

struct BasinSettings {
    // As many as the table's count says; the largest period is the number of test passes.
    std::vector<BasinCycle> cycles;
    ScanDomain domain;
    Extended epsilon = 0.001L;
    long long transient = 200;   // T
    int maxDistance = 1000;      // R, the divergence radius around the initial values
    int horizontalVariable = 0;  // 0-based variable slots
    int verticalVariable = 1;
    bool allDimensions = false;  // distances over all variables, not only the two axis variables
    ScanColours colours{};
};

// Refuses settings the scan cannot carry out: a model with fewer than two variables, an axis
// variable that is not a model variable, no cycle, a period below 1, a cycle point without one
// value per variable, a bad resolution. Raises ScanSettingsError.
void CheckBasinSettings(int variableCount, const BasinSettings& settings);

// The colour of one starting point: pixel (column, row) of the domain, the rest of the state from
// the model's initial values, classified as a cycle, divergent or non-converging.
RgbColour BasinPixel(ModelEvaluator& model, ModelKind kind, const BasinSettings& settings,
                     const StateDistance& distance, int column, int row);

// The basins of attraction of the cycles over the plane of the two axis variables.
ScanOutcome BasinScan(ScanModels& models, const BasinSettings& settings, RunControl& control,
                      const std::function<void(long long columnsDone)>& columnsDone = {},
                      const ColumnRange& columns = {});

// The distance the settings ask for on a model with this many variables.
StateDistance BasinDistance(int variableCount, const BasinSettings& settings);

}  // namespace kalvora

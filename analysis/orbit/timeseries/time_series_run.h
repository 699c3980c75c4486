#pragma once

#include "core/model_evaluator.h"
#include "core/point_sink.h"

namespace kalvora {

// What one time-series run plots. Discrete models use the counts, continuous models the interval.
struct TimeSeriesSettings {
    int variable = 1;                  // 1-based StateVector entry: variables, then auxiliaries
    long long pointsPlotted = 100;     // P
    long long pointsNotPlotted = 100;  // NP, the transient
    Extended startTime = 100;          // S
    Extended endTime = 200;            // E
    int timeStep = 1;                  // k: iterations between two plotted points
};

// The run's extent, fixed before the first step: the abscissa always spans start .. end. For a
// continuous model these are the times the rounded step counts reach, NP * h and (NP + P) * h.
struct TimeSeriesPlan {
    long long pointsPlotted = 0;     // P (the run plots P + 1 points)
    long long pointsNotPlotted = 0;  // NP
    Extended start = 0;              // S
    Extended end = 0;                // E
};

struct TimeSeriesOutcome {
    TimeSeriesPlan plan;
    long long pointsAdded = 0;
    bool failed = false;  // a model step set errorFlag; the points before it were kept
};

// Reads the counts or the interval for the model's kind. Raises OrbitSettingsError for a run that
// cannot be carried out.
TimeSeriesPlan PlanTimeSeries(const ModelDefinition& model, const TimeSeriesSettings& settings);

// Steps the model from its initial values and hands (time, value) points to the sink: for a
// discrete model at t = k * NP, k * (NP + 1), ..., k * (NP + P); for a continuous one at the times
// reached, (NP + g) * h. Stops at the first failing step and takes none after the last point.
TimeSeriesOutcome TimeSeriesRun(ModelEvaluator& model, const TimeSeriesSettings& settings,
                                PointSink& sink);

}  // namespace kalvora

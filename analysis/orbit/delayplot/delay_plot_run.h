#pragma once

#include "core/model_evaluator.h"
#include "core/point_sink.h"

namespace kalvora {

// What one delay-plot run plots. Discrete models use the step counts, continuous models the times.
struct DelayPlotSettings {
    int variable = 1;                   // 1-based StateVector entry: variables, then auxiliaries
    int delaySteps = 1;                 // d for discrete models
    Extended delayTime = 1;             // converted to steps for continuous models
    long long pointsPlotted = 10000;    // P
    long long pointsNotPlotted = 1000;  // NP, the transient
    Extended startTime = 1;             // S
    Extended endTime = 30;              // E
};

struct DelayPlotPlan {
    long long delaySteps = 0;  // d
    long long pointsPlotted = 0;
    long long pointsNotPlotted = 0;
};

struct DelayPlotOutcome {
    DelayPlotPlan plan;
    long long pointsAdded = 0;
    bool failed = false;  // a model step set errorFlag; the points before it were kept
};

// The largest delay in steps: the lagged values are held in memory, one per step of delay.
inline constexpr long long kMaximumDelaySteps = 10'000'000;

// Reads the delay and the counts for the model's kind. Raises OrbitSettingsError for a negative or
// too long delay and for runs that cannot be carried out.
DelayPlotPlan PlanDelayPlot(const ModelDefinition& model, const DelayPlotSettings& settings);

// Steps ONE orbit from the initial values: NP transient steps, then d steps, then P points
// (x(t), x(t + d)), one model step after each. The last d values of the variable wait in a ring
// buffer, so both coordinates of every point come from the same orbit, also with noise switched on.
DelayPlotOutcome DelayPlotRun(ModelEvaluator& model, const DelayPlotSettings& settings,
                              PointSink& sink);

}  // namespace kalvora

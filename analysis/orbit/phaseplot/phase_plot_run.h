#pragma once

#include "core/model_evaluator.h"
#include "core/point_sink.h"

namespace kalvora {

// What a fresh phase-plot run plots. Discrete models use the counts, continuous models the
// interval.
struct PhasePlotSettings {
    int xVariable = 1;  // 1-based StateVector entries: variables, then auxiliaries
    int yVariable = 2;
    long long pointsPlotted = 10000;    // P
    long long pointsNotPlotted = 1000;  // NP, the transient
    Extended startTime = 1;             // S
    Extended endTime = 50;              // E
};

// The orbit the phase plot keeps between runs: a fresh run restarts it from the initial values,
// "Next Iteration Set" continues it with the variables and count of the last fresh run.
struct PhasePlotOrbit {
    // The model the state belongs to: a continuation of another model's state would start the
    // new model from a point of the old one.
    ModelDefinitionPtr definition;
    StateVector state{};
    int xVariable = 1;
    int yVariable = 2;
    long long pointsPlotted = 0;
    long long pointsNotPlotted = 0;
};

struct PhasePlotOutcome {
    long long pointsAdded = 0;
    bool failed = false;  // a model step set errorFlag; the points before it were kept
    // A fresh run without failure whose last step moved X (or Y) by less than 1e-13: the orbit has
    // settled, and an automatic range around its points would collapse.
    bool xSettled = false;
    bool ySettled = false;
};

// Reads the counts or the interval for the model's kind into the orbit's run settings. Raises
// OrbitSettingsError for a run that cannot be carried out.
void PlanPhasePlot(const ModelDefinition& model, const PhasePlotSettings& settings,
                   PhasePlotOrbit& orbit);

// A fresh run (continuation false): plans the run, restarts the orbit from the initial values,
// clears errorFlag and steps the transient. Then hands P points (x, y) to the sink: a fresh run
// starts with the state after the transient, a continuation with the step after the kept state,
// one model step between two points and none after the last, so the kept state is the last point.
// A continuation after a failure adds nothing.
PhasePlotOutcome PhasePlotRun(ModelEvaluator& model, const PhasePlotSettings& settings,
                              PhasePlotOrbit& orbit, bool continuation, PointSink& sink);

}  // namespace kalvora

#pragma once

#include "core/model_evaluator.h"
#include "core/point_sink.h"

namespace kalvora {

// The graph of the n-th iterate is sampled at this many points across the interval.
inline constexpr int kCobwebCurvePoints = 800;
inline constexpr int kMaximumIteratedMap = 100;

// What "Settings Graphical Analysis" holds when a construction starts. The bounds may come in
// either order.
struct CobwebSettings {
    Extended minimum = 0;  // "Min Value"
    Extended maximum = 1;  // "Max Value"
    int iteratedMap = 1;   // n: the staircase follows the n-th iterate of the first variable
    Extended initialValue = 0.34L;
};

// A construction in progress: what "Next Iteration(s)" continues from. Only CobwebStart resets it.
struct CobwebConstruction {
    int iteratedMap = 1;
    Extended minimum = 0;  // ordered bounds
    Extended maximum = 1;
    Extended start = 0;  // the initial value actually used
    // The staircase moves on from a single-precision x, not from the extended state: this rounding
    // is part of the picture users compare, so it stays.
    float currentX = 0;
    bool firstStep = true;
    // A failed model step ends the construction until it is started again. Kept here rather than
    // read from the shared error flag, so that another analysis failing (or succeeding) in between
    // does not decide whether this staircase may grow.
    bool failed = false;
    // The other components of the map's argument: a one-variable model never reads them; they
    // start at the model's initial values and carry over from step to step.
    StateVector state{};
};

// Refuses an iterated-map count outside 1 .. 100 (raises OrbitSettingsError), before anything
// changes.
void CheckCobwebSettings(const CobwebSettings& settings);

// Starts a construction: clears errorFlag; hands the curve (kCobwebCurvePoints points of the n-th
// iterate over (min, max], ending early at a failing grid point), the diagonal ((max, max) then
// (min, min)) and the staircase's first point (x0, min) to their sinks. An initial value outside
// the bounds is replaced by (max + 2 min) / 3. Returns whether a model step failed.
bool CobwebStart(ModelEvaluator& model, ModelKind kind, const CobwebSettings& settings,
                 CobwebConstruction& construction, PointSink& curve, PointSink& diagonal,
                 PointSink& staircase);

// Grows the staircase by `count` steps of the n-th iterate: a horizontal segment to the diagonal
// (not before the first step), then a vertical one to the curve. Adds nothing once the construction
// has failed. Returns whether it has failed.
bool CobwebStep(ModelEvaluator& model, ModelKind kind, CobwebConstruction& construction,
                long long count, PointSink& staircase);

}  // namespace kalvora

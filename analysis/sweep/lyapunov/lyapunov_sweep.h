#pragma once

#include "analysis/sweep/common/sweep_run.h"
#include "core/model_evaluator.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {

// How the largest exponent is measured. Two trajectories: a second orbit displaced by epsilon in
// every model variable, their separation renormalised to epsilon after every step; it carries a
// bias of the order of epsilon and fails once the state grows so large that epsilon is lost in
// it. Tangent space: one tangent vector carried by the model's Jacobian (see TangentSpace), with
// neither; epsilon is then not used.
enum class LyapunovMethod { TwoTrajectories, TangentSpace };

// The largest Lyapunov exponent over a parameter interval.
struct LyapunovSettings {
    int parameter = 1;  // 1-based
    Extended minimum = 0;
    Extended maximum = 1.4L;
    long long iterations = 100;  // M, the steps averaged over
    long long transientSteps = 300;
    Extended epsilon = 0.001L;
    long long resolution = 600;  // N parameter steps, N + 1 values
    LyapunovMethod method = LyapunovMethod::TwoTrajectories;
    FailingValue onFailure = FailingValue::EndSweep;
    // False when the points go to a file as they come and are not held: no limit on their count.
    bool pointsHeld = true;
    // The values this run computes (all by default): one tile's share of a run split over machines.
    ValueRange values;
};

// What the logarithm adds for a step after which the two orbits coincide (d = 0).
inline constexpr Extended kCoincidentOrbitsPenalty = -100;

// The values the sweep visits, from minimum to maximum (downwards when minimum is the larger).
// Raises SweepSettingsError for settings that cannot run, before anything changes.
SweptValues PlanLyapunov(const ModelDefinition& model, const LyapunovSettings& settings);

// All workers `threads` allows (0: one per core, 1: one thread), one when noise is on.
int LyapunovWorkers(const ModelDefinition& model, const LyapunovSettings& settings, int threads);

// Runs the sweep on `model` and hands one point (parameter value, exponent) per value to the sink
// in sweep order. Exponents are per iteration for a discrete model and per unit of time for a
// continuous one. A failing step in the transient gives the point (value, 0), one in the
// measurement the partial sum over the full M; either ends the sweep with errorFlag set. The
// swept parameter of `model` keeps its value.
SweepOutcome LyapunovSweep(ModelEvaluator& model, ModelKind kind, const LyapunovSettings& settings,
                           int threads, RunControl& control, PointSink& sink);

}  // namespace kalvora

#pragma once

#include <vector>

#include "analysis/sweep/common/sweep_run.h"
#include "core/model_evaluator.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {

// All N Lyapunov exponents of the attractor reached from the initial values, by tangent dynamics.
struct SpectrumSettings {
    long long iterations = 100000;  // M, the steps averaged over
    long long transientSteps = 1000;
    // The running estimates are kept this many times over the run (at most), for the convergence
    // plot; 0 keeps none.
    long long convergenceSamples = 0;
};

// The running estimates after `step` steps (time = step for a map, step * h for a flow), in the
// order the factorisation keeps them (the largest first once the directions have settled).
struct ConvergenceSample {
    double time = 0;
    std::vector<double> exponents;
};

struct SpectrumResult {
    std::vector<Extended> exponents;  // sorted descending; per iteration or per unit of time
    Extended dimension = 0;           // Kaplan-Yorke
    long long steps = 0;              // measured steps made (fewer than M after a failure or Stop)
    bool failed = false;              // a model step or its Jacobian failed (errorFlag set)
    bool stopped = false;
    std::vector<ConvergenceSample> convergence;
};

// Raises SweepSettingsError for settings that cannot run.
void CheckSpectrumSettings(const SpectrumSettings& settings);

// One run on the evaluator's parameter values: the transient, then M steps with N tangent vectors.
// A failure or Stop ends the run with the averages over the steps made.
SpectrumResult LyapunovSpectrum(ModelEvaluator& model, ModelKind kind,
                                const SpectrumSettings& settings, RunControl& control);

// The spectrum over a parameter interval: N points (value, exponent) per value, largest exponent
// first, in sweep order; on every core, with the one-thread points. Settings as one run's, and the
// swept values as the largest-exponent sweep plans them.
struct SpectrumSweepSettings {
    SpectrumSettings run;
    int parameter = 1;  // 1-based
    Extended minimum = 0;
    Extended maximum = 1;
    long long resolution = 100;
};

SweptValues PlanSpectrumSweep(const ModelDefinition& model, const SpectrumSweepSettings& settings);

SweepOutcome SpectrumSweep(ModelEvaluator& model, ModelKind kind,
                           const SpectrumSweepSettings& settings, int threads, RunControl& control,
                           PointSink& sink);

}  // namespace kalvora

#include "analysis/sweep/lyapunov/lyapunov_sweep.h"

#include <cmath>

#include "analysis/sweep/common/tangent_space.h"
#include "core/model_purity.h"
#include "core/model_step.h"

namespace kalvora {

SweptValues PlanLyapunov(const ModelDefinition& model, const LyapunovSettings& settings) {
    if (settings.iterations < 1) {
        throw SweepSettingsError("The number of iterations must be at least 1");
    }
    if (settings.transientSteps < 0) {
        throw SweepSettingsError("The number of initial iterations must not be negative");
    }
    // A negative perturbation would take the logarithm of a negative ratio.
    if (!(settings.epsilon >= 0)) {
        throw SweepSettingsError("The size of the perturbation must not be negative");
    }
    return PlanSweptValues(model, settings.parameter, settings.minimum, settings.maximum,
                           settings.resolution, 1, settings.pointsHeld);
}

int LyapunovWorkers(const ModelDefinition& model, const LyapunovSettings& settings, int threads) {
    const long long count = settings.resolution < 0 ? 1 : settings.resolution + 1;
    return SweepWorkers(
        threads, !StepsDrawRandomNumbers(model) && ModelCallsAreIndependent(model.scriptText),
        count);
}

SweepOutcome LyapunovSweep(ModelEvaluator& model, ModelKind kind, const LyapunovSettings& settings,
                           int threads, RunControl& control, PointSink& sink) {
    const SweptValues values = PlanLyapunov(model.model(), settings);
    const int workers = LyapunovWorkers(model.model(), settings, threads);
    const int n = model.model().variableCount;
    const long long transient = settings.transientSteps;
    const long long iterations = settings.iterations;
    const Extended epsilon = settings.epsilon;
    const Extended lower = values.lower();
    const Extended upper = values.upper();
    const bool perUnitOfTime = kind == ModelKind::Continuous;

    SweepEmitter emitter(sink);
    return RunSweep(
        model, values, workers, control, emitter,
        [&](ModelEvaluator& runtime, long long index, ValuePoints& points) {
            StateVector a = runtime.model().initialValues;
            // i * step may round just beyond the far end; the value stays inside the
            // interval.
            Extended parameter = values.value(index);
            if (parameter > upper) {
                parameter = upper;
            }
            if (parameter < lower) {
                parameter = lower;
            }
            runtime.parameterValues[values.parameter] = parameter;
            // Nothing looks at the transient's steps: they may run as batches.
            ModelTransient(runtime, kind, a, transient);
            if (settings.method == LyapunovMethod::TangentSpace) {
                TangentSpace tangent(runtime, kind, 1);
                for (long long m = 0; m < iterations && tangent.step(a); ++m) {
                }
                // A failure averages over the full M, as the two-trajectory method.
                Extended exponent = tangent.sum(0) / static_cast<Extended>(iterations);
                if (perUnitOfTime) {
                    exponent /= runtime.model().stepSize;
                }
                points.add(static_cast<double>(parameter), static_cast<double>(exponent));
                return !runtime.errorFlag;
            }
            Extended sum = 0;
            StateVector b = a;
            for (int k = 0; k < n; ++k) {
                b[k] += epsilon;
            }
            // Machine code makes what it can of the pair, the steps below the rest.
            long long m = NativeLyapunovPair(runtime, kind, a, b, iterations, epsilon,
                                             kCoincidentOrbitsPenalty, 1e-8L, sum);
            for (; m < iterations && !runtime.errorFlag; ++m) {
                ModelStep(runtime, kind, a);
                ModelStep(runtime, kind, b);
                Extended squares = 0;
                for (int k = 0; k < n; ++k) {
                    const Extended difference = a[k] - b[k];
                    squares += difference * difference;
                }
                const Extended d = std::sqrt(squares);
                if (d > 0) {
                    sum += std::log(d / epsilon);
                } else {
                    sum += kCoincidentOrbitsPenalty;
                }
                const Extended factor = d != 0 ? epsilon / d : 1e-8L;
                for (int k = 0; k < n; ++k) {
                    b[k] = a[k] + (b[k] - a[k]) * factor;
                }
            }
            Extended exponent = sum / static_cast<Extended>(iterations);
            if (perUnitOfTime) {
                exponent /= runtime.model().stepSize;
            }
            points.add(static_cast<double>(parameter), static_cast<double>(exponent));
            return !runtime.errorFlag;
        },
        settings.onFailure, settings.values);
}

}  // namespace kalvora

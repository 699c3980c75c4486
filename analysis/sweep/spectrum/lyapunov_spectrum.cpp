#include "analysis/sweep/spectrum/lyapunov_spectrum.h"

#include <algorithm>
#include <functional>

#include "analysis/sweep/common/tangent_space.h"
#include "core/model_purity.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

// How often a single run looks at Stop and moves the progress bar: rarely enough to cost nothing
// beside a step, often enough to answer within a blink.
constexpr long long kPollEvery = 4096;

SpectrumResult RunSpectrum(ModelEvaluator& model, ModelKind kind, const SpectrumSettings& settings,
                           const std::function<bool(long long done)>& goOn) {
    SpectrumResult result;
    StateVector state = model.model().initialValues;
    // Nothing looks at the transient's steps: they may run as batches.
    ModelTransient(model, kind, state, settings.transientSteps);
    const int n = model.model().variableCount;
    TangentSpace tangent(model, kind, n);
    const long long every = settings.convergenceSamples > 0
                                ? std::max(1LL, settings.iterations / settings.convergenceSamples)
                                : 0;
    const double h =
        kind == ModelKind::Continuous ? static_cast<double>(model.model().stepSize) : 1.0;
    for (long long m = 0; m < settings.iterations && !model.errorFlag; ++m) {
        if (m % kPollEvery == 0 && !goOn(m)) {
            result.stopped = true;
            break;
        }
        if (!tangent.step(state)) {
            break;
        }
        if (every > 0 && (m + 1) % every == 0) {
            ConvergenceSample sample;
            sample.time = static_cast<double>(m + 1) * h;
            for (int i = 0; i < n; ++i) {
                sample.exponents.push_back(static_cast<double>(tangent.exponent(i)));
            }
            result.convergence.push_back(std::move(sample));
        }
    }
    result.failed = model.errorFlag;
    result.steps = tangent.steps();
    for (int i = 0; i < n; ++i) {
        result.exponents.push_back(tangent.exponent(i));
    }
    std::sort(result.exponents.begin(), result.exponents.end(), std::greater<Extended>());
    result.dimension = KaplanYorkeDimension(result.exponents);
    return result;
}

}  // namespace

void CheckSpectrumSettings(const SpectrumSettings& settings) {
    if (settings.iterations < 1) {
        throw SweepSettingsError("The number of iterations must be at least 1");
    }
    if (settings.transientSteps < 0) {
        throw SweepSettingsError("The number of initial iterations must not be negative");
    }
}

SpectrumResult LyapunovSpectrum(ModelEvaluator& model, ModelKind kind,
                                const SpectrumSettings& settings, RunControl& control) {
    CheckSpectrumSettings(settings);
    // Stop reaches the model even inside a step that never ends.
    const RunningModel running(control, model.interrupt);
    control.progress().start(settings.iterations);
    SpectrumResult result = RunSpectrum(model, kind, settings, [&](long long done) {
        control.progress().setPosition(done);
        return !control.stopRequested();
    });
    control.progress().finish();
    if (model.errorFlag && control.stopRequested()) {
        // Interrupted inside a step: a stop, not a failure of the model.
        result.failed = false;
        result.stopped = true;
    }
    return result;
}

SweptValues PlanSpectrumSweep(const ModelDefinition& model, const SpectrumSweepSettings& settings) {
    CheckSpectrumSettings(settings.run);
    return PlanSweptValues(model, settings.parameter, settings.minimum, settings.maximum,
                           settings.resolution, std::max(1, model.variableCount));
}

SweepOutcome SpectrumSweep(ModelEvaluator& model, ModelKind kind,
                           const SpectrumSweepSettings& settings, int threads, RunControl& control,
                           PointSink& sink) {
    const SweptValues values = PlanSpectrumSweep(model.model(), settings);
    const int workers = SweepWorkers(threads,
                                     !StepsDrawRandomNumbers(model.model()) &&
                                         ModelCallsAreIndependent(model.model().scriptText),
                                     values.count());
    const Extended lower = values.lower();
    const Extended upper = values.upper();
    SpectrumSettings run = settings.run;
    run.convergenceSamples = 0;
    SweepEmitter emitter(sink);
    return RunSweep(
        model, values, workers, control, emitter,
        [&](ModelEvaluator& runtime, long long index, ValuePoints& points) {
            // i * step may round just beyond the far end; the value stays inside.
            const Extended parameter = std::clamp(values.value(index), lower, upper);
            runtime.parameterValues[values.parameter] = parameter;
            // A long value answers Stop too; its partial averages are not
            // results, so it adds no points.
            const SpectrumResult result = RunSpectrum(
                runtime, kind, run, [&](long long) { return !control.stopRequested(); });
            if (result.stopped) {
                return true;
            }
            for (const Extended exponent : result.exponents) {
                points.add(static_cast<double>(parameter), static_cast<double>(exponent));
            }
            return !runtime.errorFlag;
        });
}

}  // namespace kalvora

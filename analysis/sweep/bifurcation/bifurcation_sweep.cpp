#include "analysis/sweep/bifurcation/bifurcation_sweep.h"

#include "analysis/orbit/common/orbit_counts.h"
#include "core/model_purity.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

// The crossings or maxima of one value's orbit from state on, which is left where the orbit
// ended (a carried state goes on from there).
void PlotFlowEvents(ModelEvaluator& runtime, const BifurcationSettings& settings,
                    StateVector& state, double x, ValuePoints& points) {
    const int variable = settings.plotVariable - 1;
    FlowSteps flow(runtime, state);
    long long found = 0;
    long long quiet = 0;
    StateVector at{};
    Extended time = 0;
    while (found < settings.plottedPoints && quiet < kMostStepsPerEvent && flow.advance()) {
        ++quiet;
        const FlowEvent event = settings.flowPlot == FlowPlot::LocalMaxima
                                    ? FindMaximum(flow, variable, time, at)
                                    : FindCrossing(flow, settings.section, time, at);
        if (event == FlowEvent::Failed) {
            break;
        }
        if (event == FlowEvent::Found) {
            points.add(x, static_cast<double>(at[variable]));
            ++found;
            quiet = 0;
        }
    }
    state = flow.state();
}

}  // namespace

SweptValues PlanBifurcation(const ModelDefinition& model, const BifurcationSettings& settings) {
    CheckStateEntry(settings.plotVariable);
    if (settings.plottedPoints < 0 || settings.transientSteps < 0) {
        throw SweepSettingsError(
            "The numbers of plotted and not plotted points must not be negative");
    }
    Extended from = settings.minimum;
    Extended to = settings.maximum;
    if (settings.rightToLeft) {
        std::swap(from, to);
    }
    if (settings.flowPlot != FlowPlot::EveryStep && model.kind != ModelKind::Continuous) {
        throw SweepSettingsError(
            "Section crossings and maxima are plotted only for a continuous model");
    }
    if (settings.flowPlot == FlowPlot::SectionCrossings && settings.section.terms.empty()) {
        throw SweepSettingsError("The section names no variable");
    }
    return PlanSweptValues(model, settings.parameter, from, to, settings.resolution,
                           settings.plottedPoints, settings.pointsHeld);
}

int BifurcationWorkers(const ModelDefinition& model, const BifurcationSettings& settings,
                       int threads) {
    const long long count = settings.resolution < 0 ? 1 : settings.resolution + 1;
    return SweepWorkers(threads,
                        !settings.carryState && !StepsDrawRandomNumbers(model) &&
                            ModelCallsAreIndependent(model.scriptText),
                        count);
}

SweepOutcome BifurcationSweep(ModelEvaluator& model, ModelKind kind,
                              const BifurcationSettings& settings, int threads, RunControl& control,
                              PointSink& sink, const std::function<void()>& refresh) {
    const SweptValues values = PlanBifurcation(model.model(), settings);
    const int workers = BifurcationWorkers(model.model(), settings, threads);
    const int variable = settings.plotVariable - 1;
    const long long transient = settings.transientSteps;
    const long long plotted = settings.plottedPoints;

    // The picture is brought up to date at values (N div 10) * c, c = 1, 2, ...: about ten times
    // per sweep, and only once (at the first value) for fewer than ten steps.
    const long long every = values.steps / 10;
    long long counter = 1;
    SweepEmitter emitter(sink, [&](long long index) {
        if (index == every * counter) {
            ++counter;
            if (refresh) {
                refresh();
            }
        }
    });

    // Only used with one worker: a carried state goes from each value to the next.
    StateVector carried = model.model().initialValues;
    const bool carry = settings.carryState;
    return RunSweep(
        model, values, workers, control, emitter,
        [&](ModelEvaluator& runtime, long long index, ValuePoints& points) {
            StateVector fresh;
            StateVector& state = carry ? carried : fresh;
            if (!carry) {
                state = runtime.model().initialValues;
            }
            // A skipped value hands the next one the state it was given, not the
            // wreck its failure left.
            const StateVector given = state;
            const auto ended = [&] {
                if (runtime.errorFlag && carry) {
                    state = given;
                }
                return !runtime.errorFlag;
            };
            const Extended parameter = values.value(index);
            runtime.parameterValues[values.parameter] = parameter;
            // Nothing looks at the transient's steps: they may run as batches.
            ModelTransient(runtime, kind, state, transient);
            const double x = static_cast<double>(parameter);
            if (settings.flowPlot != FlowPlot::EveryStep) {
                if (!runtime.errorFlag) {
                    PlotFlowEvents(runtime, settings, state, x, points);
                }
                return ended();
            }
            for (long long k = 0; k < plotted && !runtime.errorFlag; ++k) {
                ModelStep(runtime, kind, state);
                points.add(x, static_cast<double>(state[variable]));
            }
            return ended();
        },
        settings.onFailure, settings.values);
}

}  // namespace kalvora

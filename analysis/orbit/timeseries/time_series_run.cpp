#include "analysis/orbit/timeseries/time_series_run.h"

#include <limits>
#include <string>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/common/orbit_start.h"
#include "core/model_step.h"

namespace kalvora {

namespace {

Extended ReachedTime(long long steps, Extended stepSize) {
    return static_cast<Extended>(steps) * stepSize;
}

}  // namespace

TimeSeriesPlan PlanTimeSeries(const ModelDefinition& model, const TimeSeriesSettings& settings) {
    CheckStateEntry(settings.variable);
    if (model.discrete && settings.timeStep < 1) {
        throw OrbitSettingsError("The time step must be at least 1");
    }
    TimeSeriesPlan plan;
    if (model.discrete) {
        const long long k = settings.timeStep;
        plan.pointsPlotted = settings.pointsPlotted;
        plan.pointsNotPlotted = settings.pointsNotPlotted;
        // The batch tool takes any 64-bit count: k times it, and the end, must stay one too.
        if (plan.pointsNotPlotted > 0 && plan.pointsPlotted >= 0 &&
            plan.pointsNotPlotted >
                (std::numeric_limits<long long>::max() - plan.pointsPlotted * k) / k) {
            throw OrbitSettingsError("The run asks for more than " +
                                     std::to_string(std::numeric_limits<long long>::max()) +
                                     " steps");
        }
        plan.start = static_cast<Extended>(k * plan.pointsNotPlotted);
        plan.end = static_cast<Extended>(k * (plan.pointsNotPlotted + plan.pointsPlotted));
        CheckOrbitRunSize(plan.pointsPlotted, k * plan.pointsNotPlotted);
    } else {
        plan.pointsPlotted =
            ContinuousStepCount(settings.endTime - settings.startTime, model.stepSize);
        plan.pointsNotPlotted = ContinuousStepCount(settings.startTime, model.stepSize);
        CheckOrbitRunSize(plan.pointsPlotted, plan.pointsNotPlotted);
        // The counts are rounded, so the run spans the times it really reaches, which are S and E
        // themselves when they are whole multiples of the step size.
        plan.start = ReachedTime(plan.pointsNotPlotted, model.stepSize);
        plan.end = ReachedTime(plan.pointsNotPlotted + plan.pointsPlotted, model.stepSize);
    }
    return plan;
}

TimeSeriesOutcome TimeSeriesRun(ModelEvaluator& model, const TimeSeriesSettings& settings,
                                PointSink& sink) {
    TimeSeriesOutcome outcome;
    outcome.plan = PlanTimeSeries(model.model(), settings);
    const TimeSeriesPlan& plan = outcome.plan;
    const int slot = settings.variable - 1;
    const ModelKind kind = model.model().kind;

    const long long k = model.model().discrete ? settings.timeStep : 1;
    StateVector state = StartOrbit(model, k * plan.pointsNotPlotted);

    if (model.model().discrete) {
        const long long last = plan.pointsNotPlotted + plan.pointsPlotted;
        for (long long g = plan.pointsNotPlotted; g <= last; ++g) {
            if (model.errorFlag) {
                break;
            }
            // The abscissa is counted in integers so that long runs keep exact iteration numbers.
            sink.addPoint(static_cast<double>(g * k), static_cast<double>(state[slot]));
            ++outcome.pointsAdded;
            // No steps after the last point: their failure would mark a complete run as failed.
            if (g == last) {
                break;
            }
            for (long long i = 0; i < k; ++i) {
                ModelStep(model, kind, state);
                if (model.errorFlag) {
                    break;
                }
            }
        }
    } else {
        for (long long g = 0; g <= plan.pointsPlotted; ++g) {
            if (model.errorFlag) {
                break;
            }
            // The time the orbit has reached, (NP + g) * h, from the step count: accumulating h
            // would drift away from round times.
            const Extended time = ReachedTime(plan.pointsNotPlotted + g, model.model().stepSize);
            sink.addPoint(static_cast<double>(time), static_cast<double>(state[slot]));
            ++outcome.pointsAdded;
            if (g < plan.pointsPlotted) {
                ModelStep(model, kind, state);
            }
        }
    }
    outcome.failed = model.errorFlag;
    return outcome;
}

}  // namespace kalvora

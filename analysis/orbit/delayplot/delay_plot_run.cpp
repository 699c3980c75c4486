#include "analysis/orbit/delayplot/delay_plot_run.h"

#include <string>
#include <vector>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/common/orbit_start.h"
#include "core/model_step.h"

namespace kalvora {

DelayPlotPlan PlanDelayPlot(const ModelDefinition& model, const DelayPlotSettings& settings) {
    CheckStateEntry(settings.variable);
    DelayPlotPlan plan;
    if (model.discrete) {
        plan.delaySteps = settings.delaySteps;
        plan.pointsPlotted = settings.pointsPlotted;
        plan.pointsNotPlotted = settings.pointsNotPlotted;
    } else {
        plan.delaySteps = ContinuousStepCount(settings.delayTime, model.stepSize);
        plan.pointsPlotted =
            ContinuousStepCount(settings.endTime - settings.startTime, model.stepSize);
        plan.pointsNotPlotted = ContinuousStepCount(settings.startTime, model.stepSize);
    }
    if (plan.delaySteps < 0) {
        throw OrbitSettingsError("The delay must not be negative");
    }
    if (plan.delaySteps > kMaximumDelaySteps) {
        throw OrbitSettingsError("The delay of " + std::to_string(plan.delaySteps) +
                                 " steps is too long; at most " +
                                 std::to_string(kMaximumDelaySteps) + " are allowed");
    }
    CheckOrbitRunSize(plan.pointsPlotted, plan.pointsNotPlotted);
    return plan;
}

DelayPlotOutcome DelayPlotRun(ModelEvaluator& model, const DelayPlotSettings& settings,
                              PointSink& sink) {
    DelayPlotOutcome outcome;
    outcome.plan = PlanDelayPlot(model.model(), settings);
    const DelayPlotPlan& plan = outcome.plan;
    const int slot = settings.variable - 1;
    const ModelKind kind = model.model().kind;

    StateVector state = StartOrbit(model, plan.pointsNotPlotted);

    // lagged[next] is x(t) when the state holds x(t + d); it is overwritten by x(t + d) right after
    // being read, which makes it x(t + 1) for the next point.
    std::vector<double> lagged(static_cast<std::size_t>(plan.delaySteps));
    for (std::size_t i = 0; i < lagged.size() && !model.errorFlag; ++i) {
        lagged[i] = static_cast<double>(state[slot]);
        ModelStep(model, kind, state);
    }

    std::size_t next = 0;
    for (long long i = 0; i < plan.pointsPlotted; ++i) {
        if (model.errorFlag) {
            break;
        }
        const double ahead = static_cast<double>(state[slot]);
        if (lagged.empty()) {
            sink.addPoint(ahead, ahead);
        } else {
            sink.addPoint(lagged[next], ahead);
            lagged[next] = ahead;
            next = next + 1 == lagged.size() ? 0 : next + 1;
        }
        ++outcome.pointsAdded;
        // No step after the last point: its failure would mark a complete run as failed.
        if (i + 1 < plan.pointsPlotted) {
            ModelStep(model, kind, state);
        }
    }
    outcome.failed = model.errorFlag;
    return outcome;
}

}  // namespace kalvora

#include "analysis/orbit/phaseplot/phase_plot_run.h"

#include <cmath>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/common/orbit_start.h"
#include "core/model_step.h"

namespace kalvora {

void PlanPhasePlot(const ModelDefinition& model, const PhasePlotSettings& settings,
                   PhasePlotOrbit& orbit) {
    CheckStateEntry(settings.xVariable);
    CheckStateEntry(settings.yVariable);
    long long plotted = settings.pointsPlotted;
    long long transient = settings.pointsNotPlotted;
    if (!model.discrete) {
        plotted = ContinuousStepCount(settings.endTime - settings.startTime, model.stepSize);
        transient = ContinuousStepCount(settings.startTime, model.stepSize);
    }
    CheckOrbitRunSize(plotted, transient);
    orbit.xVariable = settings.xVariable;
    orbit.yVariable = settings.yVariable;
    orbit.pointsPlotted = plotted;
    orbit.pointsNotPlotted = transient;
}

PhasePlotOutcome PhasePlotRun(ModelEvaluator& model, const PhasePlotSettings& settings,
                              PhasePlotOrbit& orbit, bool continuation, PointSink& sink) {
    const ModelKind kind = model.model().kind;
    StateVector& state = orbit.state;
    if (!continuation) {
        PlanPhasePlot(model.model(), settings, orbit);
        orbit.definition = model.definition;
        state = StartOrbit(model, orbit.pointsNotPlotted);
    }

    PhasePlotOutcome outcome;
    const int x = orbit.xVariable - 1;
    const int y = orbit.yVariable - 1;
    // The kept state is always the last plotted point: a fresh run plots the state after the
    // transient as it is, a continuation steps first, so it joins its orbit without skipping an
    // iterate, and no step is taken after the last point (nor after a failure).
    Extended previousX = state[x];
    Extended previousY = state[y];
    for (long long i = 0; i < orbit.pointsPlotted && !model.errorFlag; ++i) {
        if (i > 0 || continuation) {
            previousX = state[x];
            previousY = state[y];
            ModelStep(model, kind, state);
            if (model.errorFlag) {
                break;
            }
        }
        sink.addPoint(static_cast<double>(state[x]), static_cast<double>(state[y]));
        ++outcome.pointsAdded;
    }

    outcome.failed = model.errorFlag;
    // The last step tells whether the orbit still moves.
    if (!continuation && !outcome.failed) {
        outcome.xSettled = std::fabs(previousX - state[x]) < 1e-13L;
        outcome.ySettled = std::fabs(previousY - state[y]) < 1e-13L;
    }
    return outcome;
}

}  // namespace kalvora

#include "analysis/orbit/phaseplot/phase_plot_run.h"

#include <cmath>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/common/orbit_start.h"
#include "core/model_step.h"

namespace kalvora {

void PlanPhasePlot(const ModelWorkspace& workspace, const PhasePlotSettings& settings,
                   PhasePlotOrbit& orbit) {
    CheckStateEntry(settings.xVariable);
    CheckStateEntry(settings.yVariable);
    long long plotted = settings.pointsPlotted;
    long long transient = settings.pointsNotPlotted;
    if (!workspace.discrete) {
        plotted = ContinuousStepCount(settings.endTime - settings.startTime, workspace.stepSize);
        transient = ContinuousStepCount(settings.startTime, workspace.stepSize);
    }
    CheckOrbitRunSize(plotted, transient);
    orbit.xVariable = settings.xVariable;
    orbit.yVariable = settings.yVariable;
    orbit.pointsPlotted = plotted;
    orbit.pointsNotPlotted = transient;
}

PhasePlotOutcome PhasePlotRun(ModelWorkspace& workspace, const PhasePlotSettings& settings,
                              PhasePlotOrbit& orbit, bool continuation, PointSink& sink) {
    const ModelKind kind = workspace.kind;
    StateVector& state = orbit.state;
    if (!continuation) {
        PlanPhasePlot(workspace, settings, orbit);
        state = StartOrbit(workspace, orbit.pointsNotPlotted);
    }

    PhasePlotOutcome outcome;
    const int x = orbit.xVariable - 1;
    const int y = orbit.yVariable - 1;
    // The kept state is always the last plotted point: a fresh run plots the state after the
    // transient as it is, a continuation steps first, so it joins its orbit without skipping an
    // iterate, and no step is taken after the last point (nor after a failure).
    Extended previousX = state[x];
    Extended previousY = state[y];
    for (long long i = 0; i < orbit.pointsPlotted && !workspace.errorFlag; ++i) {
        if (i > 0 || continuation) {
            previousX = state[x];
            previousY = state[y];
            ModelStep(workspace, kind, state);
            if (workspace.errorFlag) {
                break;
            }
        }
        sink.addPoint(static_cast<double>(state[x]), static_cast<double>(state[y]));
        ++outcome.pointsAdded;
    }

    outcome.failed = workspace.errorFlag;
    // The last step tells whether the orbit still moves.
    if (!continuation && !outcome.failed) {
        outcome.xSettled = std::fabs(previousX - state[x]) < 1e-13L;
        outcome.ySettled = std::fabs(previousY - state[y]) < 1e-13L;
    }
    return outcome;
}

}  // namespace kalvora

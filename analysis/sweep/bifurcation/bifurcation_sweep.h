#pragma once

#include <functional>

#include "analysis/sweep/common/sweep_run.h"
#include "core/flow_events.h"
#include "core/model_evaluator.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {

// What a continuous model's diagram plots after the transient: the variable after every step (a
// band where the orbit is periodic), or its values where the orbit crosses a section, or its
// local maxima. The latter two make the orbit diagram of the flow.
enum class FlowPlot { EveryStep, SectionCrossings, LocalMaxima };

// One bifurcation sweep: for each parameter value, a transient and then the plotted values of one
// variable.
struct BifurcationSettings {
    int parameter = 1;  // 1-based
    Extended minimum = 0;
    Extended maximum = 1.4L;
    int plotVariable = 1;  // 1-based StateVector entry: variables, then auxiliary variables
    long long plottedPoints = 100;
    long long transientSteps = 300;
    bool carryState = false;  // start each value from the state the previous one left
    bool rightToLeft = false;
    long long resolution = 600;  // N parameter steps, N + 1 values
    // Continuous models only; plottedPoints then counts crossings or maxima, transientSteps stays
    // a count of steps.
    FlowPlot flowPlot = FlowPlot::EveryStep;
    Section section;
    FailingValue onFailure = FailingValue::EndSweep;
    // False when the points go to a file as they come and are not held: no limit on their count.
    bool pointsHeld = true;
    // The values this run computes (all by default): one tile's share of a run split over machines.
    ValueRange values;
};

// The values the sweep visits, in its order (from max down when right to left). Raises
// SweepSettingsError for settings that cannot run, before anything changes.
SweptValues PlanBifurcation(const ModelDefinition& model, const BifurcationSettings& settings);

// The workers the sweep uses: all that `threads` allows (0: one per core, 1: one thread) when the
// values are independent of each other, one when the state is carried or noise is on.
int BifurcationWorkers(const ModelDefinition& model, const BifurcationSettings& settings,
                       int threads);

// Runs the sweep on `model` and hands every point (parameter value, plot variable after the step;
// with a flow plot, at each crossing or maximum: a value whose orbit finds none in
// kMostStepsPerEvent steps plots what it found)
// to the sink in sweep order, on the calling thread. The sweep ends at a stop request (polled
// before each value) or after the value whose step failed, which keeps the points up to and
// including the failing step; errorFlag is then set. The swept parameter of `model` keeps its
// value. `refresh`, when given, is called after the first point of about every tenth value, where
// a window brings its picture up to date.
SweepOutcome BifurcationSweep(ModelEvaluator& model, ModelKind kind,
                              const BifurcationSettings& settings, int threads, RunControl& control,
                              PointSink& sink, const std::function<void()>& refresh = {});

}  // namespace kalvora

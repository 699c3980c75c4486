// "Next Iteration(s)" of the iterating-objects window: one time step of a square of 4 x 10000
// points under the Henon map, against the same 40000 bare ModelStep calls on full states, which
// shows what keeping only the variables of each point costs. And one cobweb construction (800
// curve points of the 4th iterate of the logistic map).

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/orbit/objects/object_run.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

constexpr long long kResolution = 10000;
constexpr long long kPoints = 4 * kResolution;

struct Loaded {
    ModelWorkspace ws;
    // The loaded model run on this thread.
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    explicit Loaded(const std::string& name) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

class NullSink final : public PointSink {
  public:
    void addPoint(double x, double y) override { benchmark::DoNotOptimize(x + y); }
};

ObjectSettings Square() {
    ObjectSettings settings;
    settings.vertices = {{0, 0}, {0.5L, 0}, {0.5L, 0.5L}, {0, 0.5L}};
    settings.resolution = kResolution;
    settings.showAttractor = false;
    return settings;
}

void Report(benchmark::State& state) {
    state.counters["steps"] =
        benchmark::Counter(kPoints, benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: one model step for each of the points, each kept as a full state.
void BM_BareStepsOnFullStates(benchmark::State& state) {
    Loaded henon("henon.mod");
    IteratedObject object = BuildObject(henon.ws.model(), Square());
    std::vector<StateVector> states(kPoints, henon.ws.model().initialValues);
    for (long long i = 0; i < kPoints; ++i) {
        states[i][0] = object.coordinate(i, 0);
        states[i][1] = object.coordinate(i, 1);
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<StateVector> moving = states;
        henon.evaluator->errorFlag = false;
        state.ResumeTiming();
        for (StateVector& point : moving) {
            ModelStep(*henon.evaluator, henon.ws.model().kind, point);
        }
        benchmark::DoNotOptimize(moving.data());
    }
    Report(state);
}
BENCHMARK(BM_BareStepsOnFullStates)->Unit(benchmark::kMillisecond);

// One time step as the window takes it: every point stepped and handed to the series.
void BM_ObjectStep(benchmark::State& state) {
    Loaded henon("henon.mod");
    const IteratedObject start = BuildObject(henon.ws.model(), Square());
    NullSink sink;
    QuietRunControl control;
    for (auto _ : state) {
        state.PauseTiming();
        IteratedObject object = start;
        state.ResumeTiming();
        ObjectStep(*henon.evaluator, henon.ws.model().kind, object, 0, 1, sink, control);
    }
    Report(state);
}
BENCHMARK(BM_ObjectStep)->Unit(benchmark::kMillisecond);

// OK in "Settings Graphical Analysis" with the 4th iterate: 1 + 4 x 800 model steps.
void BM_CobwebStart(benchmark::State& state) {
    Loaded logistic("logistic.mod");
    CobwebSettings settings;
    settings.iteratedMap = 4;
    NullSink sink;
    for (auto _ : state) {
        CobwebConstruction construction;
        CobwebStart(*logistic.evaluator, logistic.ws.model().kind, settings, construction, sink,
                    sink, sink);
    }
}
BENCHMARK(BM_CobwebStart)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

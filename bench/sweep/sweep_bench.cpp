// The parameter sweeps: what a bifurcation sweep costs on one thread beyond its bare model steps
// (the same values, the same steps, the parameter set and the state reset as the sweep does), and
// what a second worker gains on every kind of sweep: bifurcation (the logistic map, also with many
// short values, and the Lorenz system), the largest Lyapunov exponent and the whole spectrum.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "plot/xy_line.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    // The loaded model run on this thread.
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    explicit LoadedModel(const char* file) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + file);
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

struct SweepCase {
    const char* file;
    int parameter;
    Extended minimum, maximum;
    long long resolution, transient, plotted;
};

// Small enough for a quick run, large enough that the per-value work dominates.
constexpr SweepCase kLogisticOverhead = {"logistic.mod", 1, 2.8L, 4, 199, 1000, 1000};
constexpr SweepCase kLorenzOverhead = {"lorenz.mod", 2, 20, 30, 49, 200, 200};
// The runs of the two-worker comparison.
constexpr SweepCase kLogisticThreads = {"logistic.mod", 1, 2.8L, 4, 1999, 1000, 1000};
constexpr SweepCase kLorenzThreads = {"lorenz.mod", 2, 20, 30, 199, 1000, 1000};
// Many short values, 10 points each: the hand-over of points between threads is what it tests.
constexpr SweepCase kLogisticShortValues = {"logistic.mod", 1, 2.8L, 4, 40000, 5000, 10};

BifurcationSettings SettingsOf(const SweepCase& c) {
    BifurcationSettings settings;
    settings.parameter = c.parameter;
    settings.minimum = c.minimum;
    settings.maximum = c.maximum;
    settings.resolution = c.resolution;
    settings.transientSteps = c.transient;
    settings.plottedPoints = c.plotted;
    return settings;
}

void Report(benchmark::State& state, const SweepCase& c) {
    state.counters["steps"] =
        benchmark::Counter(static_cast<double>((c.resolution + 1) * (c.transient + c.plotted)),
                           benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: every model step of the sweep and nothing else.
void BareSteps(benchmark::State& state, const SweepCase& c) {
    LoadedModel model(c.file);
    ModelEvaluator& ws = *model.evaluator;
    const Extended step = (c.maximum - c.minimum) / static_cast<Extended>(c.resolution);
    for (auto _ : state) {
        ws.errorFlag = false;
        for (long long i = 0; i <= c.resolution; ++i) {
            StateVector vector = ws.model().initialValues;
            ws.parameterValues[c.parameter - 1] = c.minimum + static_cast<Extended>(i) * step;
            // As the sweep makes them: the transient as one run, the plotted steps one by one.
            ModelTransient(ws, ws.model().kind, vector, c.transient);
            for (long long k = 0; k < c.plotted; ++k) {
                ModelStep(ws, ws.model().kind, vector);
            }
            benchmark::DoNotOptimize(vector);
        }
    }
    Report(state, c);
}

// The sweep into a plot series, as the batch tool runs it.
void Sweep(benchmark::State& state, const SweepCase& c, int threads) {
    LoadedModel model(c.file);
    const BifurcationSettings settings = SettingsOf(c);
    Tsp_XYLine series;
    QuietRunControl control;
    for (auto _ : state) {
        series.ClearPoints();
        BifurcationSweep(*model.evaluator, model.ws.model().kind, settings, threads, control,
                         series);
        benchmark::DoNotOptimize(series.Count());
    }
    Report(state, c);
}

void BM_LogisticBareSteps(benchmark::State& state) {
    BareSteps(state, kLogisticOverhead);
}
void BM_LogisticSweepOneThread(benchmark::State& state) {
    Sweep(state, kLogisticOverhead, 1);
}
void BM_LorenzBareSteps(benchmark::State& state) {
    BareSteps(state, kLorenzOverhead);
}
void BM_LorenzSweepOneThread(benchmark::State& state) {
    Sweep(state, kLorenzOverhead, 1);
}
BENCHMARK(BM_LogisticBareSteps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogisticSweepOneThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LorenzBareSteps)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LorenzSweepOneThread)->Unit(benchmark::kMillisecond);

// Workers as the argument; wall-clock time, since the work is spread over threads.
void BM_LogisticSweepWorkers(benchmark::State& state) {
    Sweep(state, kLogisticThreads, static_cast<int>(state.range(0)));
}
void BM_LorenzSweepWorkers(benchmark::State& state) {
    Sweep(state, kLorenzThreads, static_cast<int>(state.range(0)));
}
void BM_LogisticShortValuesWorkers(benchmark::State& state) {
    Sweep(state, kLogisticShortValues, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_LogisticSweepWorkers)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LorenzSweepWorkers)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogisticShortValuesWorkers)
    ->Arg(1)
    ->Arg(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The logistic map's largest exponent over 4001 values, M = 2000 after 500 steps.
void BM_LogisticLyapunovWorkers(benchmark::State& state) {
    LoadedModel model("logistic.mod");
    LyapunovSettings settings;
    settings.minimum = 2.8L;
    settings.maximum = 4;
    settings.resolution = 4000;
    settings.iterations = 2000;
    settings.transientSteps = 500;
    Tsp_XYLine series;
    QuietRunControl control;
    for (auto _ : state) {
        series.ClearPoints();
        LyapunovSweep(*model.evaluator, model.ws.model().kind, settings,
                      static_cast<int>(state.range(0)), control, series);
    }
}
BENCHMARK(BM_LogisticLyapunovWorkers)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

// The Henon map's two exponents over 401 values of a, M = 2000 after 500 steps.
void BM_HenonSpectrumWorkers(benchmark::State& state) {
    LoadedModel model("henon.mod");
    SpectrumSweepSettings settings;
    settings.minimum = 1;
    settings.maximum = 1.4L;
    settings.resolution = 400;
    settings.run.iterations = 2000;
    settings.run.transientSteps = 500;
    Tsp_XYLine series;
    QuietRunControl control;
    for (auto _ : state) {
        series.ClearPoints();
        SpectrumSweep(*model.evaluator, model.ws.model().kind, settings,
                      static_cast<int>(state.range(0)), control, series);
    }
}
BENCHMARK(BM_HenonSpectrumWorkers)->Arg(1)->Arg(2)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

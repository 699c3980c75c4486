// The plane scans: the one-thread scan's own cost against the same bare ModelStep calls, and the
// default basin scan of the Henon map (the window's 450 x 450 resolution, T = 200), a period scan
// of the same size and a Lyapunov map, each on one worker and on two.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/lyapunovmap/lyapunov_map.h"
#include "analysis/scan/periods/period_scan.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    // The loaded model run on this thread.
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    explicit LoadedModel(const std::string& name) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

// On x -> 1.5 x - x^3, y -> y / 2 over [-1, 1]^2 no start diverges, and a cycle point far away is
// never near: every pixel costs exactly T + 1 steps, the transient and the step after the one pass.
constexpr int kOverheadResolution = 60;
constexpr int kTransient = 200;

BasinSettings OverheadSettings() {
    BasinSettings settings;
    settings.cycles = {{1, {5, 5}}};
    settings.domain = {-1, 1, kOverheadResolution, -1, 1, kOverheadResolution};
    settings.transient = kTransient;
    return settings;
}

void CountSteps(benchmark::State& state, long long steps) {
    state.counters["steps"] = benchmark::Counter(static_cast<double>(steps),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: the same starts stepped T + 1 times each, with the error test of every step.
void BM_BareStepsOfTheScan(benchmark::State& state) {
    LoadedModel model("cubic_plane.mod");
    const BasinSettings settings = OverheadSettings();
    ModelEvaluator& ws = *model.evaluator;
    for (auto _ : state) {
        for (int i = 0; i <= kOverheadResolution; ++i) {
            for (int j = 0; j <= kOverheadResolution; ++j) {
                StateVector vector = ws.model().initialValues;
                vector[0] = settings.domain.horizontalAt(i);
                vector[1] = settings.domain.verticalAt(j);
                ws.errorFlag = false;
                for (int step = 0; step <= kTransient && !ws.errorFlag; ++step) {
                    ModelStep(ws, model.ws.model().kind, vector);
                }
                benchmark::DoNotOptimize(vector);
            }
        }
    }
    CountSteps(state, (kOverheadResolution + 1LL) * (kOverheadResolution + 1) * (kTransient + 1));
}
BENCHMARK(BM_BareStepsOfTheScan)->Unit(benchmark::kMillisecond);

void BM_OneThreadBasinScanOfTheSameSteps(benchmark::State& state) {
    LoadedModel model("cubic_plane.mod");
    const BasinSettings settings = OverheadSettings();
    ScanModels models = MakeScanModels(model.ws.definition, 1, settings.domain);
    QuietRunControl control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BasinScan(models, settings, control));
    }
    CountSteps(state, (kOverheadResolution + 1LL) * (kOverheadResolution + 1) * (kTransient + 1));
}
BENCHMARK(BM_OneThreadBasinScanOfTheSameSteps)->Unit(benchmark::kMillisecond);

// The default basin scan on the Henon map with its stable 7-cycle: 451 x 451 starts over
// [0, 1.4]^2, T = 200. Argument: workers.
void BM_DefaultHenonBasinScan(benchmark::State& state) {
    LoadedModel model("henon_cycle.mod");
    BasinSettings settings;
    settings.cycles = {{7, {0.42471785245334L, 0.198177126186022L}}};
    settings.domain = {0, 1.4L, 450, 0, 1.4L, 450};
    settings.colours = model.ws.cycleColours;
    ScanModels models =
        MakeScanModels(model.ws.definition, static_cast<int>(state.range(0)), settings.domain);
    QuietRunControl control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(BasinScan(models, settings, control));
    }
}
BENCHMARK(BM_DefaultHenonBasinScan)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A period scan of the same size: the Henon map over (a, b) in [0, 1.4] x [0, 0.3], T = 100,
// periods 1, 2, 4, 8.
void BM_HenonPeriodScan(benchmark::State& state) {
    LoadedModel model("henon.mod");
    PeriodSettings settings;
    settings.periods = {1, 2, 4, 8};
    settings.domain = {0, 1.4L, 450, 0, 0.3L, 450};
    settings.colours = model.ws.cycleColours;
    ScanModels models =
        MakeScanModels(model.ws.definition, static_cast<int>(state.range(0)), settings.domain);
    QuietRunControl control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PeriodScan(models, settings, control));
    }
}
BENCHMARK(BM_HenonPeriodScan)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Lyapunov map of the Henon map over (a, b) in [1, 1.4] x [0, 0.3], 201 x 201, M = 1000.
void BM_HenonLyapunovMap(benchmark::State& state) {
    LoadedModel model("henon.mod");
    LyapunovMapSettings settings;
    settings.domain = {1, 1.4L, 200, 0, 0.3L, 200};
    ScanModels models =
        MakeScanModels(model.ws.definition, static_cast<int>(state.range(0)), settings.domain);
    QuietRunControl control;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LyapunovMap(models, settings, control));
    }
}
BENCHMARK(BM_HenonLyapunovMap)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

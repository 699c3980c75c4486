// All cycles of periods 1 to 8 of the Hénon map (a = 1.4, b = 0.3) in [-2, 2]^2 from the default
// 20 x 20 starts, on one worker and on two; and, for the share of the stabilising
// transformations, the derivatives alone: one exact Jacobian of the map.

#include <benchmark/benchmark.h>

#include <string>

#include "analysis/orbit/cycles/cycle_search.h"
#include "core/model_commands.h"
#include "core/model_derivatives.h"
#include "core/model_evaluator.h"
#include "core/model_shell.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    ModelSource source;
    explicit LoadedModel(const std::string& name) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
    }
};

void BM_HenonCyclesUpToPeriodEight(benchmark::State& state) {
    LoadedModel model("henon.mod");
    CycleSettings settings;
    settings.box = {{0, -2, 2}, {1, -2, 2}};
    settings.firstPeriod = 1;
    settings.lastPeriod = 8;
    std::size_t found = 0;
    for (auto _ : state) {
        QuietRunControl control;
        const CycleSearchOutcome outcome =
            FindCycles(model.ws.definition, settings, control, static_cast<int>(state.range(0)));
        found = outcome.cycles.size();
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["cycles"] = static_cast<double>(found);
}
BENCHMARK(BM_HenonCyclesUpToPeriodEight)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_HenonExactJacobian(benchmark::State& state) {
    LoadedModel model("henon.mod");
    ModelEvaluator evaluator(model.ws.definition);
    ModelDerivatives derivatives = MakeModelDerivatives(evaluator);
    double x[2] = {0.3, 0.1};
    double fx[2];
    double jacobian[4];
    for (auto _ : state) {
        derivatives.jacobian(x, fx, jacobian);
        benchmark::DoNotOptimize(jacobian);
    }
}
BENCHMARK(BM_HenonExactJacobian);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

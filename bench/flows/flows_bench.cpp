// The integrators beside Kutta's step and the orbit diagram of a flow: what a time unit of the
// Lorenz system costs with each method, what a Poincaré section costs, and the Rössler orbit
// diagram by maxima over 500 values of c on one worker and on two.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "analysis/orbit/poincare/poincare_run.h"
#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    ModelSource source;
    LoadedModel(const char* file, IntegrationMethod method, Extended tolerance = 1e-8L) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + file);
        ReplaceModel(ws, [&](ModelDefinition& model) { model.integration = {method, tolerance}; });
    }
    std::unique_ptr<ModelEvaluator> evaluator() const {
        return std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

// 100 time units of the Lorenz system in steps of h = 0.01, through ModelStep.
void LorenzHundredTimeUnits(benchmark::State& state, IntegrationMethod method, Extended tolerance) {
    LoadedModel model("lorenz.mod", method, tolerance);
    auto evaluator = model.evaluator();
    for (auto _ : state) {
        StateVector vector = model.ws.model().initialValues;
        for (int k = 0; k < 10000; ++k) {
            ModelStep(*evaluator, ModelKind::Continuous, vector);
        }
        benchmark::DoNotOptimize(vector);
    }
}
BENCHMARK_CAPTURE(LorenzHundredTimeUnits, rk3, IntegrationMethod::RungeKutta3, 1e-8L)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LorenzHundredTimeUnits, rk4, IntegrationMethod::RungeKutta4, 1e-8L)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LorenzHundredTimeUnits, dopri5_1e_8, IntegrationMethod::DormandPrince, 1e-8L)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LorenzHundredTimeUnits, dopri5_1e_12, IntegrationMethod::DormandPrince, 1e-12L)
    ->Unit(benchmark::kMillisecond);

// 1000 crossings of z = 27 upwards.
void LorenzSection(benchmark::State& state, IntegrationMethod method) {
    LoadedModel model("lorenz.mod", method);
    auto evaluator = model.evaluator();
    PoincareSettings settings;
    settings.section = ParseSection(model.ws.model(), "z=27");
    settings.crossings = 1000;
    for (auto _ : state) {
        QuietRunControl control;
        long long count = 0;
        PoincareRun(*evaluator, settings, control, [&](const PoincareCrossing&) { ++count; });
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK_CAPTURE(LorenzSection, rk3, IntegrationMethod::RungeKutta3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LorenzSection, dopri5, IntegrationMethod::DormandPrince)
    ->Unit(benchmark::kMillisecond);

// The orbit diagram of the Rössler system (a = b = 0.1) by maxima of x for 500 values of c in
// [4, 14]: 20000 transient steps and 100 maxima per value.
void RosslerOrbitDiagram(benchmark::State& state) {
    LoadedModel model("rossler.mod", IntegrationMethod::RungeKutta3);
    ReplaceModel(model.ws, [](ModelDefinition& definition) {
        definition.parameterValues[0] = 0.1L;
        definition.parameterValues[1] = 0.1L;
    });
    BifurcationSettings settings;
    settings.parameter = 3;
    settings.plotVariable = 1;
    settings.minimum = 4;
    settings.maximum = 14;
    settings.resolution = 499;
    settings.transientSteps = 20000;
    settings.plottedPoints = 100;
    settings.flowPlot = FlowPlot::LocalMaxima;
    const int workers = static_cast<int>(state.range(0));
    for (auto _ : state) {
        auto evaluator = model.evaluator();
        QuietRunControl control;
        VectorPointSink sink;
        BifurcationSweep(*evaluator, ModelKind::Continuous, settings, workers, control, sink);
        benchmark::DoNotOptimize(sink.points.data());
    }
}
BENCHMARK(RosslerOrbitDiagram)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

// All Lyapunov exponents of the Lorenz system over 10^6 Runge-Kutta steps, and a 400 x 400 Lyapunov
// map of the Henon map with M = 1000 on one worker and on two.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "analysis/scan/lyapunovmap/lyapunov_map.h"
#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "core/model_commands.h"
#include "core/model_shell.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    explicit LoadedModel(const char* file) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + file);
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

void BM_LorenzSpectrum(benchmark::State& state) {
    LoadedModel lorenz("lorenz.mod");
    SpectrumSettings settings;
    settings.iterations = 1000000;
    settings.transientSteps = 1000;
    for (auto _ : state) {
        QuietRunControl control;
        benchmark::DoNotOptimize(
            LyapunovSpectrum(*lorenz.evaluator, ModelKind::Continuous, settings, control));
    }
    state.counters["steps"] = benchmark::Counter(static_cast<double>(settings.iterations),
                                                 benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LorenzSpectrum)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HenonLyapunovMap(benchmark::State& state) {
    LoadedModel henon("henon.mod");
    LyapunovMapSettings settings;
    settings.domain = {1.0L, 1.4L, 399, 0.0L, 0.35L, 399};
    settings.iterations = 1000;
    settings.transientSteps = 300;
    for (auto _ : state) {
        QuietRunControl control;
        ScanModels models = MakeScanModels(henon.ws.definition, static_cast<int>(state.range(0)),
                                           settings.domain, henon.ws.randomState, &control);
        benchmark::DoNotOptimize(LyapunovMap(models, settings, control));
    }
}
BENCHMARK(BM_HenonLyapunovMap)->Arg(1)->Arg(2)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

// The branches the closed-form checks follow, each from its start to its ends on one core: the
// logistic cascade to the 8-cycle, the period-3 window, Henon's fixed points and 2-cycle, the
// delayed logistic map's Neimark-Sacker point and the Lorenz origin with its pitchfork branch.

#include <benchmark/benchmark.h>

#include <string>

#include "analysis/sweep/continuation/continuation_run.h"
#include "core/model_commands.h"
#include "core/model_shell.h"

namespace kalvora {
namespace {

ModelDefinitionPtr Load(const std::string& name) {
    ModelWorkspace ws;
    NullModelShell shell;
    ModelSource source;
    LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
    return ws.definition;
}

void Follow(benchmark::State& state, const std::string& name,
            const ContinuationSettings& settings) {
    const ModelDefinitionPtr model = Load(name);
    std::size_t points = 0;
    std::size_t specials = 0;
    for (auto _ : state) {
        QuietRunControl control;
        const ContinuationOutcome outcome = RunContinuation(model, settings, control);
        points = 0;
        for (const auto& branch : outcome.branches) {
            points += branch.points.size();
        }
        specials = outcome.specials.size();
        benchmark::DoNotOptimize(outcome);
    }
    state.counters["points"] = static_cast<double>(points);
    state.counters["special"] = static_cast<double>(specials);
}

void BM_LogisticCascade(benchmark::State& state) {
    ContinuationSettings settings;
    settings.from = 2.5;
    settings.to = 3.6;
    settings.startParameter = 2.8;
    settings.start = {0.6};
    settings.switches.assign(3, SpecialKind::PeriodDoubling);
    Follow(state, "logistic.mod", settings);
}
BENCHMARK(BM_LogisticCascade)->Unit(benchmark::kMillisecond);

void BM_LogisticPeriodThree(benchmark::State& state) {
    ContinuationSettings settings;
    settings.from = 3.7;
    settings.to = 3.9;
    settings.period = 3;
    settings.startParameter = 3.84;
    settings.start = {0.16};
    settings.transient = 300;
    Follow(state, "logistic.mod", settings);
}
BENCHMARK(BM_LogisticPeriodThree)->Unit(benchmark::kMillisecond);

void BM_HenonFixedPointsAndTwoCycle(benchmark::State& state) {
    ContinuationSettings settings;
    settings.from = -0.5;
    settings.to = 1;
    settings.switches = {SpecialKind::PeriodDoubling};
    Follow(state, "henon.mod", settings);
}
BENCHMARK(BM_HenonFixedPointsAndTwoCycle)->Unit(benchmark::kMillisecond);

void BM_DelayedLogistic(benchmark::State& state) {
    ContinuationSettings settings;
    settings.from = 1.5;
    settings.to = 2.5;
    settings.start = {0.4, 0.4};
    Follow(state, "delayed_logistic.mod", settings);
}
BENCHMARK(BM_DelayedLogistic)->Unit(benchmark::kMillisecond);

void BM_LorenzPitchforkAndHopf(benchmark::State& state) {
    ContinuationSettings settings;
    settings.parameter = 1;
    settings.from = 0;
    settings.to = 30;
    settings.start = {0, 0, 0};
    settings.startParameter = 0.5;
    settings.step = 0.1;
    settings.switches = {SpecialKind::BranchPoint};
    Follow(state, "lorenz.mod", settings);
}
BENCHMARK(BM_LorenzPitchforkAndHopf)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

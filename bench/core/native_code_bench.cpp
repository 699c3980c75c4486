// What making machine code for a sample model costs (the generator runs once per accepted model),
// and a step with it against a step of the register program, alternated within one run.

#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string>

#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/native_code.h"
#include "core/native_model.h"

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

// Making the code (range 0), or making it and compiling the function a step uses, the map's
// iteration or the flow's Kutta step, by making one step (range 1): what accepting a model and
// its first step cost.
void BM_GenerateCode(benchmark::State& state, const char* name) {
    LoadedModel loaded(name);
    const ModelDefinition& model = loaded.ws.model();
    const std::shared_ptr<const NativeModel> program = model.nativeModel;
    std::array<double, kModelListCapacity> parameters{};
    for (int j = 0; j < model.parameterCount; ++j) {
        parameters[j] = static_cast<double>(model.parameterValues[j]);
    }
    for (auto _ : state) {
        auto code = NativeCode::Generate(*program, model.variableCount);
        if (code == nullptr) {
            state.SkipWithError("no machine code");
            break;
        }
        if (state.range(0) == 1) {
            StateVector vector = model.initialValues;
            const bool made =
                model.kind == ModelKind::Discrete
                    ? code->iterate(vector.data(), parameters.data(), 1)
                    : code->kutta(vector.data(), vector.data(), parameters.data(), model.stepSize);
            if (!made) {
                state.SkipWithError("the step failed");
                break;
            }
        }
        benchmark::DoNotOptimize(code);
    }
}

// Steps of the model with its machine code (range 1) or its register program (range 0).
void BM_Step(benchmark::State& state, const char* name) {
    LoadedModel loaded(name);
    ModelEvaluator evaluator(loaded.ws.definition);
    if (state.range(0) == 0) {
        evaluator.nativeCode.reset();
    } else if (evaluator.nativeCode == nullptr) {
        state.SkipWithError("no machine code");
        return;
    }
    constexpr int kSteps = 1000;
    for (auto _ : state) {
        StateVector vector = loaded.ws.model().initialValues;
        for (int i = 0; i < kSteps; ++i) {
            ModelStep(evaluator, loaded.ws.model().kind, vector);
        }
        benchmark::DoNotOptimize(vector);
    }
    state.counters["steps"] =
        benchmark::Counter(kSteps, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_GenerateCode, logistic, "logistic.mod")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GenerateCode, henon, "henon.mod")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GenerateCode, lorenz, "lorenz.mod")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GenerateCode, builtin, "newmodel.mod")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Step, logistic, "logistic.mod")->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_Step, henon, "henon.mod")->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_Step, lorenz, "lorenz.mod")->Arg(0)->Arg(1);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

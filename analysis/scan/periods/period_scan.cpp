#include "analysis/scan/periods/period_scan.h"

#include <array>
#include <cstdint>

#include "core/model_step.h"
#include "core/native_code.h"
#include "core/native_model.h"

namespace kalvora {

void CheckPeriodSettings(int parameterCount, const PeriodSettings& settings) {
    if (parameterCount < 2) {
        throw ScanSettingsError(
            "Parameter basins need a model with at least two parameters, one for each axis");
    }
    for (const int parameter : {settings.horizontalParameter, settings.verticalParameter}) {
        if (parameter < 0 || parameter >= parameterCount) {
            throw ScanSettingsError("The axis parameters must be model parameters");
        }
    }
    if (settings.periods.empty()) {
        throw ScanSettingsError("The cycle table must hold at least one period");
    }
    if (settings.periods.size() > 100) {
        throw ScanSettingsError("At most 100 periods can be told apart by colour");
    }
    for (std::size_t n = 0; n < settings.periods.size(); ++n) {
        if (settings.periods[n] < 1) {
            throw ScanSettingsError("The period in row " + std::to_string(n + 1) +
                                    " must be at least 1");
        }
    }
    if (settings.confirmations < 1) {
        throw ScanSettingsError("The number of confirmations must be at least 1");
    }
    CheckScanDomain(settings.domain);
}

namespace {

// Steps the state `count` times; false at the first failing step. Nothing looks at the steps in
// between, so a stateless map makes them as batches.
bool Advance(ModelEvaluator& model, ModelKind kind, StateVector& state, long long count) {
    ModelTransient(model, kind, state, count);
    return !model.errorFlag;
}

// Where the test of one pair stands: the phase (-1 the transient, else the row of the period
// tried), the check (-1 the first advance by the period, else the confirmations made), the steps
// made of the current advance, and the confirmations that came back. The machine code hands it
// over at a step it cannot vouch for, and the test goes on from there here.
struct PeriodProgress {
    std::int64_t phase = -1;
    std::int64_t check = -1;
    std::int64_t done = 0;
    std::int64_t confirmed = 0;
};

// The test from where progress stands to its colour.
RgbColour FinishPair(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                     const StateDistance& distance, StateVector& state, StateVector& settled,
                     PeriodProgress& at) {
    const ScanColours& colours = settings.colours;
    if (at.phase < 0) {
        if (!Advance(model, kind, state, settings.transient - at.done)) {
            return DivergenceColour(colours);
        }
        settled = state;
        at = {0, -1, 0, 0};
    }
    const auto periods = static_cast<std::int64_t>(settings.periods.size());
    for (; at.phase < periods; at = {at.phase + 1, -1, 0, 0}) {
        const int period = settings.periods[static_cast<std::size_t>(at.phase)];
        if (at.check < 0) {
            if (at.done == 0) {
                state = settled;
            }
            if (!Advance(model, kind, state, period - at.done)) {
                return DivergenceColour(colours);
            }
            at.done = 0;
            if (!(distance(state, settled) < settings.epsilon)) {
                continue;
            }
            at.check = 0;
            at.confirmed = 0;
        }
        // All K confirmations are stepped even after one misses, as the count is compared only
        // at the end: a failure among them is still divergence.
        for (; at.check < settings.confirmations; ++at.check, at.done = 0) {
            if (!Advance(model, kind, state, period - at.done)) {
                return DivergenceColour(colours);
            }
            if (distance(state, settled) < settings.epsilon) {
                ++at.confirmed;
            }
        }
        if (at.confirmed == settings.confirmations) {
            return CycleColour(colours, static_cast<int>(at.phase) + 1);
        }
    }
    return NonConvergenceColour(colours);
}

// The machine code that may make the whole test: the code of the evaluator's program for its
// counts, a map or a flow by Kutta's method, no noise, no stop pending.
const NativeCode* PeriodCode(const ModelEvaluator& model, ModelKind kind) {
    const NativeCode* code = model.nativeCode.get();
    const NativeModel* program = model.nativeModel.get();
    const ModelDefinition& definition = model.model();
    const bool stepped = kind == ModelKind::Discrete ||
                         (kind == ModelKind::Continuous &&
                          definition.integration.method == IntegrationMethod::RungeKutta3);
    if (code == nullptr || program == nullptr || code->program() != program ||
        !program->covered() || model.luaState == nullptr || !stepped || model.noise.noiseOn ||
        model.interrupt.requested() || code->variables() != definition.variableCount ||
        code->parameters() != definition.parameterCount ||
        code->results() != definition.variableCount + definition.auxiliaryCount) {
        return nullptr;
    }
    return code;
}

int StopRequested(const void* interrupt) {
    return static_cast<const ModelInterrupt*>(interrupt)->requested() ? 1 : 0;
}

RgbColour ClassifyPair(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                       const std::vector<std::int64_t>& periods, const StateDistance& distance,
                       int column, int row) {
    model.parameterValues[static_cast<std::size_t>(settings.horizontalParameter)] =
        settings.domain.horizontalAt(column);
    model.parameterValues[static_cast<std::size_t>(settings.verticalParameter)] =
        settings.domain.verticalAt(row);
    StateVector state = model.model().initialValues;
    StateVector settled{};
    PeriodProgress at;
    model.errorFlag = false;
    if (const NativeCode* code = PeriodCode(model, kind)) {
        std::array<double, kModelListCapacity> parameters{};
        for (int j = 0; j < model.model().parameterCount; ++j) {
            parameters[static_cast<std::size_t>(j)] =
                static_cast<double>(model.parameterValues[static_cast<std::size_t>(j)]);
        }
        const std::int64_t config[3] = {
            settings.transient, static_cast<std::int64_t>(periods.size()), settings.confirmations};
        const Extended constants[2] = {settings.epsilon, model.model().stepSize};
        std::int64_t progress[4] = {at.phase, at.check, at.done, at.confirmed};
        const int found = code->periods(kind == ModelKind::Continuous, state.data(), settled.data(),
                                        parameters.data(), periods.data(), config, constants,
                                        progress, &StopRequested, &model.interrupt);
        if (found > 0) {
            return CycleColour(settings.colours, found);
        }
        if (found == 0) {
            return NonConvergenceColour(settings.colours);
        }
        // The step the code could not vouch for (a value that is not finite, or a stop) is
        // judged by the steps as ever, and the test goes on from there.
        at = {progress[0], progress[1], progress[2], progress[3]};
        ModelStep(model, kind, state);
        if (model.errorFlag) {
            return DivergenceColour(settings.colours);
        }
        ++at.done;
    }
    return FinishPair(model, kind, settings, distance, state, settled, at);
}

std::vector<std::int64_t> PeriodsOf(const PeriodSettings& settings) {
    return {settings.periods.begin(), settings.periods.end()};
}

}  // namespace

RgbColour PeriodPixel(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                      int column, int row) {
    return ClassifyPair(model, kind, settings, PeriodsOf(settings),
                        StateDistance::AllVariables(model.model().variableCount), column, row);
}

ScanOutcome PeriodScan(ScanModels& models, const PeriodSettings& settings, RunControl& control,
                       const std::function<void(long long columnsDone)>& columnsDone,
                       const ColumnRange& columns) {
    const int parameterCount =
        models.evaluators.empty() ? 0 : models.evaluators.front()->model().parameterCount;
    CheckPeriodSettings(parameterCount, settings);
    const int variableCount =
        models.evaluators.empty() ? 0 : models.evaluators.front()->model().variableCount;
    const StateDistance distance = StateDistance::AllVariables(variableCount);
    const ModelKind kind = models.kind;
    const std::vector<std::int64_t> periods = PeriodsOf(settings);
    return RunScan(
        models, settings.domain, control,
        [&](ModelEvaluator& model, int column, int row) {
            return ClassifyPair(model, kind, settings, periods, distance, column, row);
        },
        columnsDone, columns);
}

}  // namespace kalvora

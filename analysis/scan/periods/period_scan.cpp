#include "analysis/scan/periods/period_scan.h"

#include "core/model_step.h"

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

RgbColour ClassifyPair(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                       const StateDistance& distance, int column, int row) {
    const ScanColours& colours = settings.colours;
    model.parameterValues[static_cast<std::size_t>(settings.horizontalParameter)] =
        settings.domain.horizontalAt(column);
    model.parameterValues[static_cast<std::size_t>(settings.verticalParameter)] =
        settings.domain.verticalAt(row);
    StateVector state = model.model().initialValues;
    model.errorFlag = false;
    if (!Advance(model, kind, state, settings.transient)) {
        return DivergenceColour(colours);
    }
    const StateVector settled = state;
    for (std::size_t n = 0; n < settings.periods.size(); ++n) {
        const int period = settings.periods[n];
        state = settled;
        if (!Advance(model, kind, state, period)) {
            return DivergenceColour(colours);
        }
        if (!(distance(state, settled) < settings.epsilon)) {
            continue;
        }
        // All K confirmations are stepped even after one misses, as the count is compared only
        // at the end: a failure among them is still divergence.
        int confirmed = 0;
        for (int check = 0; check < settings.confirmations; ++check) {
            if (!Advance(model, kind, state, period)) {
                return DivergenceColour(colours);
            }
            if (distance(state, settled) < settings.epsilon) {
                ++confirmed;
            }
        }
        if (confirmed == settings.confirmations) {
            return CycleColour(colours, static_cast<int>(n) + 1);
        }
    }
    return NonConvergenceColour(colours);
}

}  // namespace

RgbColour PeriodPixel(ModelEvaluator& model, ModelKind kind, const PeriodSettings& settings,
                      int column, int row) {
    return ClassifyPair(model, kind, settings,
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
    return RunScan(
        models, settings.domain, control,
        [&](ModelEvaluator& model, int column, int row) {
            return ClassifyPair(model, kind, settings, distance, column, row);
        },
        columnsDone, columns);
}

}  // namespace kalvora

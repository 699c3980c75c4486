#include "analysis/scan/basins/basin_scan.h"

#include <algorithm>

#include "core/model_step.h"

namespace kalvora {

void CheckBasinSettings(int variableCount, const BasinSettings& settings) {
    if (variableCount < 2) {
        throw ScanSettingsError(
            "Basins of attraction need a model with at least two variables, one for each axis");
    }
    for (const int variable : {settings.horizontalVariable, settings.verticalVariable}) {
        if (variable < 0 || variable >= variableCount) {
            throw ScanSettingsError("The axis variables must be model variables");
        }
    }
    if (settings.cycles.empty()) {
        throw ScanSettingsError("The cycle table must hold at least one cycle");
    }
    for (std::size_t c = 0; c < settings.cycles.size(); ++c) {
        const BasinCycle& cycle = settings.cycles[c];
        if (cycle.period < 1) {
            throw ScanSettingsError("The period of cycle " + std::to_string(c + 1) +
                                    " must be at least 1");
        }
        if (static_cast<int>(cycle.point.size()) != variableCount) {
            throw ScanSettingsError("Cycle " + std::to_string(c + 1) + " needs " +
                                    std::to_string(variableCount) +
                                    " values, one for each model variable");
        }
    }
    if (settings.cycles.size() > 100) {
        throw ScanSettingsError("At most 100 cycles can be told apart by colour");
    }
    CheckScanDomain(settings.domain);
}

StateDistance BasinDistance(int variableCount, const BasinSettings& settings) {
    if (settings.allDimensions) {
        return StateDistance::AllVariables(variableCount);
    }
    return StateDistance({settings.horizontalVariable, settings.verticalVariable});
}

namespace {

// The cycle points as whole states, so that the distance reads them like any other state.
std::vector<StateVector> CycleStates(const BasinSettings& settings) {
    std::vector<StateVector> states;
    for (const BasinCycle& cycle : settings.cycles) {
        StateVector state{};
        std::copy(cycle.point.begin(), cycle.point.end(), state.begin());
        states.push_back(state);
    }
    return states;
}

int LargestPeriod(const BasinSettings& settings) {
    int largest = 0;
    for (const BasinCycle& cycle : settings.cycles) {
        largest = std::max(largest, cycle.period);
    }
    return largest;
}

RgbColour ClassifyStart(ModelEvaluator& model, ModelKind kind, const BasinSettings& settings,
                        const std::vector<StateVector>& cyclePoints, int largestPeriod,
                        const StateDistance& distance, int column, int row) {
    const ScanColours& colours = settings.colours;
    StateVector state = model.model().initialValues;
    state[static_cast<std::size_t>(settings.horizontalVariable)] =
        settings.domain.horizontalAt(column);
    state[static_cast<std::size_t>(settings.verticalVariable)] = settings.domain.verticalAt(row);

    RgbColour colour = NonConvergenceColour(colours);
    model.errorFlag = false;
    const Extended radius = settings.maxDistance;
    // A distance that is not a number is divergence too: it is not within the radius.
    if (!ModelStepsWithin(model, kind, state, settings.transient, model.model().initialValues,
                          distance.stateSlots(), radius)) {
        return DivergenceColour(colours);
    }

    bool found = false;
    int pass = 1;
    for (;;) {
        // Every cycle is tried on the state as the earlier ones left it, and a later match wins.
        for (std::size_t c = 0; c < cyclePoints.size(); ++c) {
            const StateVector& point = cyclePoints[c];
            if (!(distance(state, point) < settings.epsilon)) {
                continue;
            }
            bool failed = false;
            for (int step = 0; step < settings.cycles[c].period; ++step) {
                ModelStep(model, kind, state);
                if (model.errorFlag) {
                    failed = true;
                    colour = DivergenceColour(colours);
                    break;
                }
            }
            if (!failed && distance(state, point) < settings.epsilon) {
                colour = CycleColour(colours, static_cast<int>(c) + 1);
                found = true;
            }
        }
        ++pass;
        ModelStep(model, kind, state);
        if (found || pass > largestPeriod || model.errorFlag) {
            break;
        }
    }
    if (model.errorFlag && !found) {
        return DivergenceColour(colours);
    }
    return colour;
}

}  // namespace

RgbColour BasinPixel(ModelEvaluator& model, ModelKind kind, const BasinSettings& settings,
                     const StateDistance& distance, int column, int row) {
    return ClassifyStart(model, kind, settings, CycleStates(settings), LargestPeriod(settings),
                         distance, column, row);
}

ScanOutcome BasinScan(ScanModels& models, const BasinSettings& settings, RunControl& control,
                      const std::function<void(long long columnsDone)>& columnsDone,
                      const ColumnRange& columns) {
    const int variableCount =
        models.evaluators.empty() ? 0 : models.evaluators.front()->model().variableCount;
    CheckBasinSettings(variableCount, settings);
    const std::vector<StateVector> cyclePoints = CycleStates(settings);
    const int largestPeriod = LargestPeriod(settings);
    const StateDistance distance = BasinDistance(variableCount, settings);
    const ModelKind kind = models.kind;
    return RunScan(
        models, settings.domain, control,
        [&](ModelEvaluator& model, int column, int row) {
            return ClassifyStart(model, kind, settings, cyclePoints, largestPeriod, distance,
                                 column, row);
        },
        columnsDone, columns);
}

}  // namespace kalvora

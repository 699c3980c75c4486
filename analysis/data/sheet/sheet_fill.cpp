#include "analysis/data/sheet/sheet_fill.h"

#include <algorithm>
#include <cstdint>

#include "core/model_step.h"
#include "core/numbers.h"
#include "core/run_control.h"

namespace kalvora {

namespace {

// Re-seeded here, on the run's evaluator, rather than before the run on the workspace: the batch
// tool calls this without the window flow that would do it, and the workspace continues the
// sequence from the evaluator afterwards either way, so the numbers are those of a workspace
// re-seeded first.
void RestartFixedSeed(ModelEvaluator& model) {
    if (model.noise.fixSeedForEachRun) {
        model.random.seed = static_cast<std::uint32_t>(model.noise.noiseSeed);
    }
}

}  // namespace

long long SheetTable::rowCount() const {
    return 1 + std::max(settings.rows, rowsFilled + (failed ? 1 : 0));
}

std::string SheetTable::cell(long long row, int column) const {
    if (row == 0) {
        return column >= 0 && column < static_cast<int>(header.size())
                   ? header[static_cast<std::size_t>(column)]
                   : std::string();
    }
    if (column < 0 || column > valueColumns) {
        return {};
    }
    if (row >= 1 && row <= rowsFilled) {
        if (column == 0) {
            return std::to_string(iterateOfRow(row));
        }
        return FormatGeneral(
            values[static_cast<std::size_t>((row - 1) * valueColumns + column - 1)], 7);
    }
    if (failed && row == rowsFilled + 1 && column > 0) {
        return "Overflow";
    }
    return {};
}

std::vector<std::string> SheetHeader(const ModelDefinition& model) {
    const int values =
        std::clamp(model.variableCount + model.auxiliaryCount, 0, kModelListCapacity);
    std::vector<std::string> header{"Time"};
    header.insert(header.end(), model.variableNames.begin(), model.variableNames.begin() + values);
    return header;
}

SheetTable SheetFill(ModelEvaluator& model, const SheetSettings& settings, RunControl& control) {
    const ModelKind kind = model.model().kind;
    SheetTable table;
    table.header = SheetHeader(model.model());
    table.valueColumns = static_cast<int>(table.header.size()) - 1;
    table.settings.start = std::clamp(settings.start, 0LL, kSheetMaximumStart);
    table.settings.rows = std::clamp(settings.rows, 1LL, kSheetMaximumRows);
    table.settings.every = std::clamp(settings.every, 1LL, kSheetMaximumEvery);
    const long long rows = table.settings.rows;
    const long long every = table.settings.every;
    const auto columns = static_cast<std::size_t>(table.valueColumns);
    table.values.reserve(static_cast<std::size_t>(rows) * columns);

    Progress& progress = control.progress();
    progress.start(rows);
    StateVector state = model.model().initialValues;
    RestartFixedSeed(model);
    model.errorFlag = false;
    // A failure while skipping to the first row leaves a state that is not the orbit's; showing it
    // under the orbit's iterate numbers would be wrong, so it ends the fill before the first row.
    for (long long i = 0; i < table.settings.start && !model.errorFlag; ++i) {
        if (control.stopRequested()) {
            table.stopped = true;
            progress.finish();
            return table;
        }
        ModelStep(model, kind, state);
    }
    for (long long r = 0; r < rows && !model.errorFlag; ++r) {
        if (control.stopRequested()) {
            table.stopped = true;
            break;
        }
        progress.setPosition(r);
        for (std::size_t c = 0; c < columns; ++c) {
            table.values.push_back(static_cast<double>(state[c]));
        }
        ++table.rowsFilled;
        for (long long k = 0; k < every && !model.errorFlag; ++k) {
            ModelStep(model, kind, state);
        }
    }
    // A stop that interrupted a model step ended the fill; the model did not fail.
    if (control.stopRequested()) {
        table.stopped = true;
    }
    table.failed = model.errorFlag && !table.stopped;
    progress.finish();
    return table;
}

}  // namespace kalvora

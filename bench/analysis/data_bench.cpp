// The data tools at their largest: a full spreadsheet (50000 rows) of the Lorenz system against the
// same bare ModelStep calls, the text of all its cells (what scrolling through the whole grid
// formats), and a statistics run of the dialog's largest sample on the logistic map.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "analysis/data/sheet/sheet_fill.h"
#include "analysis/data/statistics/statistics_run.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/run_control.h"

namespace kalvora {
namespace {

struct Loaded {
    ModelWorkspace ws;
    // The loaded model run on this thread.
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    explicit Loaded(const char* name) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

constexpr long long kRows = kSheetMaximumRows;

void BM_BareLorenzSteps(benchmark::State& state) {
    Loaded lorenz("lorenz.mod");
    for (auto _ : state) {
        StateVector s = lorenz.ws.model().initialValues;
        for (long long i = 0; i < kRows; ++i) {
            ModelStep(*lorenz.evaluator, lorenz.ws.model().kind, s);
        }
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_BareLorenzSteps)->Unit(benchmark::kMillisecond);

void BM_SheetFillLorenz(benchmark::State& state) {
    Loaded lorenz("lorenz.mod");
    QuietRunControl control;
    for (auto _ : state) {
        const SheetTable table = SheetFill(*lorenz.evaluator, {0, kRows, 1}, control);
        benchmark::DoNotOptimize(table.values.data());
    }
}
BENCHMARK(BM_SheetFillLorenz)->Unit(benchmark::kMillisecond);

void BM_SheetCellTexts(benchmark::State& state) {
    Loaded lorenz("lorenz.mod");
    QuietRunControl control;
    const SheetTable table = SheetFill(*lorenz.evaluator, {0, kRows, 1}, control);
    for (auto _ : state) {
        std::size_t characters = 0;
        for (long long row = 1; row < table.rowCount(); ++row) {
            for (int column = 0; column < table.columnCount(); ++column) {
                characters += table.cell(row, column).size();
            }
        }
        benchmark::DoNotOptimize(characters);
    }
    state.counters["cells"] =
        benchmark::Counter(static_cast<double>((table.rowCount() - 1) * table.columnCount()),
                           benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_SheetCellTexts)->Unit(benchmark::kMillisecond);

void BM_StatisticsLargestSample(benchmark::State& state) {
    Loaded logistic("logistic.mod");
    QuietRunControl control;
    StatisticsRecord record;
    for (auto _ : state) {
        StatisticsRun(*logistic.evaluator, {1, 100, kStatisticsMaximumPoints}, control, record);
        benchmark::DoNotOptimize(record.mean);
    }
}
BENCHMARK(BM_StatisticsLargestSample)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

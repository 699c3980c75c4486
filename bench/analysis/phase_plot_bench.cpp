// A slider move on the phase plot: PhasePlotRun with its defaults on the Henon map (1000 transient
// steps, 10000 points, one step more) against the same 11001 bare ModelStep calls, and the repaint
// of the 10000 points that follows in the window.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <memory>
#include <string>

#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/window/plot_window.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "plot/plot_config.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {
namespace {

constexpr long long kStepsPerRun = 1000 + 10000 + 1;

struct Henon {
    ModelWorkspace ws;
    // The loaded model run on this thread.
    std::unique_ptr<ModelEvaluator> evaluator;
    ModelSource source;
    Henon() {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/henon.mod");
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState);
    }
};

void Report(benchmark::State& state) {
    state.counters["steps"] =
        benchmark::Counter(kStepsPerRun, benchmark::Counter::kIsIterationInvariantRate);
}

// The floor: the model steps of one run and nothing else.
void BM_BareModelSteps(benchmark::State& state) {
    Henon henon;
    for (auto _ : state) {
        StateVector vector = henon.ws.model().initialValues;
        henon.evaluator->errorFlag = false;
        for (long long i = 0; i < kStepsPerRun && !henon.evaluator->errorFlag; ++i) {
            ModelStep(*henon.evaluator, henon.ws.model().kind, vector);
        }
        benchmark::DoNotOptimize(vector);
    }
    Report(state);
}
BENCHMARK(BM_BareModelSteps)->Unit(benchmark::kMicrosecond);

// One fresh run as a slider move performs it: the series emptied and refilled while inactive.
void BM_PhasePlotRun(benchmark::State& state) {
    Henon henon;
    Tsp_XYLine series;
    PhasePlotOrbit orbit;
    const PhasePlotSettings settings;
    for (auto _ : state) {
        series.ClearPoints();
        series.SetActive(false);
        PhasePlotRun(*henon.evaluator, settings, orbit, false, series);
        benchmark::DoNotOptimize(series.Count());
    }
    Report(state);
}
BENCHMARK(BM_PhasePlotRun)->Unit(benchmark::kMicrosecond);

// The repaint that follows: the phase-plot window's unbuffered plot at its design size.
void BM_RepaintTenThousandPoints(benchmark::State& state) {
    Henon henon;
    Tsp_XYPlot plot;
    ApplyStandardPlotConfiguration(plot);
    plot.SetBufferedDisplay(false);
    plot.resize(473, 367);
    Tsp_XYLine series;
    StyleNewSeries(series, clBlue);
    StyleRunSeries(series, false, false);
    PhasePlotOrbit orbit;
    PhasePlotRun(*henon.evaluator, PhasePlotSettings{}, orbit, false, series);
    series.SetPlot(&plot);
    for (auto _ : state) {
        QImage picture = plot.RenderBitmap();
        benchmark::DoNotOptimize(picture.constBits());
    }
    series.SetPlot(nullptr);
}
BENCHMARK(BM_RepaintTenThousandPoints)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kalvora

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

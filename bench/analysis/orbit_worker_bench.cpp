// The cost of running an orbit analysis as a job on a worker: the phase plot's default run of the
// Hénon map (1000 transient steps, 10000 points) on an evaluator that is ready on this thread, as
// the user-interface thread once ran it, against the same run through RunModelJob: a worker thread,
// a fresh evaluator compiled on it, the points handed back and put into the series.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/window/analysis_host.h"
#include "analysis/window/background_run.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/scripted_prompts.h"
#include "plot/xy_line.h"

namespace kalvora {
namespace {

// The services a run needs from the main window, and no more.
class BenchHost final : public AnalysisHost {
  public:
    BenchHost() {
        NullModelShell shell;
        ModelSource source;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/henon.mod");
        ws.prompts = &prompts_;
    }
    ModelWorkspace& workspace() override { return ws; }
    Prompts& prompts() override { return prompts_; }
    Progress& computingProgress() override { return progress; }
    void runStarted(RunControl& control) override { run = &control; }
    void runFinished() override { run = nullptr; }
    bool runGoing() const override { return run != nullptr; }
    void stopRun() override {}
    QColor backgroundColour() const override { return Qt::white; }
    bool chooseBackgroundColour(QWidget*) override { return false; }
    QColor lineColour() const override { return Qt::blue; }
    bool chooseLineColour(QWidget*) override { return false; }
    void showParameterWindow(int) override {}
    void disableAllWindows() override {}
    void enableAllWindows() override {}

    ModelWorkspace ws;
    ScriptedPrompts prompts_;
    NullProgress progress;
    RunControl* run = nullptr;
};

QApplication& Application() {
    static int argc = 1;
    static char name[] = "orbit_worker_bench";
    static char* argv[] = {name, nullptr};
    static QApplication application(argc, argv);
    return application;
}

// As on the user-interface thread before: one evaluator kept ready, the points straight into the
// series.
void BM_PhasePlotOnTheCallingThread(benchmark::State& state) {
    BenchHost host;
    ModelEvaluator model(host.ws.definition);
    Tsp_XYLine series;
    PhasePlotOrbit orbit;
    const PhasePlotSettings settings;
    for (auto _ : state) {
        series.ClearPoints();
        series.SetActive(false);
        PhasePlotRun(model, settings, orbit, false, series);
        benchmark::DoNotOptimize(series.Count());
    }
}
BENCHMARK(BM_PhasePlotOnTheCallingThread)->Unit(benchmark::kMicrosecond)->UseRealTime();

// As the window runs it now: a job on a worker with its own evaluator, the points handed back.
void BM_PhasePlotAsAJobOnAWorker(benchmark::State& state) {
    Application();
    BenchHost host;
    Tsp_XYLine series;
    const PhasePlotSettings settings;
    for (auto _ : state) {
        series.ClearPoints();
        series.SetActive(false);
        PhasePlotOrbit orbit;
        VectorPointSink points;
        RunModelJob(host, [&](ModelEvaluator& model, RunControl&) {
            PhasePlotRun(model, settings, orbit, false, points);
        });
        for (const VectorPointSink::Point& point : points.points) {
            series.AddPoint(point.x, point.y);
        }
        benchmark::DoNotOptimize(series.Count());
    }
}
BENCHMARK(BM_PhasePlotAsAJobOnAWorker)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();

// kalvora-cli lyapunov: the largest Lyapunov exponent over a parameter interval, as the "Largest
// Lyapunov Exponent Diagram" window computes it, on every core.

#include <cstdint>
#include <limits>

#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "analysis/window/data_file_writer.h"
#include "analysis/window/plot_window.h"
#include "cli/commands/sweep_command.h"
#include "core/noise.h"

namespace kalvora::cli {
namespace {

int RunLyapunov(const Arguments& arguments) {
    GridRun grid(arguments, "lyapunov", "parameter values");
    const PictureSize size = CheckSeriesCommandLine(arguments);
    ModelSession session;
    session.lyapunovMethods = true;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    LyapunovSettings settings;
    settings.parameter = ParameterOption(ws, arguments, "--parameter");
    settings.minimum = arguments.number("--min", 0);
    settings.maximum = arguments.number("--max", 1.4L);
    settings.iterations = arguments.integer("--iterations", 100, 1, kLargestCount);
    settings.transientSteps = arguments.integer("--skip", 300, 0, kLargestCount);
    settings.epsilon = arguments.number("--epsilon", 0.001L);
    std::string method = "two-trajectories";
    for (const std::string& name : arguments.values("--method")) {
        if (IsLyapunovMethodName(name)) {
            method = name;
        }
    }
    if (method == "tangent") {
        if (arguments.has("--epsilon")) {
            throw UsageError(
                "--epsilon belongs to the two-trajectory method, not to --method "
                "tangent");
        }
        settings.method = LyapunovMethod::TangentSpace;
    }
    settings.resolution = ResolutionOption(arguments);
    settings.onFailure = FailureOption(arguments);
    const int threads = ThreadsOption(arguments);
    const bool streamed = StreamsToFile(grid, arguments);
    settings.pointsHeld = !streamed;
    const SweptValues values = PlanLyapunov(ws.model(), settings);
    grid.refuseDependentPieces(ws.model(), StepsDrawRandomNumbers(ws.model()));
    grid.plan(values.count());
    settings.values = {grid.span().first, grid.span().end};

    ReseedIfFixed(ws);
    CliRunControl control;
    if (streamed) {
        return StreamSeriesResult(
            session, arguments,
            [&](PointSink& sink) {
                ReportSkippedValues(LyapunovSweep(session.model(), ws.model().kind, settings,
                                                  threads, control, sink));
            },
            &control);
    }
    Tsp_XYLine curve;
    SweepOutcome outcome;
    if (grid.merging()) {
        outcome = MergedSeries(grid, session, values, curve);
    } else {
        outcome =
            LyapunovSweep(session.model(), ws.model().kind, settings, threads, control, curve);
        if (grid.tiled()) {
            return WriteSweepTile(grid, session, curve, outcome, control.stopRequested());
        }
    }
    ReportSkippedValues(outcome);
    if (control.stopRequested()) {
        Output output(arguments);
        WriteDataLines(output.stream(), curve.XValues(), curve.YValues());
        return StoppedResult(session, output);
    }

    // As the window: the blue curve of joined crosses over the red zero line, the parameter axis
    // fixed to the interval.
    Tsp_XYLine zero;
    StyleNewSeries(zero, clRed);
    zero.LineAttr().SetVisible(true);
    zero.PointAttr().SetVisible(false);
    zero.AddPoint(static_cast<double>(settings.minimum), 0);
    zero.AddPoint(static_cast<double>(settings.maximum), 0);
    return WriteSeriesResult(session, arguments, curve, size, session.failed(), true,
                             {*arguments.value("--parameter"), "exponent"},
                             [&](Tsp_XYPlot& plot) {
                                 plot.BottomAxis().SetAutoMin(false);
                                 plot.BottomAxis().SetAutoMax(false);
                                 plot.BottomAxis().SetRange(static_cast<double>(values.lower()),
                                                            static_cast<double>(values.upper()));
                             },
                             {&zero});
}

const CommandRegistrar registrar(
    {"lyapunov",
     "the largest Lyapunov exponent as two-column data (parameter, exponent), one line per "
     "parameter value; per iteration for a discrete model, per unit of time for a continuous one",
     "MODEL.mod --parameter NAME [--min A] [--max B] [--iterations M] [--skip T] [--epsilon E] "
     "[--resolution N] [--method two-trajectories|tangent] [--skip-failures] [--threads K] [--png "
     "OUT.png [--size "
     "WxH]] [--tile I/N] [OPTIONS]",
     {{"--parameter", "NAME", "the swept parameter"},
      {"--min", "A", "first end of the parameter interval (default 0)"},
      {"--max", "B", "other end of the parameter interval (default 1.4)"},
      {"--iterations", "M", "steps averaged over (default 100)"},
      {"--skip", "T", "transient steps per parameter value (default 300)"},
      {"--epsilon", "E", "size of the perturbation of the two-trajectory method (default 0.001)"},
      {"--method", "METHOD",
       "two-trajectories (default): a perturbed second orbit; tangent: a tangent vector carried "
       "by the model's Jacobian, with no perturbation size and no bias from it. Given once more, "
       "rk3, rk4 or dopri5 chooses a continuous model's integrator",
       true},
      {"--resolution", "N", "parameter steps; N + 1 values (default 600)"},
      {"--threads", "K",
       "workers; 0 one per core (default), 1 the one-thread run; noise always "
       "runs on one"},
      kSkipFailuresOption,
      {"--png", "OUT.png", "also draw the curve as the window shows it"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption,
      kTileOption},
     true,
     RunLyapunov});

}  // namespace
}  // namespace kalvora::cli

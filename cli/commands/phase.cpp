// kalvora-cli phase: an orbit in the plane of two variables, as the "Phase Plot" window computes
// it.

#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/timeseries/orbit_counts.h"
#include "cli/cli_common.h"
#include "core/noise.h"
#include "plot/window/data_file_writer.h"
#include "plot/window/plot_picture.h"
#include "plot/window/plot_window.h"

namespace kalvora::cli {
namespace {

int StateEntryOption(const ModelWorkspace& ws, const Arguments& arguments,
                     const std::string& option) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    const int entry = StateEntryOf(ws, *name);
    if (entry == 0) {
        throw UsageError(option + ": the model has no variable '" + *name + "'");
    }
    return entry;
}

int RunPhase(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    // Checked before the run, so that a bad size costs no computation.
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    PhasePlotSettings settings;
    settings.xVariable = StateEntryOption(ws, arguments, "--x");
    settings.yVariable = StateEntryOption(ws, arguments, "--y");
    if (ws.discrete) {
        if (arguments.has("--from") || arguments.has("--to")) {
            throw UsageError(
                "--from and --to apply to continuous models; use --points and "
                "--skip for this discrete model");
        }
        settings.pointsPlotted = arguments.integer("--points", 10000, 2, 10000000);
        settings.pointsNotPlotted = arguments.integer("--skip", 1000, 0, 100000);
    } else {
        if (arguments.has("--points") || arguments.has("--skip")) {
            throw UsageError(
                "--points and --skip apply to discrete models; use --from and --to "
                "for this continuous model");
        }
        settings.startTime = arguments.number("--from", 1);
        settings.endTime = arguments.number("--to", 50);
        if (!ContinuousIntervalValid(settings.startTime, settings.endTime, ws.stepSize)) {
            throw UsageError(
                "--from and --to: the interval must start at 0 or later and hold "
                "more than three steps");
        }
    }

    ReseedIfFixed(ws);
    Tsp_XYLine series;
    PhasePlotOrbit orbit;
    const PhasePlotOutcome outcome = PhasePlotRun(ws, settings, orbit, false, series);
    Output output(arguments);
    WriteDataLines(output.stream(), series.XValues(), series.YValues());
    output.commit();
    if (arguments.has("--png")) {
        // As the window: single-pixel points (joined for a continuous model), and a visible frame
        // around an orbit that has settled on a fixed point.
        StyleNewSeries(series, clBlue);
        StyleRunSeries(series, false, !ws.discrete);
        SaveSeriesPicture(*arguments.value("--png"), series, size, outcome.failed,
                          [&](Tsp_XYPlot& plot) {
                              FrameSettledOrbit(plot, series, outcome.xSettled, outcome.ySettled);
                          });
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"phase",
     "an orbit in the plane of two variables as two-column data (x, y), one point per step "
     "after the transient",
     "MODEL.mod --x NAME --y NAME [--points P --skip NP | --from S --to E] "
     "[--png OUT.png [--size WxH]] [OPTIONS]",
     {{"--x", "NAME", "the variable or auxiliary variable of the abscissa"},
      {"--y", "NAME", "the variable or auxiliary variable of the ordinate"},
      {"--points", "P", "discrete: number of points plotted (default 10000)"},
      {"--skip", "NP", "discrete: transient steps not plotted (default 1000)"},
      {"--from", "S", "continuous: first plotted time (default 1)"},
      {"--to", "E", "continuous: end of the plotted time (default 50)"},
      {"--png", "OUT.png", "also draw the plot as the window shows it"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"}},
     true,
     RunPhase});

}  // namespace
}  // namespace kalvora::cli

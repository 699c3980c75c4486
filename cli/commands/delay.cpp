// kalvora-cli delay: one variable against itself d steps later, as the "2-Dimensional Delay Plot"
// window computes it.

#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/timeseries/orbit_counts.h"
#include "cli/cli_common.h"
#include "core/noise.h"
#include "plot/window/data_file_writer.h"
#include "plot/window/plot_picture.h"
#include "plot/window/plot_window.h"

namespace kalvora::cli {
namespace {

int RunDelay(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    // Checked before the run, so that a bad size costs no computation.
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    DelayPlotSettings settings;
    const std::optional<std::string> name = arguments.value("--variable");
    if (!name) {
        throw UsageError("--variable NAME is required");
    }
    settings.variable = StateEntryOf(ws, *name);
    if (settings.variable == 0) {
        throw UsageError("--variable: the model has no variable '" + *name + "'");
    }
    if (ws.discrete) {
        if (arguments.has("--from") || arguments.has("--to") || arguments.has("--delay-time")) {
            throw UsageError(
                "--from, --to and --delay-time apply to continuous models; use "
                "--points, --skip and --delay for this discrete model");
        }
        settings.delaySteps = static_cast<int>(arguments.integer("--delay", 1, 1, 20));
        settings.pointsPlotted = arguments.integer("--points", 10000, 2, 10000000);
        settings.pointsNotPlotted = arguments.integer("--skip", 1000, 0, 100000);
    } else {
        if (arguments.has("--points") || arguments.has("--skip") || arguments.has("--delay")) {
            throw UsageError(
                "--points, --skip and --delay apply to discrete models; use --from, "
                "--to and --delay-time for this continuous model");
        }
        settings.delayTime = arguments.number("--delay-time", 1);
        settings.startTime = arguments.number("--from", 1);
        settings.endTime = arguments.number("--to", 30);
        if (!ContinuousIntervalValid(settings.startTime, settings.endTime, ws.stepSize)) {
            throw UsageError(
                "--from and --to: the interval must start at 0 or later and hold "
                "more than three steps");
        }
    }

    ReseedIfFixed(ws);
    Tsp_XYLine series;
    const DelayPlotOutcome outcome = DelayPlotRun(ws, settings, series);
    Output output(arguments);
    WriteDataLines(output.stream(), series.XValues(), series.YValues());
    output.commit();
    if (arguments.has("--png")) {
        // As the window: single-pixel points, joined for a continuous model.
        StyleNewSeries(series, clBlue);
        StyleRunSeries(series, false, !ws.discrete);
        SaveSeriesPicture(*arguments.value("--png"), series, size, outcome.failed);
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"delay",
     "a delay plot as two-column data (x(t), x(t + d)), both values from one orbit",
     "MODEL.mod --variable NAME [--delay D | --delay-time T] [--points P --skip NP | --from S "
     "--to E] [--png OUT.png [--size WxH]] [OPTIONS]",
     {{"--variable", "NAME", "the variable or auxiliary variable to plot"},
      {"--delay", "D", "discrete: the delay in steps, 1 to 20 (default 1)"},
      {"--delay-time", "T", "continuous: the delay in time, converted to steps (default 1)"},
      {"--points", "P", "discrete: number of points plotted (default 10000)"},
      {"--skip", "NP", "discrete: transient steps not plotted (default 1000)"},
      {"--from", "S", "continuous: first plotted time (default 1)"},
      {"--to", "E", "continuous: end of the plotted time (default 30)"},
      {"--png", "OUT.png", "also draw the plot as the window shows it"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"}},
     true,
     RunDelay});

}  // namespace
}  // namespace kalvora::cli

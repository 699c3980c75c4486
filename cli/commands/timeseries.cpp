// kalvora-cli timeseries: one variable against time, as the "Timeseries Plot" window computes it.

#include "analysis/orbit/timeseries/orbit_counts.h"
#include "analysis/orbit/timeseries/time_series_run.h"
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

int RunTimeSeries(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    // Checked before the run, so that a bad size costs no computation.
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    TimeSeriesSettings settings;
    settings.variable = StateEntryOption(ws, arguments, "--variable");
    if (ws.discrete) {
        if (arguments.has("--from") || arguments.has("--to")) {
            throw UsageError(
                "--from and --to apply to continuous models; use --points, --skip "
                "and --every for this discrete model");
        }
        settings.pointsPlotted = arguments.integer("--points", 100, 2, 1000000);
        settings.pointsNotPlotted = arguments.integer("--skip", 100, 0, 100000);
        settings.timeStep = static_cast<int>(arguments.integer("--every", 1, 1, 1000));
    } else {
        if (arguments.has("--points") || arguments.has("--skip") || arguments.has("--every")) {
            throw UsageError(
                "--points, --skip and --every apply to discrete models; use --from "
                "and --to for this continuous model");
        }
        settings.startTime = arguments.number("--from", 100);
        settings.endTime = arguments.number("--to", 200);
        if (!ContinuousIntervalValid(settings.startTime, settings.endTime, ws.stepSize)) {
            throw UsageError(
                "--from and --to: the interval must start at 0 or later and hold "
                "more than three steps");
        }
    }

    ReseedIfFixed(ws);
    Tsp_XYLine series;
    const TimeSeriesOutcome outcome = TimeSeriesRun(ws, settings, series);
    Output output(arguments);
    WriteDataLines(output.stream(), series.XValues(), series.YValues());
    output.commit();
    if (arguments.has("--png")) {
        // As the window: points joined (its default), time exactly over the requested interval.
        StyleNewSeries(series, clBlue);
        StyleRunSeries(series, false, true);
        SaveSeriesPicture(*arguments.value("--png"), series, size, outcome.failed,
                          [&](Tsp_XYPlot& plot) {
                              plot.BottomAxis().SetAutoMin(false);
                              plot.BottomAxis().SetAutoMax(false);
                              plot.BottomAxis().SetRange(static_cast<double>(outcome.plan.start),
                                                         static_cast<double>(outcome.plan.end));
                          });
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"timeseries",
     "one variable against time as two-column data (time, value); discrete models plot "
     "iterations NP*K .. (NP+P)*K, continuous ones the times S .. E",
     "MODEL.mod --variable NAME [--points P --skip NP --every K | --from S --to E] "
     "[--png OUT.png [--size WxH]] [OPTIONS]",
     {{"--variable", "NAME", "the variable or auxiliary variable to plot"},
      {"--points", "P", "discrete: P + 1 points are plotted (default 100)"},
      {"--skip", "NP", "discrete: transient of NP * K steps not plotted (default 100)"},
      {"--every", "K", "discrete: steps between two plotted points (default 1)"},
      {"--from", "S", "continuous: first plotted time (default 100)"},
      {"--to", "E", "continuous: last plotted time (default 200)"},
      {"--png", "OUT.png", "also draw the plot as the window shows it"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"}},
     true,
     RunTimeSeries});

}  // namespace
}  // namespace kalvora::cli

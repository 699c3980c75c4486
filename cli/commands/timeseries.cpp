// kalvora-cli timeseries: one variable against time, as the "Timeseries Plot" window computes it.

#include <tuple>

#include "analysis/orbit/timeseries/time_series_run.h"
#include "cli/commands/series_command.h"
#include "core/noise.h"

namespace kalvora::cli {
namespace {

int RunTimeSeries(const Arguments& arguments) {
    const PictureSize size = CheckSeriesCommandLine(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    TimeSeriesSettings settings;
    settings.variable = StateEntryOption(ws, arguments, "--variable");
    RefuseOtherKindOptions(arguments, ws.model().discrete, {"--points", "--skip", "--every"},
                           {"--from", "--to"});
    if (ws.model().discrete) {
        settings.pointsPlotted =
            arguments.integer("--points", settings.pointsPlotted, 2, kLargestCount);
        settings.pointsNotPlotted =
            arguments.integer("--skip", settings.pointsNotPlotted, 0, kLargestCount);
        settings.timeStep =
            static_cast<int>(arguments.integer("--every", settings.timeStep, 1, 1000));
    } else {
        std::tie(settings.startTime, settings.endTime) =
            IntervalOptions(arguments, ws, settings.startTime, settings.endTime);
    }

    ReseedIfFixed(ws);
    if (!arguments.has("--png")) {
        return StreamSeriesResult(session, arguments, [&](PointSink& sink) {
            TimeSeriesRun(session.model(), settings, sink);
        });
    }
    Tsp_XYLine series;
    const TimeSeriesOutcome outcome = TimeSeriesRun(session.model(), settings, series);
    // As the window: points joined (its default), time exactly over the requested interval.
    return WriteSeriesResult(session, arguments, series, size, outcome.failed, true,
                             {"time", *arguments.value("--variable")}, [&](Tsp_XYPlot& plot) {
                                 plot.BottomAxis().SetAutoMin(false);
                                 plot.BottomAxis().SetAutoMax(false);
                                 plot.BottomAxis().SetRange(static_cast<double>(outcome.plan.start),
                                                            static_cast<double>(outcome.plan.end));
                             });
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
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption},
     true,
     RunTimeSeries});

}  // namespace
}  // namespace kalvora::cli

// kalvora-cli delay: one variable against itself d steps later, as the "2-Dimensional Delay Plot"
// window computes it.

#include <tuple>

#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "cli/commands/series_command.h"
#include "core/noise.h"

namespace kalvora::cli {
namespace {

int RunDelay(const Arguments& arguments) {
    const PictureSize size = CheckSeriesCommandLine(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    DelayPlotSettings settings;
    settings.variable = StateEntryOption(ws, arguments, "--variable");
    RefuseOtherKindOptions(arguments, ws.model().discrete, {"--points", "--skip", "--delay"},
                           {"--from", "--to", "--delay-time"});
    if (ws.model().discrete) {
        settings.delaySteps =
            static_cast<int>(arguments.integer("--delay", settings.delaySteps, 1, 20));
        settings.pointsPlotted =
            arguments.integer("--points", settings.pointsPlotted, 2, kLargestCount);
        settings.pointsNotPlotted =
            arguments.integer("--skip", settings.pointsNotPlotted, 0, kLargestCount);
    } else {
        settings.delayTime = arguments.number("--delay-time", settings.delayTime);
        std::tie(settings.startTime, settings.endTime) =
            IntervalOptions(arguments, ws, settings.startTime, settings.endTime);
    }

    ReseedIfFixed(ws);
    if (!arguments.has("--png")) {
        return StreamSeriesResult(session, arguments, [&](PointSink& sink) {
            DelayPlotRun(session.model(), settings, sink);
        });
    }
    Tsp_XYLine series;
    const DelayPlotOutcome outcome = DelayPlotRun(session.model(), settings, series);
    // As the window: single-pixel points, joined for a continuous model.
    const std::string name = *arguments.value("--variable");
    return WriteSeriesResult(
        session, arguments, series, size, outcome.failed, !ws.model().discrete,
        {name + "(t)", name + "(t+" + std::to_string(outcome.plan.delaySteps) + ")"});
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
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption},
     true,
     RunDelay});

}  // namespace
}  // namespace kalvora::cli

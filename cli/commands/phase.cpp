// kalvora-cli phase: an orbit in the plane of two variables, as the "Phase Plot" window computes
// it.

#include <tuple>

#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/window/plot_window.h"
#include "cli/commands/series_command.h"
#include "core/noise.h"

namespace kalvora::cli {
namespace {

int RunPhase(const Arguments& arguments) {
    const PictureSize size = CheckSeriesCommandLine(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    PhasePlotSettings settings;
    settings.xVariable = StateEntryOption(ws, arguments, "--x");
    settings.yVariable = StateEntryOption(ws, arguments, "--y");
    RefuseOtherKindOptions(arguments, ws.model().discrete, {"--points", "--skip"},
                           {"--from", "--to"});
    if (ws.model().discrete) {
        settings.pointsPlotted =
            arguments.integer("--points", settings.pointsPlotted, 2, kLargestCount);
        settings.pointsNotPlotted =
            arguments.integer("--skip", settings.pointsNotPlotted, 0, kLargestCount);
    } else {
        std::tie(settings.startTime, settings.endTime) =
            IntervalOptions(arguments, ws, settings.startTime, settings.endTime);
    }

    ReseedIfFixed(ws);
    PhasePlotOrbit orbit;
    if (!arguments.has("--png")) {
        return StreamSeriesResult(session, arguments, [&](PointSink& sink) {
            PhasePlotRun(session.model(), settings, orbit, false, sink);
        });
    }
    Tsp_XYLine series;
    const PhasePlotOutcome outcome = PhasePlotRun(session.model(), settings, orbit, false, series);
    // As the window: single-pixel points (joined for a continuous model), and a visible frame
    // around an orbit that has settled on a fixed point.
    return WriteSeriesResult(
        session, arguments, series, size, outcome.failed, !ws.model().discrete,
        {*arguments.value("--x"), *arguments.value("--y")}, [&](Tsp_XYPlot& plot) {
            FrameSettledOrbit(plot, series, outcome.xSettled, outcome.ySettled);
        });
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
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption},
     true,
     RunPhase});

}  // namespace
}  // namespace kalvora::cli

// kalvora-cli bifurcation: the points of a bifurcation diagram, as the "Bifurcation Diagram" window
// computes them, on every core.

#include <cstdint>
#include <limits>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/window/data_file_writer.h"
#include "cli/commands/sweep_command.h"

namespace kalvora::cli {
namespace {

int RunBifurcation(const Arguments& arguments) {
    GridRun grid(arguments, "bifurcation", "parameter values");
    const PictureSize size = CheckSeriesCommandLine(arguments);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    BifurcationSettings settings;
    settings.parameter = ParameterOption(ws, arguments, "--parameter");
    settings.plotVariable = StateEntryOption(ws, arguments, "--variable");
    settings.minimum = arguments.number("--min", 0);
    settings.maximum = arguments.number("--max", 1.4L);
    // The dialog's limits are its controls'; a batch run may be as long as a 64-bit count (the
    // sweep's own point limit still refuses more points than it can hold).
    settings.plottedPoints = arguments.integer("--points", 100, 1, kLargestCount);
    settings.transientSteps = arguments.integer("--skip", 300, 0, kLargestCount);
    settings.onFailure = FailureOption(arguments);
    settings.resolution = ResolutionOption(arguments);
    settings.carryState = arguments.has("--carry");
    settings.rightToLeft = arguments.has("--right-to-left");
    if (arguments.has("--section") || arguments.has("--maxima")) {
        if (arguments.has("--section") && arguments.has("--maxima")) {
            throw UsageError("--section and --maxima: choose one");
        }
        if (ws.model().discrete) {
            throw UsageError((arguments.has("--maxima") ? "--maxima: " : "--section: ") +
                             ws.model().modelName +
                             " is a discrete model; crossings and maxima are plotted only for a "
                             "continuous model");
        }
        if (arguments.has("--maxima")) {
            settings.flowPlot = FlowPlot::LocalMaxima;
        } else {
            try {
                settings.section = ParseDirectedSection(ws.model(), *arguments.value("--section"));
            } catch (const SectionError& error) {
                throw UsageError(std::string("--section: ") + error.what());
            }
            settings.flowPlot = FlowPlot::SectionCrossings;
        }
    }
    const int threads = ThreadsOption(arguments);
    const bool streamed = StreamsToFile(grid, arguments);
    settings.pointsHeld = !streamed;
    // Refused here, before the run, with the sweep's own message.
    const SweptValues values = PlanBifurcation(ws.model(), settings);
    grid.refuseDependentPieces(
        ws.model(), StepsDrawRandomNumbers(ws.model()),
        settings.carryState ? "--carry starts each value from the state the one before left" : "");
    grid.plan(values.count());
    settings.values = {grid.span().first, grid.span().end};

    CliRunControl control;
    if (streamed) {
        return StreamSeriesResult(
            session, arguments,
            [&](PointSink& sink) {
                ReportSkippedValues(BifurcationSweep(session.model(), ws.model().kind, settings,
                                                     threads, control, sink));
            },
            &control);
    }
    Tsp_XYLine series;
    SweepOutcome outcome;
    if (grid.merging()) {
        outcome = MergedSeries(grid, session, values, series);
    } else {
        series.Reserve(static_cast<std::size_t>(grid.span().count() * settings.plottedPoints));
        outcome =
            BifurcationSweep(session.model(), ws.model().kind, settings, threads, control, series);
        if (grid.tiled()) {
            return WriteSweepTile(grid, session, series, outcome, control.stopRequested());
        }
    }
    ReportSkippedValues(outcome);
    if (control.stopRequested()) {
        Output output(arguments);
        WriteDataLines(output.stream(), series.XValues(), series.YValues());
        return StoppedResult(session, output);
    }

    // As the window: crosses (joined for a continuous model's every step; crossings and maxima are
    // separate points), the parameter axis fixed to the interval whichever way it was swept.
    return WriteSeriesResult(session, arguments, series, size, session.failed(),
                             !ws.model().discrete && settings.flowPlot == FlowPlot::EveryStep,
                             {*arguments.value("--parameter"), *arguments.value("--variable")},
                             [&](Tsp_XYPlot& plot) {
                                 plot.BottomAxis().SetAutoMin(false);
                                 plot.BottomAxis().SetAutoMax(false);
                                 plot.BottomAxis().SetRange(static_cast<double>(values.lower()),
                                                            static_cast<double>(values.upper()));
                             });
}

const CommandRegistrar registrar(
    {"bifurcation",
     "a bifurcation diagram as two-column data (parameter, variable): for each of N + 1 "
     "parameter values, T transient steps and then P plotted ones, in sweep order",
     "MODEL.mod --parameter NAME --variable NAME [--min A] [--max B] [--points P] [--skip T] "
     "[--resolution N] [--carry] [--right-to-left] [--section NAME=VALUE[:up|down] | --maxima] "
     "[--skip-failures] [--threads K] [--png OUT.png [--size WxH]] [--tile I/N] "
     "[OPTIONS]",
     {{"--parameter", "NAME", "the swept parameter"},
      {"--variable", "NAME", "the plotted variable or auxiliary variable"},
      {"--min", "A", "first end of the parameter interval (default 0)"},
      {"--max", "B", "other end of the parameter interval (default 1.4)"},
      {"--points", "P", "points plotted per parameter value (default 100)"},
      {"--skip", "T", "transient steps per parameter value (default 300)"},
      {"--resolution", "N", "parameter steps; N + 1 values (default 600)"},
      {"--carry", "", "start each value from the state the previous one left"},
      {"--section", "NAME=VALUE[:up|down|both]",
       "continuous: plot the variable where the orbit crosses the section (default up); "
       "--points counts crossings"},
      {"--maxima", "", "continuous: plot the variable's local maxima; --points counts maxima"},
      {"--right-to-left", "", "sweep from B down to A"},
      {"--threads", "K",
       "workers; 0 one per core (default), 1 the one-thread run; a carried "
       "state or noise always runs on one"},
      kSkipFailuresOption,
      {"--png", "OUT.png", "also draw the diagram as the window shows it"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption,
      kTileOption},
     true,
     RunBifurcation});

}  // namespace
}  // namespace kalvora::cli

// kalvora-cli cobweb: the graphical analysis of a one-variable map, as the "Graphical Analysis"
// window builds it: the staircase after a number of "Next Iteration(s)" of one step each.

#include <memory>
#include <optional>
#include <string>

#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/orbit/cobweb/cobweb_series.h"
#include "analysis/window/data_file_writer.h"
#include "analysis/window/plot_picture.h"
#include "cli/commands/series_command.h"
#include "core/noise.h"
#include "core/text_file.h"

namespace kalvora::cli {
namespace {

int RunCobweb(const Arguments& arguments) {
    const PictureSize size = CheckSeriesCommandLine(arguments);
    const std::optional<std::string> curveFile = arguments.value("--curve");
    ModelSession session;
    // Refuses the extra file over an input or another output, with the others.
    PrepareModel(session, arguments);
    if (curveFile) {
        // Reported before the run, like the picture: a failing command leaves no file behind.
        AtomicFileWriter trial(*curveFile);
    }
    ModelWorkspace& ws = session.ws;
    if (ws.model().variableCount != 1) {
        throw UsageError("the graphical analysis follows a map of one variable; this model has " +
                         std::to_string(ws.model().variableCount));
    }

    // The window's defaults: the dialog starts from the same struct.
    const CobwebSettings defaults;
    CobwebSettings settings;
    settings.minimum = arguments.number("--min", defaults.minimum);
    settings.maximum = arguments.number("--max", defaults.maximum);
    settings.iteratedMap = static_cast<int>(
        arguments.integer("--iterate", defaults.iteratedMap, 1, kMaximumIteratedMap));
    settings.initialValue = arguments.number("--initial", defaults.initialValue);
    const long long steps = arguments.integer("--steps", 10, 0, 1'000'000);

    ReseedIfFixed(ws);
    Tsp_XYLine curve;
    Tsp_XYLine diagonal;
    Tsp_XYLine staircase;
    CobwebConstruction construction;
    bool failed = CobwebStart(session.model(), ws.model().kind, settings, construction, curve,
                              diagonal, staircase);
    // One "Next Iteration(s)" of one time step after another, as a user would press it.
    for (long long i = 0; i < steps && !failed; ++i) {
        failed = CobwebStep(session.model(), ws.model().kind, construction, 1, staircase);
    }

    // Staircase, curve and picture replace their targets together or not at all.
    Output output(arguments);
    WriteDataLines(output.stream(), staircase.XValues(), staircase.YValues());
    std::unique_ptr<AtomicFileWriter> curvePoints;
    if (curveFile) {
        curvePoints = std::make_unique<AtomicFileWriter>(*curveFile);
        WriteDataLines(curvePoints->stream(), curve.XValues(), curve.YValues());
        curvePoints->finish();
    }
    std::unique_ptr<AtomicFileWriter> picture;
    if (arguments.has("--png")) {
        picture = std::make_unique<AtomicFileWriter>(*arguments.value("--png"));
        StyleCobwebCurve(curve);
        StyleCobwebDiagonal(diagonal);
        StyleCobwebStaircase(staircase);
        const double low = static_cast<double>(construction.minimum);
        const double high = static_cast<double>(construction.maximum);
        // The window's names: the map's variable and its iterate.
        const std::string x = ws.model().variableNames[0];
        WriteSeriesPicture(
            *picture, std::vector<Tsp_XYLine*>{&diagonal, &curve, &staircase}, size, failed,
            [&](Tsp_XYPlot& plot) { FixCobwebAxes(plot, low, high); },
            PictureLookOf(arguments,
                          {x + "(t)", x + "(t+" + std::to_string(settings.iteratedMap) + ")"}));
        picture->finish();
    }
    output.finish();
    output.commit();
    for (AtomicFileWriter* file : {curvePoints.get(), picture.get()}) {
        if (file != nullptr) {
            file->commit();
        }
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"cobweb",
     "graphical (cobweb) analysis of a one-variable map: the staircase between the graph of the "
     "n-th iterate and the diagonal as two-column data",
     "MODEL.mod [--min A] [--max B] [--iterate N] [--initial X0] [--steps K] [--curve FILE] "
     "[--png OUT.png [--size WxH]] [OPTIONS]",
     {{"--min", "A", "one end of the interval (default 0)"},
      {"--max", "B", "the other end (default 1); the ends may come in either order"},
      {"--iterate", "N", "follow the N-th iterate of the map, 1 to 100 (default 1)"},
      {"--initial", "X0",
       "start of the staircase (default 0.34); outside the interval (max + 2 min) / 3"},
      {"--steps", "K", "staircase steps, one at a time (default 10)"},
      {"--curve", "FILE", "also write the 800 points of the iterate's graph to FILE"},
      {"--png", "OUT.png", "also draw the curve, diagonal and staircase as the window shows them"},
      {"--size", "WxH", "picture size in pixels (default 640x480)"},
      kRoundTicksOption},
     true,
     RunCobweb});

}  // namespace
}  // namespace kalvora::cli

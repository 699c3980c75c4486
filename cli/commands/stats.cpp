// kalvora-cli stats: the figures of the "Series Information" window for one variable's orbit, and
// with --png its histogram.

#include <memory>
#include <optional>

#include "analysis/data/statistics/histogram_painter.h"
#include "analysis/data/statistics/statistics_run.h"
#include "cli/commands/series_command.h"

namespace kalvora::cli {
namespace {

int RunStats(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    if (const std::optional<std::string> picture = arguments.value("--png")) {
        // A picture that cannot be created is reported before the run; the trial file is removed.
        AtomicFileWriter trial(*picture);
    }
    StatisticsSettings settings;
    settings.transient = arguments.integer("--skip", 100, 0, kLargestCount);
    settings.points = arguments.integer("--points", 100, 2, kStatisticsMaximumPoints);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;
    settings.variable = StateEntryOption(ws, arguments, "--variable");

    CliRunControl control;
    StatisticsRecord record;
    StatisticsRun(session.model(), settings, control, record);

    // The figures and the picture replace their targets together or not at all.
    Output output(arguments);
    for (const StatisticsFigure& figure : StatisticsFigures(
             record, ws.model().variableNames[static_cast<std::size_t>(record.variable - 1)])) {
        output.stream() << figure.label << ": " << figure.value << "\n";
    }
    std::unique_ptr<AtomicFileWriter> picture;
    if (const std::optional<std::string> name = arguments.value("--png")) {
        picture = std::make_unique<AtomicFileWriter>(*name);
        WriteHistogramPicture(*picture, record);
        picture->finish();
    }
    if (record.stopped) {
        const int result = StoppedResult(session, output);
        if (picture) {
            picture->commit();
        }
        return result;
    }
    output.finish();
    output.commit();
    if (picture) {
        picture->commit();
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"stats",
     "descriptive statistics of one variable along an orbit, as the \"Series Information\" "
     "window labels them, one \"Label: value\" line each",
     "MODEL.mod --variable NAME [--skip T] [--points N] [--png OUT.png] [OPTIONS]",
     {{"--variable", "NAME", "the variable or auxiliary variable sampled"},
      {"--skip", "T", "transient: the sample starts after T + 1 steps (default 100)"},
      {"--points", "N", "sample size, 2 to 100000 (default 100)"},
      {"--png", "OUT.png", "also draw the window's 20-bin histogram"}},
     true,
     RunStats});

}  // namespace
}  // namespace kalvora::cli

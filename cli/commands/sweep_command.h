#pragma once

// What the parameter-sweep sub-commands share (bifurcation, lyapunov): the swept parameter by
// name, the thread count, the progress bar and the output in sweep order.

#include <string>

#include "analysis/sweep/common/sweep_run.h"
#include "cli/commands/series_command.h"
#include "cli/grid_tiles.h"

namespace kalvora::cli {

// The 1-based number of the parameter the option names; the option is required.
int ParameterOption(const ModelWorkspace& ws, const Arguments& arguments,
                    const std::string& option);

// --threads K: 0 (the default) uses one worker per core, 1 forces the one-thread run.
int ThreadsOption(const Arguments& arguments);

// Whether a sweep's points go straight to the data file as they are computed: not when a picture
// is drawn or tiles are written or merged, which hold them.
bool StreamsToFile(const GridRun& grid, const Arguments& arguments);

// --resolution N: parameter steps (default 600, as there is no window to take the width of).
// Values the sweep cannot run with are refused by the sweep itself, with its message.
long long ResolutionOption(const Arguments& arguments);

// --skip-failures: a value whose model step fails is left out and the sweep goes on.
inline const OptionSpec kSkipFailuresOption{
    "--skip-failures", "",
    "leave out a parameter value whose model step fails and go on (listed on standard error); "
    "without it the sweep ends at that value"};
FailingValue FailureOption(const Arguments& arguments);

// Lists the values the sweep left out on standard error, if any.
void ReportSkippedValues(const SweepOutcome& outcome);

// A tile of a sweep: a line per point, parameter value and plotted value, to the last bit.
std::vector<std::string> SeriesTileLines(const Tsp_XYLine& series);

// Writes the tile of a sweep that ran on the session's model: its points, whether it ended at a
// failing value (with the script message) and the values it left out.
int WriteSweepTile(const GridRun& grid, ModelSession& session, const Tsp_XYLine& series,
                   const SweepOutcome& outcome, bool stopped);

// The sweep's points put together from the tiles merge hands over (up to the first tile that
// failed, where a whole run ends too); a failure sets the model's errorFlag and shows the tile's
// script message, as the failing value of a whole run does. Returns the outcome's skipped values,
// their parameter values taken from the plan.
SweepOutcome MergedSeries(const GridRun& grid, ModelSession& session, const SweptValues& values,
                          Tsp_XYLine& series);

}  // namespace kalvora::cli

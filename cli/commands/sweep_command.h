#pragma once

// What the parameter-sweep sub-commands share (bifurcation, lyapunov): the swept parameter by
// name, the thread count, the progress bar and the output in sweep order.

#include <string>

#include "cli/commands/series_command.h"
#include "cli/grid_tiles.h"

namespace kalvora::cli {

// The 1-based number of the parameter the option names; the option is required.
int ParameterOption(const ModelWorkspace& ws, const Arguments& arguments,
                    const std::string& option);

// --threads K: 0 (the default) uses one worker per core, 1 forces the one-thread run.
int ThreadsOption(const Arguments& arguments);

// --resolution N: parameter steps (default 600, as there is no window to take the width of).
// Values the sweep cannot run with are refused by the sweep itself, with its message.
long long ResolutionOption(const Arguments& arguments);

// A tile of a sweep: a line per point, parameter value and plotted value, to the last bit.
std::vector<std::string> SeriesTileLines(const Tsp_XYLine& series);

// The sweep's points put together from the tiles merge hands over (up to the first tile that
// failed, where a whole run ends too); a failure sets the model's errorFlag and shows the tile's
// script message, as the failing value of a whole run does.
void MergedSeries(const GridRun& grid, ModelSession& session, Tsp_XYLine& series);

}  // namespace kalvora::cli

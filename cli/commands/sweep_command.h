#pragma once

// What the parameter-sweep sub-commands share (bifurcation, lyapunov): the swept parameter by
// name, the thread count, the progress bar and the output in sweep order.

#include <string>

#include "cli/commands/series_command.h"

namespace kalvora::cli {

// The 1-based number of the parameter the option names; the option is required.
int ParameterOption(const ModelWorkspace& ws, const Arguments& arguments,
                    const std::string& option);

// --threads K: 0 (the default) uses one worker per core, 1 forces the one-thread run.
int ThreadsOption(const Arguments& arguments);

// --resolution N: parameter steps (default 600, as there is no window to take the width of).
// Values the sweep cannot run with are refused by the sweep itself, with its message.
long long ResolutionOption(const Arguments& arguments);

}  // namespace kalvora::cli

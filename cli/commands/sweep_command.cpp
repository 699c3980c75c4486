// Not a sub-command: the helpers of the parameter-sweep sub-commands.

#include "cli/commands/sweep_command.h"

#include <iostream>
#include <limits>

namespace kalvora::cli {

int ParameterOption(const ModelWorkspace& ws, const Arguments& arguments,
                    const std::string& option) {
    const std::optional<std::string> name = arguments.value(option);
    if (!name) {
        throw UsageError(option + " NAME is required");
    }
    std::string names;
    for (int j = 0; j < ws.model().parameterCount && j < kModelListCapacity; ++j) {
        if (ws.model().parameterNames[j] == *name) {
            return j + 1;
        }
        names += (names.empty() ? "" : ", ") + ws.model().parameterNames[j];
    }
    throw UsageError(option + ": the model has no parameter '" + *name +
                     "' (parameters: " + (names.empty() ? "none" : names) + ")");
}

int ThreadsOption(const Arguments& arguments) {
    return static_cast<int>(arguments.integer("--threads", 0, 0, 1024));
}

long long ResolutionOption(const Arguments& arguments) {
    return arguments.integer("--resolution", 600, std::numeric_limits<std::int32_t>::min(),
                             std::numeric_limits<std::int32_t>::max());
}

FailingValue FailureOption(const Arguments& arguments) {
    return arguments.has("--skip-failures") ? FailingValue::Skip : FailingValue::EndSweep;
}

void ReportSkippedValues(const SweepOutcome& outcome) {
    if (outcome.skipped.empty()) {
        return;
    }
    // Every value: a script reading standard error wants them all, not the window's first few.
    std::cerr << "kalvora-cli: skipped " << outcome.skipped.size()
              << (outcome.skipped.size() == 1 ? " value" : " values") << " where the model failed: "
              << SkippedValuesText(outcome.skipped, outcome.skipped.size()) << std::endl;
}

}  // namespace kalvora::cli

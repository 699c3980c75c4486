// kalvora-cli poincare: the crossings of a flow's orbit through a section, one line per crossing.

#include <cmath>
#include <iostream>

#include "analysis/orbit/poincare/poincare_run.h"
#include "cli/cli_common.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

int RunPoincare(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    if (!arguments.has("--section")) {
        throw UsageError("--section NAME=VALUE is required");
    }
    ModelSession session;
    PrepareModel(session, arguments);
    const ModelDefinition& model = session.ws.model();
    if (model.discrete) {
        throw UsageError(model.modelName +
                         " is a discrete model; a Poincaré section needs a continuous one");
    }
    PoincareSettings settings;
    try {
        settings.section = ParseSection(model, *arguments.value("--section"));
        settings.section.direction =
            ParseCrossingDirection(arguments.value("--direction").value_or("up"));
    } catch (const SectionError& error) {
        throw UsageError(error.what());
    }
    settings.crossings = arguments.integer("--crossings", settings.crossings, 1, 100000000);
    settings.skipTime = arguments.number("--skip-time", settings.skipTime);
    if (!(settings.skipTime >= 0) || !std::isfinite(settings.skipTime)) {
        throw UsageError("--skip-time: expected a time of 0 or more");
    }

    Output output(arguments);
    CliRunControl control;
    const int variables = model.variableCount;
    const PoincareOutcome outcome =
        PoincareRun(session.model(), settings, control, [&](const PoincareCrossing& crossing) {
            std::string line = FormatOrbitValue(crossing.time);
            for (int i = 0; i < variables; ++i) {
                line += ' ';
                line += FormatOrbitValue(crossing.state[i]);
            }
            output.stream() << line << "\r\n";
        });
    if (outcome.stopped) {
        return StoppedResult(session, output);
    }
    output.commit();
    if (outcome.exhausted) {
        std::cerr << "kalvora-cli: the orbit did not cross the section in " << kMostStepsPerEvent
                  << " steps; " << outcome.crossings << " crossings were written" << std::endl;
        return kExitModelFailed;
    }
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"poincare",
     "the crossings of a continuous model's orbit through a section: per line the time, then "
     "all variables, in 23-character scientific format",
     "MODEL.mod --section NAME=VALUE [--direction up|down|both] [--crossings N] [--skip-time T] "
     "[OPTIONS]",
     {{"--section", "NAME=VALUE",
       "the plane NAME = VALUE, or a linear form of the variables such as x-y=0 or 2*x+y=1"},
      {"--direction", "up|down|both",
       "count crossings where the form grows (up, the default), falls, or both"},
      {"--crossings", "N", "number of crossings written (default 1000)"},
      {"--skip-time", "T", "crossings before time T are not written (default 0)"}},
     true,
     RunPoincare});

}  // namespace
}  // namespace kalvora::cli

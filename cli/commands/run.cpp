// kalvora-cli run: a quick look at a model, the state after each step as a table.

#include <algorithm>

#include "cli/cli_common.h"
#include "core/model_step.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

int RunSteps(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const std::int64_t steps = arguments.integer("--steps", 10, 1, kLargestCount);
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;
    Output output(arguments);
    std::ostream& out = output.stream();
    out << (ws.model().discrete ? "step" : "time");
    for (const std::string& name : VariableNames(ws, true)) {
        out << ' ' << name;
    }
    out << '\n';
    const int values =
        std::min(ws.model().variableCount + ws.model().auxiliaryCount, kModelListCapacity);
    ReseedIfFixed(ws);
    ModelEvaluator& model = session.model();
    StateVector state = ws.model().initialValues;
    // No bar: the table itself shows how far the run is.
    CliRunControl control;
    for (std::int64_t n = 1; n <= steps && !control.stopRequested(); ++n) {
        ModelStep(model, ws.model().kind, state);
        if (model.errorFlag) {
            break;
        }
        out << (ws.model().discrete ? std::to_string(n)
                                    : FormatGeneral(n * ws.model().stepSize, 15));
        for (int i = 0; i < values; ++i) {
            out << ' ' << FormatGeneral(state[i], 15);
        }
        out << '\n';
    }
    if (control.stopRequested()) {
        return StoppedResult(session, output);
    }
    output.commit();
    return RunResult(session);
}

const CommandRegistrar registrar({"run",
                                  "print the state after each step (15 significant digits)",
                                  "MODEL.mod [--steps N] [OPTIONS]",
                                  {{"--steps", "N", "number of steps (default 10)"}},
                                  true,
                                  RunSteps});

}  // namespace
}  // namespace kalvora::cli

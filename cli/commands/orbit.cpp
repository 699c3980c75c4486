// kalvora-cli orbit: the orbit text file of "Build Data Series", one line per sampled iterate.

#include "cli/cli_common.h"
#include "core/orbit_file.h"

namespace kalvora::cli {
namespace {

int RunOrbit(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    if (!arguments.has("--length")) {
        throw UsageError("--length N is required");
    }
    OrbitSampling sampling;
    sampling.count = arguments.integer("--length", 0, 1, kLargestCount);
    sampling.start = arguments.integer("--start", 1, 1, kLargestCount);
    sampling.step = arguments.integer("--every", 1, 1, kLargestCount);
    ModelSession session;
    PrepareModel(session, arguments);
    Output output(arguments);
    CliRunControl control;
    WriteOrbit(session.model(), session.ws.model().kind, output.stream(), sampling, control,
               output.name());
    if (control.stopRequested()) {
        return StoppedResult(session, output);
    }
    output.commit();
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"orbit",
     "write an orbit file: all variables and auxiliary variables of iterates "
     "S-1+K, S-1+2K, ... in 23-character scientific format",
     "MODEL.mod --length N [--start S] [--every K] [OPTIONS]",
     {{"--length", "N", "number of lines (iterates) to write"},
      {"--start", "S", "first sampled iterate is S - 1 + K (default 1)"},
      {"--every", "K", "model steps between written lines (default 1)"}},
     true,
     RunOrbit});

}  // namespace
}  // namespace kalvora::cli

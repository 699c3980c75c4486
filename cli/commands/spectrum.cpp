// kalvora-cli spectrum: all Lyapunov exponents by tangent dynamics, with the Kaplan-Yorke
// dimension for one run, or the exponents over a parameter interval.

#include <cstdint>
#include <iostream>
#include <limits>

#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "cli/cli_common.h"
#include "cli/commands/sweep_command.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

// The exponents of one value, or of one run, as one line.
void WriteExponents(std::ostream& out, const std::vector<double>& leading,
                    const std::vector<double>& exponents) {
    std::string line;
    for (const double value : leading) {
        line += FormatDataValue(value);
        line += ' ';
    }
    for (std::size_t i = 0; i < exponents.size(); ++i) {
        line += FormatDataValue(exponents[i]);
        line += i + 1 < exponents.size() ? " " : "\r\n";
    }
    out << line;
}

// Collects the sweep's points, N per value, and writes a value's line once all N have come.
class SpectrumLines final : public PointSink {
  public:
    SpectrumLines(std::ostream& out, int exponents) : out_(out), exponents_(exponents) {}
    void addPoint(double x, double y) override {
        values_.push_back(y);
        if (static_cast<int>(values_.size()) == exponents_) {
            WriteExponents(out_, {x}, values_);
            values_.clear();
        }
    }

  private:
    std::ostream& out_;
    int exponents_;
    std::vector<double> values_;
};

int RunSpectrumCommand(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    ModelSession session;
    PrepareModel(session, arguments);
    ModelWorkspace& ws = session.ws;

    SpectrumSettings run;
    run.iterations = arguments.integer("--iterations", run.iterations, 1, kLargestCount);
    run.transientSteps = arguments.integer("--skip", run.transientSteps, 0, kLargestCount);
    const int threads = ThreadsOption(arguments);
    const bool sweep = arguments.has("--parameter");
    if (!sweep &&
        (arguments.has("--min") || arguments.has("--max") || arguments.has("--resolution"))) {
        throw UsageError("--min, --max and --resolution sweep a parameter: give --parameter too");
    }
    SpectrumSweepSettings sweepSettings;
    sweepSettings.run = run;
    if (sweep) {
        sweepSettings.parameter = ParameterOption(ws, arguments, "--parameter");
        sweepSettings.minimum = arguments.number("--min", 0);
        sweepSettings.maximum = arguments.number("--max", 1);
        sweepSettings.resolution = arguments.integer("--resolution", 100, 1, kLargestCount);
    }
    try {
        if (sweep) {
            PlanSpectrumSweep(ws.model(), sweepSettings);
        } else {
            CheckSpectrumSettings(run);
        }
    } catch (const SweepSettingsError& error) {
        throw UsageError(error.what());
    }

    ReseedIfFixed(ws);
    Output output(arguments);
    CliRunControl control;
    bool stopped = false;
    if (sweep) {
        SpectrumLines lines(output.stream(), ws.model().variableCount);
        stopped =
            SpectrumSweep(session.model(), ws.model().kind, sweepSettings, threads, control, lines)
                .stopped;
    } else {
        const SpectrumResult result =
            LyapunovSpectrum(session.model(), ws.model().kind, run, control);
        stopped = result.stopped;
        if (!stopped) {
            WriteExponents(output.stream(), {},
                           std::vector<double>(result.exponents.begin(), result.exponents.end()));
            output.stream() << "dimension "
                            << FormatDataValue(static_cast<double>(result.dimension)) << "\r\n";
        }
    }
    if (stopped || control.stopRequested()) {
        return StoppedResult(session, output);
    }
    output.commit();
    return RunResult(session);
}

const CommandRegistrar registrar(
    {"spectrum",
     "all Lyapunov exponents by tangent dynamics, largest first, per iteration for a discrete "
     "model and per unit of time for a continuous one: for one run the exponents on one line and "
     "'dimension D' (Kaplan-Yorke) on the next; over a parameter interval one line per value, the "
     "value then the exponents",
     "MODEL.mod [--iterations M] [--skip T] [--parameter NAME --min A --max B --resolution N] "
     "[--threads K] [OPTIONS]",
     {{"--iterations", "M", "steps averaged over (default 100000)"},
      {"--skip", "T", "transient steps before them (default 1000)"},
      {"--parameter", "NAME", "sweep this parameter instead of one run"},
      {"--min", "A", "first end of the parameter interval (default 0)"},
      {"--max", "B", "other end of the parameter interval (default 1)"},
      {"--resolution", "N", "parameter steps; N + 1 values (default 100)"},
      {"--threads", "K",
       "workers of a sweep; 0 one per core (default), 1 the one-thread run; noise always runs on "
       "one"}},
     true,
     RunSpectrumCommand});

}  // namespace
}  // namespace kalvora::cli

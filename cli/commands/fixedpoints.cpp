// kalvora-cli fixedpoints: the fixed points and cycles of a map, or the equilibria of a flow, in a
// box, with their eigenvalues and stability, as the "Fixed Points and Cycles" window finds them.

#include <iostream>

#include "analysis/orbit/cycles/cycle_search.h"
#include "cli/cli_common.h"
#include "cli/commands/sweep_command.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

// NAME=MIN:MAX[,NAME=MIN:MAX...] over the model's variables.
std::vector<CycleBoxAxis> BoxOption(const ModelWorkspace& ws, const std::string& text) {
    std::vector<CycleBoxAxis> box;
    for (const std::string& item : Split(text, ',')) {
        const std::size_t equals = item.find('=');
        const std::vector<std::string> range = equals == std::string::npos
                                                   ? std::vector<std::string>{}
                                                   : Split(item.substr(equals + 1), ':');
        if (range.size() != 2) {
            throw UsageError("--box expects NAME=MIN:MAX[,NAME=MIN:MAX...], not '" + item + "'");
        }
        const std::string name = item.substr(0, equals);
        const auto names = VariableNames(ws, false);
        const auto found = std::find(names.begin(), names.end(), name);
        if (found == names.end()) {
            throw UsageError("--box: '" + name + "' is not a variable of the model");
        }
        box.push_back({static_cast<int>(found - names.begin()),
                       static_cast<double>(ParseFloat(range[0])),
                       static_cast<double>(ParseFloat(range[1]))});
    }
    return box;
}

void PeriodOptions(const Arguments& arguments, ModelKind kind, CycleSettings& settings) {
    if (arguments.has("--period") && arguments.has("--periods")) {
        throw UsageError("give --period P or --periods A:B, not both");
    }
    if (kind == ModelKind::Continuous &&
        (arguments.has("--period") || arguments.has("--periods"))) {
        throw UsageError("a continuous model has equilibria, not cycles: no --period or --periods");
    }
    if (arguments.has("--period")) {
        settings.firstPeriod = settings.lastPeriod =
            static_cast<int>(arguments.integer("--period", 1, 1, kMaximumCyclePeriod));
    } else if (const auto periods = arguments.value("--periods")) {
        const std::vector<std::string> ends = Split(*periods, ':');
        if (ends.size() != 2) {
            throw UsageError("--periods expects A:B, not '" + *periods + "'");
        }
        settings.firstPeriod = ParseInteger(ends[0]);
        settings.lastPeriod = ParseInteger(ends[1]);
    }
}

int RunFixedPoints(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const auto boxText = arguments.value("--box");
    if (!boxText) {
        throw UsageError("--box NAME=MIN:MAX[,NAME=MIN:MAX...] is required");
    }
    ModelSession session;
    PrepareModel(session, arguments);
    const ModelWorkspace& ws = session.ws;

    CycleSettings settings;
    settings.box = BoxOption(ws, *boxText);
    PeriodOptions(arguments, ws.model().kind, settings);
    settings.grid = static_cast<int>(arguments.integer("--grid", 20, 1, 1000000));
    settings.tolerance = static_cast<double>(arguments.number("--tolerance", 1e-10L));
    try {
        CheckCycleSettings(ws.model().variableCount, settings);
    } catch (const CycleSettingsError& error) {
        throw UsageError(error.what());
    }
    const int threads = ThreadsOption(arguments);

    Output output(arguments);
    CliRunControl control;
    const CycleSearchOutcome outcome = FindCycles(ws.definition, settings, control, threads);
    std::ostream& out = output.stream();
    for (const Cycle& cycle : outcome.cycles) {
        for (const CyclePoint& point : cycle.points) {
            out << cycle.period;
            for (const double value : point.values) {
                out << ' ' << FormatOrbitValue(value);
            }
            for (const auto& eigenvalue : cycle.eigenvalues) {
                out << ' ' << FormatOrbitValue(eigenvalue.real()) << ' '
                    << FormatOrbitValue(eigenvalue.imag());
            }
            out << ' ' << (cycle.stable ? "stable" : "unstable") << "\r\n";
        }
    }
    if (outcome.stopped) {
        return StoppedResult(session, output);
    }
    output.commit();
    if (!outcome.message.empty()) {
        std::cerr << "kalvora-cli: " << outcome.message << std::endl;
    }
    if (outcome.cycles.empty()) {
        std::cerr << "kalvora-cli: "
                  << (ws.model().kind == ModelKind::Continuous ? "no equilibrium"
                                                               : "no fixed point or cycle")
                  << " found in the box" << std::endl;
        return outcome.message.empty() ? kExitSuccess : kExitModelFailed;
    }
    if (outcome.method == DerivativeMethod::FiniteDifference) {
        std::cerr << "kalvora-cli: the model runs in the interpreter; its Jacobians are central "
                     "differences"
                  << std::endl;
    }
    return kExitSuccess;
}

const CommandRegistrar registrar(
    {"fixedpoints",
     "the fixed points and cycles of a map (the equilibria of a continuous model) in a box: one "
     "line per cycle point, the least period, all variables, the eigenvalues (real, imaginary) "
     "and stable or unstable",
     "MODEL.mod --box NAME=MIN:MAX[,NAME=MIN:MAX...] [--period P | --periods A:B] [--grid N] "
     "[--tolerance T] [--threads K] [OPTIONS]",
     {{"--box", "NAME=MIN:MAX[,...]",
       "the variables the starts spread over and their ranges; cycles lie inside"},
      {"--period", "P", "the period looked for, 1 to 12 (default 1); maps only"},
      {"--periods", "A:B", "the periods A to B looked for; maps only"},
      {"--grid", "N", "starts per box variable (default 20)"},
      {"--tolerance", "T", "largest |F^p(x) - x| (a flow: |f(x)|) of a root (default 1e-10)"},
      {"--threads", "K", "workers; 0 one per core (default), 1 the one-thread run; same result"}},
     true,
     RunFixedPoints});

}  // namespace
}  // namespace kalvora::cli

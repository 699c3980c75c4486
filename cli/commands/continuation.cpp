// kalvora-cli continuation: a branch of fixed points, cycles or equilibria followed through one
// parameter, with its stability and special points, as the "Continuation" window follows it.

#include <algorithm>
#include <iostream>
#include <memory>

#include "analysis/sweep/continuation/continuation_run.h"
#include "cli/cli_common.h"
#include "cli/commands/sweep_command.h"
#include "core/numbers.h"
#include "core/text_file.h"

namespace kalvora::cli {
namespace {

// NAME=V[,NAME=V...]: values for variables (the others keep their initial values) and, when it
// names the parameter followed, the parameter's start.
void StartOption(const ModelWorkspace& ws, const std::string& text, int parameter,
                 ContinuationSettings& settings) {
    const ModelDefinition& model = ws.model();
    settings.start.resize(static_cast<std::size_t>(model.variableCount));
    for (int i = 0; i < model.variableCount; ++i) {
        settings.start[i] = static_cast<double>(model.initialValues[i]);
    }
    const auto names = VariableNames(ws, false);
    for (const std::string& item : Split(text, ',')) {
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            throw UsageError("--start expects NAME=V[,NAME=V...], not '" + item + "'");
        }
        const std::string name = item.substr(0, equals);
        const double value = static_cast<double>(ParseFloat(item.substr(equals + 1)));
        const auto found = std::find(names.begin(), names.end(), name);
        if (found != names.end()) {
            settings.start[found - names.begin()] = value;
        } else if (name == model.parameterNames[parameter]) {
            settings.startParameter = value;
        } else {
            throw UsageError("--start: '" + name +
                             "' is neither a variable of the model nor the parameter followed");
        }
    }
}

void WriteValues(std::ostream& out, const std::vector<double>& values) {
    for (const double value : values) {
        out << ' ' << FormatOrbitValue(value);
    }
}

int RunContinuationCommand(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    const auto specialPath = arguments.value("--special");
    ModelSession session;
    PrepareModel(session, arguments,
                 specialPath ? std::vector<std::string>{*specialPath} : std::vector<std::string>{});
    const ModelWorkspace& ws = session.ws;

    ContinuationSettings settings;
    settings.parameter = ParameterOption(ws, arguments, "--parameter") - 1;
    if (!arguments.has("--from") || !arguments.has("--to")) {
        throw UsageError("--from A and --to B (the parameter interval) are required");
    }
    settings.from = static_cast<double>(arguments.number("--from", 0));
    settings.to = static_cast<double>(arguments.number("--to", 0));
    if (const auto start = arguments.value("--start")) {
        StartOption(ws, *start, settings.parameter, settings);
    }
    settings.period = static_cast<int>(arguments.integer("--period", 1, 1, 64));
    if (ws.model().kind == ModelKind::Continuous && arguments.has("--period")) {
        throw UsageError("a continuous model has equilibria, not cycles: no --period");
    }
    settings.step = static_cast<double>(arguments.number("--step", 0.01L));
    settings.maxPoints = static_cast<int>(arguments.integer("--max-points", 1000, 2, 10000000));
    settings.transient = static_cast<int>(arguments.integer("--transient", 0, 0, 100000000));
    settings.tolerance = static_cast<double>(arguments.number("--tolerance", 1e-10L));
    for (const std::string& list : arguments.values("--switch")) {
        for (const std::string& label : Split(list, ',')) {
            SpecialKind kind{};
            if (!ParseSpecialLabel(label, kind)) {
                throw UsageError("--switch expects PD or BP, not '" + label + "'");
            }
            settings.switches.push_back(kind);
        }
    }
    try {
        CheckContinuationSettings(ws.model(), settings);
    } catch (const ContinuationSettingsError& error) {
        throw UsageError(error.what());
    }

    Output output(arguments);
    std::unique_ptr<AtomicFileWriter> special;
    if (specialPath) {
        special = std::make_unique<AtomicFileWriter>(*specialPath);
    }
    CliRunControl control;
    const ContinuationOutcome outcome = RunContinuation(ws.definition, settings, control);
    std::ostream& out = output.stream();
    for (const ContinuationBranch& branch : outcome.branches) {
        for (const ContinuationPoint& point : branch.points) {
            out << FormatOrbitValue(point.parameter);
            WriteValues(out, point.values);
            out << ' ' << (point.stable ? 1 : 0) << "\r\n";
        }
    }
    if (special) {
        for (const SpecialPoint& point : outcome.specials) {
            special->stream() << SpecialLabel(point.kind) << ' '
                              << FormatOrbitValue(point.parameter);
            WriteValues(special->stream(), point.values);
            special->stream() << "\r\n";
        }
    }
    if (outcome.stopped) {
        if (special) {
            special->commit();
        }
        return StoppedResult(session, output);
    }
    for (const std::string& note : outcome.notes) {
        std::cerr << "kalvora-cli: " << note << std::endl;
    }
    if (outcome.branches.empty()) {
        // Nothing to write: the targets stay as they were.
        return kExitModelFailed;
    }
    output.finish();
    if (special) {
        special->finish();
        special->commit();
    }
    output.commit();
    if (outcome.method == DerivativeMethod::FiniteDifference) {
        std::cerr << "kalvora-cli: the model runs in the interpreter; its Jacobians are central "
                     "differences"
                  << std::endl;
    }
    return kExitSuccess;
}

const CommandRegistrar registrar(
    {"continuation",
     "a branch of fixed points or cycles of period P of a map (equilibria of a continuous model) "
     "followed through a parameter interval: one line per point, the parameter, all variables, 1 "
     "stable or 0 unstable; the special points (LP, PD, NS, H, BP) with --special",
     "MODEL.mod --parameter NAME --from A --to B [--start NAME=V,...] [--period P] [--step S] "
     "[--max-points N] [--switch LABEL] [--special FILE] [OPTIONS]",
     {{"--parameter", "NAME", "the parameter followed"},
      {"--from", "A", "one end of the parameter interval"},
      {"--to", "B", "the other end; the branch is followed both ways from the start to the ends"},
      {"--start", "NAME=V,...",
       "where Newton's method starts: variables (default: the initial values) and the parameter's "
       "value (default: its value, moved into the interval)"},
      {"--period", "P", "the period of the cycle followed, 1 to 64 (default 1); maps only"},
      {"--step", "S", "the largest step along the branch (default 0.01)"},
      {"--max-points", "N", "the most points of one branch (default 1000)"},
      {"--switch", "LABEL",
       "after the branch, follow the one that meets it at its first PD (the doubled cycle) or BP; "
       "repeat or list (PD,PD,PD) to go on from each new branch",
       true},
      {"--special", "FILE", "write the special points: label, parameter, all variables"},
      {"--transient", "N", "steps of the model from the start before Newton's method (default 0)"},
      {"--tolerance", "T", "Newton's method stops below this step (default 1e-10)"}},
     true,
     RunContinuationCommand});

}  // namespace
}  // namespace kalvora::cli

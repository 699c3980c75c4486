// kalvora-cli info: what a model file defines, after the common options are applied.

#include <iostream>

#include "cli/cli_common.h"
#include "core/model_definition.h"
#include "core/numbers.h"

namespace kalvora::cli {
namespace {

std::string Assignments(const NameList& names, const ValueList& values, int first, int count) {
    if (count <= 0) {
        return "none";
    }
    std::string text;
    for (int i = first; i < first + count; ++i) {
        text += (i > first ? ", " : "") + names[i] + "=" + FormatGeneral(values[i], 15);
    }
    return text;
}

int RunInfo(const Arguments& arguments) {
    arguments.requirePositional(1, "one model file MODEL.mod");
    ModelSession session;
    PrepareModel(session, arguments);
    const ModelWorkspace& ws = session.ws;
    Output output(arguments);
    std::ostream& out = output.stream();
    out << "Model: " << ws.modelName << "\n";
    out << "File: " << ws.modelFile << "\n";
    out << "Kind: " << (ws.discrete ? "discrete" : "continuous") << "\n";
    if (!ws.discrete) {
        out << "Step size: " << FormatGeneral(ws.stepSize, 15) << "\n";
    }
    out << "Variables: " << Assignments(ws.variableNames, ws.initialValues, 0, ws.variableCount)
        << "\n";
    out << "Parameters: "
        << Assignments(ws.parameterNames, ws.parameterValues, 0, ws.parameterCount) << "\n";
    // Auxiliary variables are computed by the equations; their value is the one a run starts from.
    out << "Auxiliaries: "
        << Assignments(ws.variableNames, ws.initialValues, ws.variableCount, ws.auxiliaryCount)
        << "\n";
    if (ws.noise.noiseOn) {
        out << "Noise: " << (ws.noise.noiseType == 2 ? "uniform" : "normal") << ", level "
            << FormatGeneral(ws.noise.noiseLevel, 15) << ", on "
            << ws.variableNames[ws.noise.noiseVariable - 1] << ", seed " << ws.noise.noiseSeed
            << "\n";
    }
    out << "Equations:\n";
    for (const std::string& line : SplitLines(session.source.equations)) {
        out << "  " << line << "\n";
    }
    output.commit();
    return kExitSuccess;
}

const CommandRegistrar registrar({"info",
                                  "show a model's name, kind, step size, variables, parameters, "
                                  "auxiliary variables and equations",
                                  "MODEL.mod [OPTIONS]",
                                  {},
                                  true,
                                  RunInfo});

}  // namespace
}  // namespace kalvora::cli

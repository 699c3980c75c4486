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
    out << "Model: " << ws.model().modelName << "\n";
    out << "File: " << ws.model().modelFile << "\n";
    out << "Kind: " << (ws.model().discrete ? "discrete" : "continuous") << "\n";
    if (!ws.model().discrete) {
        out << "Step size: " << FormatGeneral(ws.model().stepSize, 15) << "\n";
    }
    out << "Variables: "
        << Assignments(ws.model().variableNames, ws.model().initialValues, 0,
                       ws.model().variableCount)
        << "\n";
    out << "Parameters: "
        << Assignments(ws.model().parameterNames, ws.model().parameterValues, 0,
                       ws.model().parameterCount)
        << "\n";
    // Auxiliary variables are computed by the equations; their value is the one a run starts from.
    out << "Auxiliaries: "
        << Assignments(ws.model().variableNames, ws.model().initialValues, ws.model().variableCount,
                       ws.model().auxiliaryCount)
        << "\n";
    if (ws.model().noise.noiseOn) {
        out << "Noise: " << (ws.model().noise.noiseType == 2 ? "uniform" : "normal") << ", level "
            << FormatGeneral(ws.model().noise.noiseLevel, 15) << ", on "
            << ws.model().variableNames[ws.model().noise.noiseVariable - 1] << ", seed "
            << ws.model().noise.noiseSeed << (ws.model().noise.wiener ? ", Wiener" : "") << "\n";
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

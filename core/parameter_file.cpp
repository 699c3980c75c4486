#include "core/parameter_file.h"

#include "core/model_definition.h"
#include "core/numbers.h"
#include "core/prompts.h"
#include "core/text_file.h"

namespace kalvora {
namespace {

std::string AssignmentLine(const NameList& names, const ValueList& values, int count) {
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            line += ", ";
        }
        line += names[i] + "=" + FormatGeneral(values[i], 15);
    }
    return line;
}

std::string NameSummary(const NameList& names, int count) {
    std::string summary;
    for (int i = 0; i < count; ++i) {
        summary += (i > 0 ? ", " : "") + names[i];
    }
    return count > 0 ? summary : "none";
}

void RequireSameNames(const std::string& path, const std::string& what, const NameList& model,
                      int modelCount, const NameList& file, int fileCount) {
    bool same = modelCount == fileCount;
    for (int i = 0; same && i < modelCount; ++i) {
        same = model[i] == file[i];
    }
    if (!same) {
        throw ParameterFileError("The parameter file \"" + path + "\" is for the " + what + " " +
                                 NameSummary(file, fileCount) + ", but the model has " +
                                 NameSummary(model, modelCount) + "; nothing was loaded");
    }
}

}  // namespace

std::string ParameterFileText(const ModelWorkspace& workspace) {
    const ModelDefinition& ws = workspace.model();
    std::string text =
        AssignmentLine(ws.variableNames, ws.initialValues, ws.variableCount) + "\r\n";
    text += AssignmentLine(ws.parameterNames, ws.parameterValues, ws.parameterCount) + "\r\n";
    if (!ws.discrete) {
        text += FormatGeneral(ws.stepSize, 15) + "\r\n";
    }
    return text;
}

void WriteParameterFile(const ModelWorkspace& ws, const std::string& path) {
    WriteTextFile(path, ParameterFileText(ws));
}

void ReadParameterFile(ModelWorkspace& workspace, const std::string& path) {
    const ModelDefinition& ws = workspace.model();
    const std::vector<std::string> lines = SplitLines(WithoutByteOrderMark(ReadTextFile(path)));
    auto line = [&](std::size_t index) {
        return index < lines.size() ? lines[index] : std::string();
    };
    // Everything is read and checked before anything is stored.
    NameList variableNames{};
    ValueList initialValues{};
    std::int32_t variableCount = 0;
    ParseAssignmentList(line(0), variableNames, initialValues, variableCount);
    NameList parameterNames{};
    ValueList parameterValues{};
    std::int32_t parameterCount = 0;
    ParseAssignmentList(line(1), parameterNames, parameterValues, parameterCount);
    const std::string stepText = line(2);
    const bool hasStep = stepText.find_first_not_of(' ') != std::string::npos;
    const Extended stepSize = hasStep ? ParseFloat(stepText) : ws.stepSize;
    RequireSameNames(path, "variables", ws.variableNames, ws.variableCount, variableNames,
                     variableCount);
    RequireSameNames(path, "parameters", ws.parameterNames, ws.parameterCount, parameterNames,
                     parameterCount);
    ReplaceModel(workspace, [&](ModelDefinition& model) {
        for (int i = 0; i < variableCount; ++i) {
            model.initialValues[i] = initialValues[i];
        }
        for (int i = 0; i < parameterCount; ++i) {
            model.parameterValues[i] = parameterValues[i];
        }
        model.stepSize = stepSize;
    });
}

bool StoreParameters(const ModelWorkspace& ws, Prompts& prompts) {
    Prompts::FileRequest request;
    request.title = "Save Parameters As";
    request.folder = ws.dataFolder;
    request.filter = "Parameters file (*.par)|*.par";
    request.defaultExtension = "par";
    const auto path = prompts.chooseSaveFile(request);
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] { WriteParameterFile(ws, *path); });
}

bool LoadParameters(ModelWorkspace& ws, Prompts& prompts) {
    Prompts::FileRequest request;
    request.title = "Load Parameters";
    request.folder = ws.dataFolder;
    request.filter = "Model parameters (*.par)|*.par";
    request.defaultExtension = "par";
    const auto path = prompts.chooseOpenFile(request);
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] { ReadParameterFile(ws, *path); });
}

}  // namespace kalvora
